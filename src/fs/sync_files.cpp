#include "fs/sync_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>

namespace vk {
namespace {

std::atomic<std::int64_t> fileSystemSyncs{0};
std::atomic<std::int64_t> fileSyncs{0};

int SyncFileSystem(int fd) {
  fileSystemSyncs.fetch_add(1, std::memory_order_relaxed);
  while (::syncfs(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int SyncOne(int fd) {
  fileSyncs.fetch_add(1, std::memory_order_relaxed);
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace

bool SyncfsTrusted(int fd) {
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE
    case 0x00C36400:  // Ceph
    case 0x01021997:  // 9P
    case 0x5346414F:  // AFS
    case 0x47504653:  // GPFS
    case 0x0BD00BD0:  // Lustre
      return false;
    default:
      return true;
  }
}

FileStatus SyncFiles(const std::vector<int>& fds) {
  // One descriptor per file system stands for all of it; -1 where each file syncs alone.
  std::map<dev_t, int> byFileSystem;
  for (const int fd : fds) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return FileStatus::FromErrno(errno);
    auto [entry, first] = byFileSystem.try_emplace(st.st_dev, fd);
    if (first && !SyncfsTrusted(fd)) entry->second = -1;
    if (entry->second < 0) {
      if (const int err = SyncOne(fd); err != 0) return FileStatus::FromErrno(err);
    }
  }
  for (const auto& [device, fd] : byFileSystem) {
    if (fd < 0) continue;
    if (const int err = SyncFileSystem(fd); err != 0) return FileStatus::FromErrno(err);
  }
  return FileStatus::Ok();
}

FileStatus SyncFolders(const std::vector<std::string>& paths) {
  return SyncFilesAndFolders({}, paths);
}

FileStatus SyncFilesAndFolders(const std::vector<int>& fds, const std::vector<std::string>& paths) {
  std::vector<int> all = fds;
  std::vector<int> folders;
  folders.reserve(paths.size());
  for (const std::string& path : paths) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) folders.push_back(fd);
  }
  all.insert(all.end(), folders.begin(), folders.end());
  const FileStatus status = all.empty() ? FileStatus::Ok() : SyncFiles(all);
  for (const int fd : folders) ::close(fd);
  return status;
}

SyncCounts SyncCountsSoFar() {
  return SyncCounts{fileSystemSyncs.load(std::memory_order_relaxed),
                    fileSyncs.load(std::memory_order_relaxed)};
}

}  // namespace vk
