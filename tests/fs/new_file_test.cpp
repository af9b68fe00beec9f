// The new file written beside its target: nothing of it shows before it is published, and
// nothing of it stays when it is not.
#include "fs/new_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vk {
namespace {

using test::FolderHasUnnamedFiles;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(NewFile, PublishReplacesTheTargetAndLeavesNothingElse) {
  TempDir dir;
  const std::string target = dir.File("page.htm");
  WriteFile(target, "old");
  {
    NewFile file;
    ASSERT_TRUE(file.Create(target, 0600).ok());
    ASSERT_TRUE(WriteAll(file.fd(), "new bytes").ok());
    const std::vector<std::string> whileWriting = test::FolderNames(dir.Path());
    if (FolderHasUnnamedFiles(dir.Path())) {
      EXPECT_EQ(whileWriting, std::vector<std::string>{"page.htm"});
    } else {
      ASSERT_EQ(whileWriting.size(), 2u);
      EXPECT_TRUE(std::regex_match(*whileWriting.begin(), std::regex(R"(\.page\.htm\.vk-\w{6})")))
          << *whileWriting.begin();
    }
    EXPECT_EQ(ReadFile(target), "old");
    ASSERT_TRUE(file.Publish(target).ok());
  }
  EXPECT_EQ(ReadFile(target), "new bytes");
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
}

TEST(NewFile, WhatIsNotPublishedGoesWithoutTouchingTheTarget) {
  TempDir dir;
  const std::string target = dir.File("page.htm");
  WriteFile(target, "old");
  {
    NewFile file;
    ASSERT_TRUE(file.Create(target, 0600).ok());
    ASSERT_TRUE(WriteAll(file.fd(), "half").ok());
  }
  {
    NewFile file;
    ASSERT_TRUE(file.Create(target, 0600).ok());
    file.Discard();
    EXPECT_EQ(file.Publish(target).err(), EBADF);
  }
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
}

TEST(NewFile, AFailedRenameRemovesTheNewFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("in-the-way"));
  WriteFile(dir.File("in-the-way/x"), "x");
  NewFile file;
  ASSERT_TRUE(file.Create(dir.File("in-the-way"), 0600).ok());
  ASSERT_TRUE(WriteAll(file.fd(), "new").ok());
  // A file cannot take the place of a folder that holds something.
  EXPECT_FALSE(file.Publish(dir.File("in-the-way")).ok());
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"in-the-way"});
  EXPECT_EQ(ReadFile(dir.File("in-the-way/x")), "x");
}

TEST(NewFile, ALongNameTakesTheShortTemporaryName) {
  TempDir dir;
  const std::string target = dir.File(std::string(250, 'n') + ".htm");  // 254 bytes
  WriteFile(target, "old");
  NewFile file;
  ASSERT_TRUE(file.Create(target, 0600).ok());
  ASSERT_TRUE(WriteAll(file.fd(), "new").ok());
  ASSERT_TRUE(file.Publish(target).ok());
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(test::FolderNames(dir.Path()).size(), 1u);
}

TEST(NewFile, ANewFileHasTheModeLessTheUmask) {
  TempDir dir;
  const mode_t mask = ::umask(027);
  NewFile file;
  const FileStatus created = file.Create(dir.File("new.ini"), 0666);
  ::umask(mask);
  ASSERT_TRUE(created.ok());
  ASSERT_TRUE(file.Publish(dir.File("new.ini")).ok());
  struct stat st;
  ASSERT_EQ(::stat(dir.File("new.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(NewFile, AFolderThatDoesNotExistIsReported) {
  TempDir dir;
  NewFile file;
  EXPECT_EQ(file.Create(dir.File("missing/page.htm"), 0600).err(), ENOENT);
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace vk
