// Settings files the store cannot understand, and writes the file system refuses: the old bytes
// must always survive.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings_file_io.h"
#include "settings/settings_test_support.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace vk {
namespace {

using namespace std::string_literals;
using test::OpenAt;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

std::string WriteFailure(const std::string& path) {
  return "In " + path + " kann nicht geschrieben werden";
}

TEST(DamagedSettingsFile, ReadGivesDefaultAndWriteKeepsEveryOtherByte) {
  struct Case {
    std::string name, before;
    bool createBak;     // what ReadFlag("CreateBak", false) finds
    std::string after;  // after WriteNumber("OptCB.ItemIndex", 3)
  } cases[] = {
      {"binary bytes", "\x01\x02\xFF\xFE\x80\r\n[Options]\r\n\x90\x91\x92\r\nCreateBak=1\r\n", true,
       "\x01\x02\xFF\xFE\x80\r\n[Options]\r\n\x90\x91\x92\r\nCreateBak=1\r\nOptCB.ItemIndex=3\r\n"},
      {"NUL bytes", "[Options]\r\nCreateBak=1\0\r\n\0\0\0\0"s, false,
       "[Options]\r\nOptCB.ItemIndex=3\r\nCreateBak=1\0\r\n\0\0\0\0"s},
      {"all NUL", std::string(300, '\0'), false,
       std::string(300, '\0') + "\r\n[Options]\r\nOptCB.ItemIndex=3\r\n"},
      {"BOM", "\xEF\xBB\xBF[Options]\r\nCreateBak=1\r\n", false,
       "\xEF\xBB\xBF[Options]\r\nCreateBak=1\r\n[Options]\r\nOptCB.ItemIndex=3\r\n"},
      {"line without =", "[Options]\r\nCreateBak\r\njust words\r\n", false,
       "[Options]\r\nOptCB.ItemIndex=3\r\nCreateBak\r\njust words\r\n"},
      {"LF and no last line end", "[Options]\nCreateBak=1\n[Other]\nx=1", true,
       "[Options]\nCreateBak=1\nOptCB.ItemIndex=3\r\n[Other]\nx=1"},
  };
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  for (const auto& c : cases) {
    WriteFile(path, c.before);
    TTheIniFile ini;
    OpenAt(ini, path, "Options");
    ASSERT_TRUE(ini.Open()) << c.name;
    EXPECT_EQ(ini.ReadFlag("CreateBak", false), c.createBak) << c.name;
    EXPECT_EQ(ini.ReadNumber("OptCB.ItemIndex", 0), 0) << c.name;
    EXPECT_EQ(ReadFile(path), c.before) << c.name;
    ini.WriteNumber("OptCB.ItemIndex", 3);
    EXPECT_EQ(ReadFile(path), c.after) << c.name;
    EXPECT_EQ(ini.ReadNumber("OptCB.ItemIndex", 0), 3) << c.name;
  }
}

TEST(DamagedSettingsFile, HugeFileIsNeitherReadNorReplaced) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  const std::string head = "[Options]\r\nCreateBak=1\r\n";
  WriteFile(path, head);
  // Sparse: big on paper, no disk space used.
  ASSERT_EQ(::truncate(path.c_str(), kMaxSettingsFileSize + 1), 0);
  TTheIniFile ini;
  OpenAt(ini, path, "Options");
  ASSERT_TRUE(ini.Open());
  EXPECT_FALSE(ini.ReadFlag("CreateBak", false));
  EXPECT_EQ(ini.ErrorCode(), -1);
  try {
    ini.WriteFlag("IgnoreMetaTags", true);
    ADD_FAILURE() << "no IniWriteError";
  } catch (const IniWriteError& e) {
    EXPECT_EQ(std::string(e.what()), WriteFailure(path));
  }
  const std::string after = ReadFile(path);
  EXPECT_EQ(after.size(), static_cast<std::size_t>(kMaxSettingsFileSize + 1));
  EXPECT_EQ(after.substr(0, head.size()), head);
  EXPECT_EQ(after.find_first_not_of('\0', head.size()), std::string::npos);
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Velkaro.ini"});
}

