#include "fs/new_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string_view>
#include <vector>

namespace vk {
namespace {

// Naming an unnamed file goes through /proc (the other way needs a privilege); without /proc
// every new file is named from the start.
bool UnnamedFilesUsable() {
  static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
  return usable;
}

std::string RandomSuffix() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::uniform_int_distribution<int> pick(0, sizeof(kChars) - 2);
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kChars[pick(random)];
  return suffix;
}

// Tries temporary names beside the target until `make(path)` succeeds, or fails with an errno
// other than EEXIST. A name too long for the folder gives way to the short ".vk-XXXXXX".
// Returns 0 with *path set, or the errno with *path empty.
template <typename Make>
int TryNames(const std::string& folder, const std::string& name, std::string* path, Make make) {
  bool shortName = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *path = folder + (shortName ? std::string() : "." + name) + ".vk-" + RandomSuffix();
    if (make(*path)) return 0;
    const int err = errno;
    if (err == ENAMETOOLONG && !shortName) {
      shortName = true;
      continue;
    }
    if (err != EEXIST) {
      path->clear();
      return err;
    }
  }
  path->clear();
  return EEXIST;
}

bool IsAlphanumeric(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// True for the temporary names TryNames gives: ".<name>.vk-XXXXXX" or ".vk-XXXXXX"; with a
// `name`, only the first beside that name.
bool IsTemporaryName(std::string_view entry, const std::string& name) {
  constexpr std::string_view kMark = ".vk-";
  constexpr std::size_t kSuffix = 6;
  if (entry.size() < kMark.size() + kSuffix || entry.front() != '.') return false;
  const std::string_view suffix = entry.substr(entry.size() - kSuffix);
  for (const char c : suffix) {
    if (!IsAlphanumeric(c)) return false;
  }
  const std::string_view head = entry.substr(0, entry.size() - kSuffix);
  if (!head.ends_with(kMark)) return false;
  if (!name.empty()) return head == "." + name + std::string(kMark);
  return head == kMark || (head.size() > kMark.size() + 1);
}

// Holds the new file's lock: flock belongs to the open file, so it lasts while any descriptor
// of it is open.
void Lock(int fd) { ::flock(fd, LOCK_EX | LOCK_NB); }

}  // namespace

FileStatus WriteAll(int fd, std::string_view data, off_t offset) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    // Large single calls are capped by the kernel anyway; keep each below 1 GiB.
    const std::size_t chunk = left < (std::size_t{1} << 30) ? left : (std::size_t{1} << 30);
    const ssize_t n = offset < 0 ? ::write(fd, p, chunk) : ::pwrite(fd, p, chunk, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileStatus::FromErrno(errno);
    }
    // No progress and no error: give up rather than spin.
    if (n == 0) return FileStatus::FromErrno(EIO);
    p += n;
    left -= static_cast<std::size_t>(n);
    if (offset >= 0) offset += n;
  }
  return FileStatus::Ok();
}

NewFile::~NewFile() { Discard(); }

FileStatus NewFile::Create(const std::string& target, mode_t mode) {
  Discard();
  const std::size_t slash = target.rfind('/');
  folder_ = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
  name_ = slash == std::string::npos ? target : target.substr(slash + 1);
  if (UnnamedFilesUsable()) {
    fd_.Reset(::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (fd_.valid()) {
      Lock(fd_.get());
      return FileStatus::Ok();
    }
    // File systems without unnamed files say so in more than one way.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return FileStatus::FromErrno(errno);
    }
  }
  const int err = TryNames(folder_, name_, &tempPath_, [&](const std::string& path) {
    fd_.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (fd_.valid()) Lock(fd_.get());
    return fd_.valid();
  });
  return err == 0 ? FileStatus::Ok() : FileStatus::FromErrno(err);
}

int NewFile::GiveName() {
  if (!tempPath_.empty()) return 0;
  const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
  return TryNames(folder_, name_, &tempPath_, [&](const std::string& path) {
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
  });
}

FileStatus NewFile::Sync() const {
  const int err = fd_.Sync();
  return err == 0 ? FileStatus::Ok() : FileStatus::FromErrno(err);
}

FileStatus NewFile::Publish(const std::string& target) {
  if (!fd_.valid()) return FileStatus::FromErrno(EBADF);
  int err = GiveName();
  // The lock outlives the close through a second descriptor, until the name is gone.
  const Fd lockHolder(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
  if (const int closeErr = fd_.Close(); closeErr != 0 && err == 0) err = closeErr;
  if (err == 0 && ::rename(tempPath_.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    Discard();
    return FileStatus::FromErrno(err);
  }
  tempPath_.clear();
  return FileStatus::Ok();
}

void NewFile::Discard() {
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
  fd_.Reset();
}

int RemoveLeftovers(const std::string& folder, const std::string& name) {
  const Fd folderFd(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd.valid()) return 0;
  DIR* dir = ::fdopendir(::fcntl(folderFd.get(), F_DUPFD_CLOEXEC, 0));
  if (dir == nullptr) return 0;
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    if (IsTemporaryName(entry->d_name, name)) candidates.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  int removed = 0;
  const uid_t user = ::geteuid();
  for (const std::string& candidate : candidates) {
    const Fd file(::openat(folderFd.get(), candidate.c_str(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat held;
    if (!file.valid() || ::fstat(file.get(), &held) != 0 || !S_ISREG(held.st_mode) ||
        held.st_uid != user) {
      continue;
    }
    // A file being written is locked by its writer; a killed writer's lock is gone.
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;
    struct stat named;
    if (::fstatat(folderFd.get(), candidate.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        named.st_dev != held.st_dev || named.st_ino != held.st_ino) {
      continue;
    }
    if (::unlinkat(folderFd.get(), candidate.c_str(), 0) == 0) ++removed;
  }
  return removed;
}

}  // namespace vk
