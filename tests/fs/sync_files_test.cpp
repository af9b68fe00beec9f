// Syncing many files at once: one syncfs per file system, whatever the number of files and
// folders; a descriptor that is no file fails the sync.
#include "fs/sync_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vk {
namespace {

using test::TempDir;

TEST(SyncFiles, OneSyncPerFileSystemForAnyNumberOfFiles) {
  TempDir dir;
  std::vector<int> open;
  for (int i = 0; i < 5; ++i) {
    const std::string path = dir.File("f" + std::to_string(i));
    open.push_back(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_GE(open.back(), 0);
    ASSERT_EQ(::write(open.back(), "x", 1), 1);
  }
  open.push_back(::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const bool trusted = SyncfsTrusted(open.front());
  struct Case {
    std::vector<int> fds;
    std::int64_t fileSystems;  // where syncfs is trusted; else each file on its own
    std::int64_t files;
  };
  const Case cases[] = {
      {{}, 0, 0},
      {{open[0]}, 1, 1},
      {open, 1, static_cast<std::int64_t>(open.size())},
      {{open[2], open[2]}, 1, 2},
  };
  for (const Case& c : cases) {
    const SyncCounts before = SyncCountsSoFar();
    EXPECT_TRUE(SyncFiles(c.fds).ok());
    const SyncCounts after = SyncCountsSoFar();
    EXPECT_EQ(after.fileSystems - before.fileSystems, trusted ? c.fileSystems : 0);
    EXPECT_EQ(after.files - before.files, trusted ? 0 : c.files);
  }
  const SyncCounts before = SyncCountsSoFar();
  EXPECT_TRUE(SyncFolders({dir.Path(), dir.Path(), dir.File("missing")}).ok());
  EXPECT_EQ(SyncCountsSoFar().fileSystems - before.fileSystems, trusted ? 1 : 0);
  for (const int fd : open) ::close(fd);
}

TEST(SyncFiles, ADescriptorThatIsNoFileFails) {
  const FileStatus status = SyncFiles({-1});
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.err(), EBADF);
}

}  // namespace
}  // namespace vk
