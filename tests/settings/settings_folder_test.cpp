#include "settings/settings_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "engine/html_code_list.h"
#include "settings/html_code_list_store.h"
#include "settings/options.h"
#include "settings/settings_test_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

std::string ExeFolder() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  const std::string path(exe, n > 0 ? static_cast<std::size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1);
}

TEST(ProgramFolder, FolderOfTheRunningProgram) {
  EXPECT_EQ(ProgramFolder(), ExeFolder());
  EXPECT_EQ(ProgramFolder().back(), '/');
}

TEST(UserDataFolder, ConfigHomeThenHomeThenProgramFolder) {
  struct Case {
    std::optional<std::string> xdg, home;
    std::string userData, settings;
  } cases[] = {
      {"/x/cfg", "/home/u", "/x/cfg", "/x/cfg/Velkaro/"},
      {"/x/cfg/", "/home/u", "/x/cfg/", "/x/cfg/Velkaro/"},
      {std::nullopt, "/home/u", "/home/u/.config", "/home/u/.config/Velkaro/"},
      {"", "/home/u/", "/home/u/.config", "/home/u/.config/Velkaro/"},
      {"relative/cfg", "/home/u", "/home/u/.config", "/home/u/.config/Velkaro/"},
      {std::nullopt, std::nullopt, ExeFolder(), ExeFolder() + "Velkaro/"},
      {std::nullopt, "not/absolute", ExeFolder(), ExeFolder() + "Velkaro/"},
  };
  for (const auto& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    const std::string label = c.xdg.value_or("<unset>") + " | " + c.home.value_or("<unset>");
    EXPECT_EQ(UserDataFolder(), c.userData) << label;
    EXPECT_EQ(SettingsFolder(), c.settings) << label;
  }
}

TEST(EnsureSettingsFolder, CreatesEveryMissingParent) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("a/b/c"));
  EXPECT_EQ(EnsureSettingsFolder(), dir.File("a/b/c/Velkaro/"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c/Velkaro")));
  EXPECT_EQ(EnsureSettingsFolder(), dir.File("a/b/c/Velkaro/"));  // already there: fine
}

// A folder below a plain file can never be made, not even by root: the program then runs on
// its defaults, silently, and keeps nothing.
TEST(EnsureSettingsFolder, FolderThatCannotBeMadeLeavesTheProgramOnDefaults) {
  TempDir dir;
  WriteFile(dir.File("plain"), "x");
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("plain/sub"));
  const std::string folder = EnsureSettingsFolder();
  EXPECT_EQ(folder, dir.File("plain/sub/Velkaro/"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("plain/sub")));

  test::RecordingFeedback feedback;
  TTheIniFile ini(&feedback);
  ini.SetIniLocation(TIniLocation::loDefUser);
  ini.SetDefFilePath(folder);
  const Options options = ReadOptions(ini);
  EXPECT_FALSE(ini.Open());
  EXPECT_FALSE(options.createBak);
  EXPECT_FALSE(options.ignoreMetaTags);
  EXPECT_EQ(options.operationIndex, 0);
  WriteOptions(ini, Options{true, true, 4});
  EXPECT_EQ(ini.ErrorCode(), -1);

  HtmlCodeList list;
  LoadHtmlCodeList(ini, list, feedback);
  EXPECT_TRUE(list.empty());
  list.find = {"<b>"};
  list.replace = {"<strong>"};
  SaveHtmlCodeList(ini, list);
  EXPECT_EQ(ini.ErrorCode(), -1);

  EXPECT_TRUE(feedback.errors.empty());
  EXPECT_EQ(test::ReadFile(dir.File("plain")), "x");
}

}  // namespace
}  // namespace vk
