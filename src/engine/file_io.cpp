#include "engine/file_io.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "engine/new_file.h"

namespace vk {
namespace {

using Code = FileStatus::Code;

FileStatus FromErrno(int err) {
  if (err == ENOENT || err == ENOTDIR) return FileStatus::Error(Code::kNotFound, err);
  if (err == EISDIR) return FileStatus::Error(Code::kIsDirectory, err);
  return FileStatus::Error(Code::kIoError, err);
}

// Closes on every path out of a function; close errors are checked where they matter.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports the errno of a failing close (0 when it went well). Linux releases
  // the descriptor even when close fails, so it is never retried.
  int Close() {
    int err = 0;
    if (fd_ >= 0 && ::close(fd_) != 0) err = errno;
    fd_ = -1;
    return err;
  }

 private:
  int fd_;
};

int FsyncRetry(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

bool PermitsWrite(const struct stat& st, const std::string& path) {
  if (!S_ISREG(st.st_mode)) return false;
  // The effective ids decide, as they do for the write itself; this also covers ACLs and a
  // file system mounted read-only.
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return false;
  // Root passes every access check; a page the user marked read-only must still stay as it is.
  if (::geteuid() == 0 && (st.st_mode & 0222) == 0) return false;
  return true;
}

// Rewrites the file in place, keeping its inode (and so every hard link to it). The growth is
// reserved before the first byte is overwritten, so running out of space or hitting the file
// size limit leaves the original as it was.
FileStatus WriteInPlace(const std::string& target, std::string_view content, off_t oldSize) {
  const off_t newSize = static_cast<off_t>(content.size());
  // A write that stops at the file size limit halfway would leave the page part new, part old,
  // even when it shrinks; refuse it before the first byte.
  struct rlimit sizeLimit;
  if (::getrlimit(RLIMIT_FSIZE, &sizeLimit) == 0 && sizeLimit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(newSize) > sizeLimit.rlim_cur) {
    return FileStatus::Error(Code::kTooLarge, EFBIG);
  }
  Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd.valid()) return FromErrno(errno);
  if (newSize > oldSize) {
    int err;
    do {
      err = ::posix_fallocate(fd.get(), 0, newSize);
    } while (err == EINTR);
    if (err != 0) {
      // The reservation may have extended the file partly; cut it back to what it was.
      while (::ftruncate(fd.get(), oldSize) != 0 && errno == EINTR) {
      }
      return FileStatus::Error(err == EFBIG ? Code::kTooLarge : Code::kIoError, err);
    }
  }
  if (int err = WriteAll(fd.get(), content, 0); err != 0) {
    return FileStatus::Error(Code::kIoError, err);
  }
  if (newSize < oldSize) {
    while (::ftruncate(fd.get(), newSize) != 0) {
      if (errno != EINTR) return FileStatus::Error(Code::kIoError, errno);
    }
  }
  if (int err = FsyncRetry(fd.get()); err != 0) return FileStatus::Error(Code::kIoError, err);
  if (int err = fd.Close(); err != 0) return FileStatus::Error(Code::kIoError, err);
  return FileStatus::Ok();
}

enum class TempOutcome { kDone, kFailed, kUseInPlace };

// Writes `content` to a new file beside `target` and renames it over `target`. The new file is
// removed on every failure.
TempOutcome WriteViaTempFile(const std::string& target, std::string_view content,
                             const struct stat& original, FileStatus* status) {
  NewFile file;
  if (const int err = file.Create(target, 0600); err != 0) {
    // A folder we may not create files in: the file itself is writable, so write it in place.
    if (err == EACCES || err == EPERM) return TempOutcome::kUseInPlace;
    *status = FromErrno(err);
    return TempOutcome::kFailed;
  }
  auto fail = [&](Code code, int err) {
    file.Discard();
    *status = FileStatus::Error(code, err);
    return TempOutcome::kFailed;
  };

  if (int err = WriteAll(file.fd(), content, -1); err != 0) {
    return fail(err == EFBIG ? Code::kTooLarge : Code::kIoError, err);
  }
  if (int err = FsyncRetry(file.fd()); err != 0) return fail(Code::kIoError, err);
  // Owner first: changing it may clear set-id bits, which the mode below restores.
  if (::fchown(file.fd(), original.st_uid, original.st_gid) != 0) {
    struct stat temp;
    if (::fstat(file.fd(), &temp) != 0) return fail(Code::kIoError, errno);
    if (temp.st_uid != original.st_uid || temp.st_gid != original.st_gid) {
      // Renaming would hand someone else's page to us; keep its owner by writing in place.
      file.Discard();
      return TempOutcome::kUseInPlace;
    }
  }
  if (::fchmod(file.fd(), original.st_mode & 07777) != 0) return fail(Code::kIoError, errno);
  if (int err = file.Publish(target); err != 0) return fail(Code::kIoError, err);
  *status = FileStatus::Ok();
  return TempOutcome::kDone;
}

class DiskAccess : public FileAccess {
 public:
  FileStatus Read(const std::string& path, std::string* content) override {
    return ReadWholeFile(path, content);
  }
  FileStatus Write(const std::string& path, std::string_view content) override {
    return ReplaceFileContent(path, content);
  }
};

}  // namespace

FileStatus ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  // O_NONBLOCK keeps a named pipe from blocking the open; it is refused below.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return FromErrno(errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return FromErrno(errno);
  if (S_ISDIR(st.st_mode)) return FileStatus::Error(Code::kIsDirectory, EISDIR);
  if (!S_ISREG(st.st_mode)) return FileStatus::Error(Code::kIoError, EINVAL);

  std::string data;
  try {
    if (static_cast<std::uint64_t>(st.st_size) > data.max_size()) {
      return FileStatus::Error(Code::kTooLarge, EFBIG);
    }
    // One byte more than the size so that reaching the end needs no further allocation.
    std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
    data.resize(capacity);
    std::size_t used = 0;
    for (;;) {
      if (used == capacity) {  // the file grew while we read it
        capacity = capacity * 2;
        data.resize(capacity);
      }
      const ssize_t n = ::read(fd.get(), data.data() + used, capacity - used);
      if (n < 0) {
        if (errno == EINTR) continue;
        return FileStatus::Error(Code::kIoError, errno);
      }
      if (n == 0) break;
      used += static_cast<std::size_t>(n);
    }
    data.resize(used);
  } catch (const std::bad_alloc&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  } catch (const std::length_error&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  }
  *content = std::move(data);
  return FileStatus::Ok();
}

bool IsWritableFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return PermitsWrite(st, path);
}

FileStatus ReplaceFileContent(const std::string& path, std::string_view content) {
  // Write through a link to its final target, so the link itself stays as it is.
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return FromErrno(errno);
  const std::string target(resolved);
  std::free(resolved);

  struct stat st;
  if (::stat(target.c_str(), &st) != 0) return FromErrno(errno);
  if (S_ISDIR(st.st_mode)) return FileStatus::Error(Code::kIsDirectory, EISDIR);
  if (!S_ISREG(st.st_mode)) return FileStatus::Error(Code::kIoError, EINVAL);
  if (!PermitsWrite(st, target)) return FileStatus::Error(Code::kReadOnly, EACCES);

  if (st.st_nlink <= 1) {
    FileStatus status = FileStatus::Ok();
    const TempOutcome outcome = WriteViaTempFile(target, content, st, &status);
    if (outcome != TempOutcome::kUseInPlace) return status;
  }
  return WriteInPlace(target, content, st.st_size);
}

FileAccess& DiskFileAccess() {
  static DiskAccess access;
  return access;
}

}  // namespace vk
