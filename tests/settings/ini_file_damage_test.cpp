// Settings files the store cannot understand, and writes the file system refuses: the old bytes
// must always survive.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
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
using test::FolderNames;
using test::OpenAt;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string WriteFailure(const std::string& path) {
  return "In " + path + " kann nicht geschrieben werden";
}

// The text of the IniWriteError that `write` raises, or "no IniWriteError".
std::string WriteError(const std::function<void()>& write) {
  try {
    write();
  } catch (const IniWriteError& e) {
    return e.what();
  }
  return "no IniWriteError";
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

// A file over the size limit is refused when the store opens it, with a message; one that grows
// past it afterwards reads as empty and is never replaced.
TEST(DamagedSettingsFile, HugeFileIsNeitherReadNorReplaced) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  const std::string head = "[Options]\r\nCreateBak=1\r\n";
  WriteFile(path, head);
  test::RecordingFeedback feedback;
  TTheIniFile grown(&feedback);
  OpenAt(grown, path, "Options");
  ASSERT_TRUE(grown.Open());
  // Sparse: big on paper, no disk space used.
  ASSERT_EQ(::truncate(path.c_str(), kMaxSettingsFileSize + 1), 0);
  EXPECT_FALSE(grown.ReadFlag("CreateBak", false));
  EXPECT_EQ(grown.ErrorCode(), -1);
  EXPECT_EQ(WriteError([&] { grown.WriteFlag("IgnoreMetaTags", true); }), WriteFailure(path));
  EXPECT_TRUE(feedback.errors.empty());

  TTheIniFile opened(&feedback);
  OpenAt(opened, path, "Options");
  EXPECT_FALSE(opened.Open());
  EXPECT_EQ(opened.ErrorCode(), EFBIG);
  EXPECT_EQ(feedback.errors, std::vector<std::string>{"Die Einstellungsdatei " + path +
                                                      " ist größer als 64 MB und wird nicht "
                                                      "gelesen!"});
  EXPECT_FALSE(opened.ReadFlag("CreateBak", false));
  EXPECT_EQ(WriteError([&] { opened.WriteFlag("IgnoreMetaTags", true); }), "no IniWriteError");

  const std::string after = ReadFile(path);
  EXPECT_EQ(after.size(), static_cast<std::size_t>(kMaxSettingsFileSize + 1));
  EXPECT_EQ(after.substr(0, head.size()), head);
  EXPECT_EQ(after.find_first_not_of('\0', head.size()), std::string::npos);
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Velkaro.ini"});
}

// What happens to the file or its folder after the store was opened: every write is refused
// with the store's error, and what stands there afterwards is left as it is.
TEST(RefusedWrite, ChangedAfterOpening) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> change;
    std::function<void(const std::string& path)> check;
    bool stillReadable;
    bool clearRefused;  // with no file, there is no section to clear and nothing to write
  } cases[] = {
      {"a folder in the file's place",
       [](const std::string& path) {
         std::filesystem::remove(path);
         std::filesystem::create_directory(path);
         WriteFile(path + "/inside", "keep");
       },
       [](const std::string& path) {
         EXPECT_EQ(ReadFile(path + "/inside"), "keep");
         EXPECT_EQ(FolderNames(std::filesystem::path(path).parent_path()),
                   std::vector<std::string>{"Velkaro.ini"});
       },
       false, true},
      {"the folder vanished",
       [](const std::string& path) {
         std::filesystem::remove_all(std::filesystem::path(path).parent_path());
       },
       [](const std::string& path) {
         EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path).parent_path()));
       },
       false, false},
      {"made read-only", [](const std::string& path) { ASSERT_EQ(::chmod(path.c_str(), 0444), 0); },
       [](const std::string& path) {
         EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=1\r\n");
         EXPECT_EQ(FolderNames(std::filesystem::path(path).parent_path()),
                   std::vector<std::string>{"Velkaro.ini"});
       },
       true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::filesystem::create_directory(dir.File("Velkaro"));
    const std::string path = dir.File("Velkaro/Velkaro.ini");
    WriteFile(path, "[Options]\r\nCreateBak=1\r\n");
    TTheIniFile ini;
    OpenAt(ini, path, "Options");
    ASSERT_TRUE(ini.Open());
    c.change(path);
    // What cannot be read reads as an empty file.
    EXPECT_EQ(ini.ReadFlag("CreateBak", false), c.stillReadable);
    std::vector<std::string> lines;
    ini.ReadSectionLines(lines, false);
    EXPECT_EQ(lines.size(), c.stillReadable ? 1u : 0u);
    EXPECT_EQ(WriteError([&] { ini.WriteFlag("CreateBak", false); }), WriteFailure(path));
    EXPECT_EQ(WriteError([&] { ini.ClearSection(); }),
              c.clearRefused ? WriteFailure(path) : "no IniWriteError");
    c.check(path);
  }
}

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
