#include "settings/settings_file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "engine/new_file.h"

namespace vk {
namespace {

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the outcome: a close can be the first place a write error shows.
  int Close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a write really replaces: the target of a link (also of a link whose target does not
// exist yet), so that a settings file kept as a link stays a link.
std::string WriteTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  char link[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), link, sizeof(link) - 1);
  if (n <= 0) return path;
  const std::string target(link, static_cast<std::size_t>(n));
  return target.front() == '/' ? target : FolderOf(path) + "/" + target;
}

}  // namespace

int ReadSettingsFile(const std::string& path, std::string* content, std::int64_t maxSize) {
  content->clear();
  // Non-blocking, so that a FIFO in the file's place cannot hang the program.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  FdCloser closer(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (st.st_size > maxSize) return EFBIG;

  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof(buffer));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    // The file may grow while it is read.
    if (static_cast<std::int64_t>(bytes.size()) > maxSize) return EFBIG;
  }
  *content = std::move(bytes);
  return 0;
}

bool IsUserWritableFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool MakeUserWritable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if ((st.st_mode & S_IWUSR) != 0) return true;
  return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

int ReplaceSettingsFile(const std::string& path, std::string_view content) {
  const std::string target = WriteTarget(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    if (!IsUserWritableFile(target)) return EACCES;
  }

  NewFile file;
  if (const int err = file.Create(target, exists ? (st.st_mode & 0666) : 0666); err != 0) {
    return err;
  }
  int err = 0;
  if (exists) {
    // The new file takes the old one's place, so it takes its permissions and, where the
    // system lets us, its owner.
    if (::fchmod(file.fd(), st.st_mode & 07777) != 0) err = errno;
    if (err == 0 && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
      [[maybe_unused]] const int ignored = ::fchown(file.fd(), st.st_uid, st.st_gid);
    }
  }
  if (err == 0) err = WriteAll(file.fd(), content);
  if (err == 0 && ::fsync(file.fd()) != 0) err = errno;
  if (err == 0) err = file.Publish(target);
  if (err != 0) return err;  // the new file goes with `file`
  // Make the rename itself durable; a failure here no longer endangers the content.
  const int dirFd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return 0;
}

}  // namespace vk
