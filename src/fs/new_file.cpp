#include "fs/new_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>

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
    if (fd_.valid()) return FileStatus::Ok();
    // File systems without unnamed files say so in more than one way.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return FileStatus::FromErrno(errno);
    }
  }
  const int err = TryNames(folder_, name_, &tempPath_, [&](const std::string& path) {
    fd_.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
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
  fd_.Reset();
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

}  // namespace vk