TEST(DamagedSettingsFile, FolderInTheFilesPlaceAfterOpening) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[Options]\r\nCreateBak=1\r\n");
  TTheIniFile ini;
  OpenAt(ini, path, "Options");
  ASSERT_TRUE(ini.Open());
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  WriteFile(path + "/inside", "keep");

  EXPECT_FALSE(ini.ReadFlag("CreateBak", false));
  std::vector<std::string> list;
  ini.ReadSectionLines(list, false);
  EXPECT_TRUE(list.empty());
  for (int operation = 0; operation < 2; ++operation) {
    try {
      if (operation == 0) ini.WriteFlag("CreateBak", true);
      if (operation == 1) ini.ClearSection();
      ADD_FAILURE() << "no IniWriteError for operation " << operation;
    } catch (const IniWriteError& e) {
      EXPECT_EQ(std::string(e.what()), WriteFailure(path));
    }
  }
  EXPECT_EQ(ReadFile(path + "/inside"), "keep");
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Velkaro.ini"});
}

TEST(RefusedWrite, FolderVanishedAfterOpening) {
  TempDir dir;
  const std::string folder = dir.File("Velkaro");
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/Velkaro.ini";
  WriteFile(path, "[Options]\r\nCreateBak=1\r\n");
  TTheIniFile ini;
  OpenAt(ini, path, "Options");
  ASSERT_TRUE(ini.Open());
  std::filesystem::remove_all(folder);
  try {
    ini.WriteFlag("CreateBak", false);
    ADD_FAILURE() << "no IniWriteError";
  } catch (const IniWriteError& e) {
    EXPECT_EQ(std::string(e.what()), WriteFailure(path));
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(RefusedWrite, FileMadeReadOnlyAfterOpeningIsNotReplaced) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[Options]\r\nCreateBak=1\r\n");
  TTheIniFile ini;
  OpenAt(ini, path, "Options");
  ASSERT_TRUE(ini.Open());
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  try {
    ini.WriteFlag("CreateBak", false);
    ADD_FAILURE() << "no IniWriteError";
  } catch (const IniWriteError& e) {
    EXPECT_EQ(std::string(e.what()), WriteFailure(path));
  }
  EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=1\r\n");
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Velkaro.ini"});
}

// A file size limit far below the new file's size stands for a full disk.
TEST(RefusedWrite, DiskFullLeavesTheOldFileWhole) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  const std::string before = "[Options]\r\nCreateBak=1\r\n[Find HTML Code]\r\n0=<b>\r\n";
  WriteFile(path, before);
  const test::ChildResult child = test::RunInChild(
      [&]() -> std::string {
        TTheIniFile ini;
        OpenAt(ini, path, "Find HTML Code");
        try {
          ini.WriteText("1", std::string(100000, 'x'));
        } catch (const IniWriteError& e) {
          return e.what();
        }
        return "no IniWriteError";
      },
      test::SizeLimited(4096));
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, WriteFailure(path));
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Velkaro.ini"});
}

TEST(SettingsFileWrite, LinkStaysALinkAndPermissionsStay) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  const std::string target = dir.File("real/Velkaro.ini");
  WriteFile(target, "[Options]\r\nCreateBak=1\r\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = dir.File("Velkaro.ini");
  ASSERT_EQ(::symlink("real/Velkaro.ini", link.c_str()), 0);

  TTheIniFile ini;
  OpenAt(ini, link, "Options");
  ASSERT_TRUE(ini.Open());
  ini.WriteFlag("CreateBak", false);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "[Options]\r\nCreateBak=0\r\n");
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderNames(dir.File("real")), std::vector<std::string>{"Velkaro.ini"});
}

TEST(SettingsFileRead, WhatCannotBeRead) {
  TempDir dir;
  std::string content = "stale";
  EXPECT_EQ(ReadSettingsFile(dir.File("missing"), &content).err(), ENOENT);
  EXPECT_EQ(content, "");
  EXPECT_EQ(ReadSettingsFile(dir.Path(), &content).err(), EISDIR);
  WriteFile(dir.File("ten"), "0123456789");
  EXPECT_EQ(ReadSettingsFile(dir.File("ten"), &content, 9).err(), EFBIG);
  EXPECT_EQ(content, "");
  EXPECT_TRUE(ReadSettingsFile(dir.File("ten"), &content, 10).ok());
  EXPECT_EQ(content, "0123456789");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadSettingsFile(dir.File("fifo"), &content).err(), EINVAL);
}

}  // namespace
}  // namespace vk
