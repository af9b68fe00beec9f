// The backup copy: "<page>.bak", overwritten by every run, never reported.
#include "batch/make_backup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace vk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

int ModeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

TEST(MakeBackupTest, CopiesThePageWithBakAppended) {
  TempDir dir;
  const std::string page = dir.File("index.html");
  WriteFile(page, std::string("<p>\xE4\0x</p>\r\n", 12));
  chmod(page.c_str(), 0640);
  MakeBackup(page);
  EXPECT_EQ(ReadFile(page + ".bak"), std::string("<p>\xE4\0x</p>\r\n", 12));
  EXPECT_EQ(ModeOf(page + ".bak"), 0640);
  EXPECT_EQ(ReadFile(page), std::string("<p>\xE4\0x</p>\r\n", 12));
}

TEST(MakeBackupTest, OverwritesAnEarlierBackup) {
  TempDir dir;
  const std::string page = dir.File("a.htm");
  WriteFile(page + ".bak", "an old backup that is longer than the page");
  WriteFile(page, "new");
  MakeBackup(page);
  EXPECT_EQ(ReadFile(page + ".bak"), "new");
  WriteFile(page, "");
  MakeBackup(page);
  EXPECT_EQ(ReadFile(page + ".bak"), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST(MakeBackupTest, NothingWithoutAFileAndNothingOverAReadOnlyBackup) {
  TempDir dir;
  MakeBackup(dir.File("gone.htm"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("gone.htm.bak")));

  std::filesystem::create_directory(dir.File("folder.htm"));
  MakeBackup(dir.File("folder.htm"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("folder.htm.bak")));

  const std::string page = dir.File("p.htm");
  WriteFile(page, "new");
  WriteFile(page + ".bak", "kept");
  chmod((page + ".bak").c_str(), 0444);
  MakeBackup(page);
  EXPECT_EQ(ReadFile(page + ".bak"), "kept");
}

TEST(MakeBackupTest, ALinkedBackupIsWrittenThroughToItsTarget) {
  TempDir dir;
  const std::string page = dir.File("p.htm");
  WriteFile(page, "content");
  WriteFile(dir.File("elsewhere"), "old");
  ASSERT_EQ(symlink("elsewhere", (page + ".bak").c_str()), 0);
  MakeBackup(page);
  EXPECT_TRUE(std::filesystem::is_symlink(page + ".bak"));
  EXPECT_EQ(ReadFile(dir.File("elsewhere")), "content");
}

}  // namespace
}  // namespace vk
