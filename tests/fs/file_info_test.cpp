#include "fs/file_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace vk {
namespace {

using namespace std::string_literals;
using test::TempDir;
using test::WriteFile;

TEST(FileSizeOf, SizesFromTheDirectoryEntry) {
  TempDir dir;
  const std::string empty = dir.File("empty.htm");
  const std::string small = dir.File("small.htm");
  const std::string big = dir.File("big.htm");
  WriteFile(empty, "");
  WriteFile(small,
            "Gr\xFC\xDF"
            "e\0"s);
  // A sparse file beyond 4 GiB costs no disk space.
  const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 5368709121), 0);
  ::close(fd);
  const std::string locked = dir.File("locked.htm");
  WriteFile(locked, "12345678");
  ASSERT_EQ(::chmod(locked.c_str(), 0000), 0);
  ASSERT_EQ(::symlink("small.htm", dir.File("link.htm").c_str()), 0);
  ASSERT_EQ(::symlink("gone.htm", dir.File("dangling.htm").c_str()), 0);
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("folder", dir.File("folderlink").c_str()), 0);

  struct Case {
    std::string path;
    std::int64_t size;
  } cases[] = {
      {empty, 0},
      {small, 6},
      {big, 5368709121},
      {locked, 8},
      {dir.File("link.htm"), 6},
      {dir.File("dangling.htm"), -1},
      {dir.File("missing.htm"), -1},
      {dir.File("folder"), -1},
      {dir.File("folderlink"), -1},
      {dir.Path(), -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileSizeOf(c.path), c.size) << c.path;
  }
}

TEST(InfoOf, KindsIdentityAndModeThroughLinks) {
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "abc");
  ASSERT_EQ(::chmod(page.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("page.htm", dir.File("link.htm").c_str()), 0);
  ASSERT_EQ(::symlink("gone.htm", dir.File("dangling.htm").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);

  const std::optional<FileInfo> info = InfoOf(page);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->kind, FileInfo::Kind::kFile);
  EXPECT_EQ(info->size, 3);
  EXPECT_EQ(info->mode, 0640u);
  EXPECT_EQ(InfoOf(dir.File("link.htm")), info);  // the same file, the same identity
  EXPECT_EQ(InfoOf(dir.Path())->kind, FileInfo::Kind::kFolder);
  EXPECT_EQ(InfoOf(dir.File("pipe"))->kind, FileInfo::Kind::kOther);
  EXPECT_FALSE(InfoOf(dir.File("dangling.htm")));
  EXPECT_FALSE(InfoOf(dir.File("missing")));

  EXPECT_TRUE(EntryExists(dir.File("dangling.htm")));
  EXPECT_TRUE(EntryExists(page));
  EXPECT_FALSE(EntryExists(dir.File("missing")));
}

}  // namespace
}  // namespace vk
