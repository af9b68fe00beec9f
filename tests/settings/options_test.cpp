#include "settings/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "settings/settings_test_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ReadFile;
using test::RecordingFeedback;
using test::TempDir;
using test::WriteFile;

TTheIniFile WindowStoreIn(const std::string& folder, Feedback* feedback) {
  TTheIniFile ini(feedback);
  ini.SetIniLocation(TIniLocation::loDefUser);
  ini.SetDefFilePath(folder);
  return ini;
}

TEST(ReadOptions, StoredValuesAndTheirFallbacks) {
  struct Case {
    std::optional<std::string> file;  // nullopt: no settings file
    bool createBak, ignoreMetaTags;
    int operationIndex;
  } cases[] = {
      {std::nullopt, false, false, 0},
      {"", false, false, 0},
      {"[Other]\r\nOptCB.ItemIndex=4\r\n", false, false, 0},
      {"[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=1\r\nOptCB.ItemIndex=6\r\n", true, true, 6},
      {"[options]\nopTCB.itemindex = 3\nCREATEBAK=01\nignoremetatags=\"1\"\n", false, true, 3},
      {"[Options]\r\nOptCB.ItemIndex=0\r\n", false, false, 0},
      {"[Options]\r\nOptCB.ItemIndex=7\r\n", false, false, 0},
      {"[Options]\r\nOptCB.ItemIndex=-5\r\n", false, false, 0},
      {"[Options]\r\nOptCB.ItemIndex=-1\r\n", false, false, 0},
      {"[Options]\r\nOptCB.ItemIndex=abc\r\nCreateBak=yes\r\n", false, false, 0},
      {"[Options]\r\nOptCB.ItemIndex=INIERROR\r\nCreateBak=2\r\n", false, false, 0},
      {"[Options]\r\nOptCB.ItemIndex=$5\r\nCreateBak=-1\r\n", false, false, 5},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.file) WriteFile(dir.File("Velkaro.ini"), *c.file);
    RecordingFeedback feedback;
    TTheIniFile ini = WindowStoreIn(dir.Path(), &feedback);
    const Options options = ReadOptions(ini);
    const std::string label = c.file.value_or("<no file>");
    EXPECT_EQ(options.createBak, c.createBak) << label;
    EXPECT_EQ(options.ignoreMetaTags, c.ignoreMetaTags) << label;
    EXPECT_EQ(options.operationIndex, c.operationIndex) << label;
    EXPECT_TRUE(feedback.errors.empty()) << label;
    EXPECT_EQ(ini.IniFileName(), "Velkaro.ini") << label;
    EXPECT_EQ(ini.Section(), "Options") << label;
    EXPECT_EQ(std::filesystem::exists(dir.File("Velkaro.ini")), c.file.has_value()) << label;
  }
}

TEST(ReadOptions, UndoLimitsAndTheirFallbacks) {
  struct Case {
    std::string file;
    int undoRuns, undoMegabytes;
    std::int64_t limitBytes;
  } cases[] = {
      {"", 20, 1024, std::int64_t{1} << 30},
      {"[Options]\r\nUndoKeepRuns=5\r\nUndoKeepMB=300\r\n", 5, 300, std::int64_t{300} << 20},
      {"[options]\nundokeepruns = 0\nundokeepmb=0\n", 0, 0, 0},
      {"[Options]\r\nUndoKeepRuns=-1\r\nUndoKeepMB=-7\r\n", 20, 1024, std::int64_t{1} << 30},
      {"[Options]\r\nUndoKeepRuns=viele\r\nUndoKeepMB=1,5\r\n", 20, 1024, std::int64_t{1} << 30},
      {"[Options]\r\nUndoKeepMB=2147483647\r\n", 20, 2147483647, std::int64_t{2147483647} << 20},
      {"[Other]\r\nUndoKeepRuns=3\r\n", 20, 1024, std::int64_t{1} << 30},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir.File("Velkaro.ini"), c.file);
    TTheIniFile ini = WindowStoreIn(dir.Path(), nullptr);
    const Options options = ReadOptions(ini);
    EXPECT_EQ(options.undoRuns, c.undoRuns) << c.file;
    EXPECT_EQ(options.undoMegabytes, c.undoMegabytes) << c.file;
    const KeepLimits limits = UndoLimits(options);
    EXPECT_EQ(limits.runs, c.undoRuns) << c.file;
    EXPECT_EQ(limits.bytes, c.limitBytes) << c.file;
  }
}

TEST(WriteOptions, LeavesTheUndoLimitsToTheUser) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[Options]\r\nUndoKeepRuns=3\r\nCreateBak=1\r\n");
  TTheIniFile ini = WindowStoreIn(dir.Path(), nullptr);
  Options options = ReadOptions(ini);
  options.undoRuns = 7;
  options.undoMegabytes = 9;
  WriteOptions(ini, options);
  EXPECT_EQ(ReadFile(path),
            "[Options]\r\nUndoKeepRuns=3\r\nCreateBak=1\r\nIgnoreMetaTags=0\r\n"
            "OptCB.ItemIndex=0\r\n");
}

TEST(WriteOptions, NewSectionInItsOrderThenReplacedInPlace) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[Find HTML Code]\r\n0=<b>\r\n");
  TTheIniFile ini = WindowStoreIn(dir.Path(), nullptr);
  WriteOptions(ini, Options{true, false, 3});
  EXPECT_EQ(ReadFile(path),
            "[Find HTML Code]\r\n0=<b>\r\n"
            "[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=0\r\nOptCB.ItemIndex=3\r\n");

  WriteFile(path, "[Options]\r\nOptCB.ItemIndex=1\r\nCreateBak=0\r\n[Find HTML Code]\r\n0=<b>\r\n");
  WriteOptions(ini, Options{false, true, 6});
  EXPECT_EQ(ReadFile(path),
            "[Options]\r\nOptCB.ItemIndex=6\r\nCreateBak=0\r\nIgnoreMetaTags=1\r\n"
            "[Find HTML Code]\r\n0=<b>\r\n");

  const Options back = ReadOptions(ini);
  EXPECT_FALSE(back.createBak);
  EXPECT_TRUE(back.ignoreMetaTags);
  EXPECT_EQ(back.operationIndex, 6);
}

TEST(WriteOptions, TheFileNamedOnTheCommandLine) {
  TempDir dir;
  const std::string path = dir.File("batch settings.ini");
  TTheIniFile ini;
  WriteOptions(ini, SettingsStoreForFile(path), Options{true, true, 2});
  EXPECT_EQ(ReadFile(path),
            "[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=1\r\nOptCB.ItemIndex=2\r\n");
  const Options back = ReadOptions(ini, SettingsStoreForFile(path));
  EXPECT_TRUE(back.createBak);
  EXPECT_TRUE(back.ignoreMetaTags);
  EXPECT_EQ(back.operationIndex, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Velkaro.ini")));
}

}  // namespace
}  // namespace vk
