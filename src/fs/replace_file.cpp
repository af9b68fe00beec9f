#include "fs/replace_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "fs/fd.h"
#include "fs/new_file.h"
#include "fs/writable.h"

namespace vk {
namespace {

using Code = FileStatus::Code;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a write really replaces: the final target of a link (also of a link whose target
// does not exist yet), so that the link stays a link.
std::string WriteTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    std::string target(resolved);
    std::free(resolved);
    return target;
  }
  std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
  const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return path;
  link.resize(static_cast<std::size_t>(n));
  return link.front() == '/' ? link : FolderOf(path) + "/" + link;
}

// Rewrites the file in place, keeping its inode (and so every hard link to it). The growth is
// reserved before the first byte is overwritten, so running out of space or hitting the file
// size limit leaves the original as it was.
FileStatus WriteInPlace(const std::string& target, std::string_view content, off_t oldSize) {
  const off_t newSize = static_cast<off_t>(content.size());
  // A write that stops at the file size limit halfway would leave the file part new, part old,
  // even when it shrinks; refuse it before the first byte.
  struct rlimit sizeLimit;
  if (::getrlimit(RLIMIT_FSIZE, &sizeLimit) == 0 && sizeLimit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(newSize) > sizeLimit.rlim_cur) {
    return FileStatus::Error(Code::kTooLarge, EFBIG);
  }
  Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd.valid()) return FileStatus::FromErrno(errno);
  if (newSize > oldSize) {
    int err;
    do {
      err = ::posix_fallocate(fd.get(), 0, newSize);
    } while (err == EINTR);
    if (err != 0) {
      // The reservation may have extended the file partly; cut it back to what it was.
      while (::ftruncate(fd.get(), oldSize) != 0 && errno == EINTR) {
      }
      return FileStatus::FromErrno(err);
    }
  }
  if (FileStatus written = WriteAll(fd.get(), content, 0); !written.ok()) return written;
  if (newSize < oldSize) {
    while (::ftruncate(fd.get(), newSize) != 0) {
      if (errno != EINTR) return FileStatus::FromErrno(errno);
    }
  }
  if (int err = fd.Sync(); err != 0) return FileStatus::FromErrno(err);
  if (int err = fd.Close(); err != 0) return FileStatus::FromErrno(err);
  return FileStatus::Ok();
}

// Gives the new file the old one's owner and group. False when the system does not let us and
// they differ from the new file's.
bool KeepOwner(int fd, const struct stat& original) {
  if (::fchown(fd, original.st_uid, original.st_gid) == 0) return true;
  struct stat now;
  if (::fstat(fd, &now) != 0) return false;
  return now.st_uid == original.st_uid && now.st_gid == original.st_gid;
}

}  // namespace

FileStatus ReplaceFile(const std::string& path, std::string_view content,
                       const ReplaceRules& rules) {
  const std::string target = WriteTarget(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && !rules.createMissing) return FileStatus::FromErrno(errno);
  if (exists) {
    if (S_ISDIR(st.st_mode)) return FileStatus::Error(Code::kIsDirectory, EISDIR);
    if (!S_ISREG(st.st_mode)) return FileStatus::Error(Code::kIoError, EINVAL);
    if (!IsWritableFile(target)) return FileStatus::Error(Code::kReadOnly, EACCES);
    if (rules.keepInPlace && st.st_nlink > 1) return WriteInPlace(target, content, st.st_size);
  }

  NewFile file;
  const mode_t createMode = exists || rules.newFileMode ? 0600 : 0666;
  if (FileStatus created = file.Create(target, createMode); !created.ok()) {
    // A folder we may not create files in: the file itself is writable, so write it in place.
    if (exists && rules.keepInPlace && (created.err() == EACCES || created.err() == EPERM)) {
      return WriteInPlace(target, content, st.st_size);
    }
    return created;
  }
  // From here on a failure leaves with `file`, which removes the new file.
  if (FileStatus written = WriteAll(file.fd(), content); !written.ok()) return written;
  if (FileStatus synced = file.Sync(); !synced.ok()) return synced;
  if (exists) {
    // Owner first: changing it may clear set-id bits, which the mode below restores.
    if (!KeepOwner(file.fd(), st) && rules.keepInPlace) {
      // Renaming would hand someone else's file to us; keep its owner by writing in place.
      file.Discard();
      return WriteInPlace(target, content, st.st_size);
    }
    if (::fchmod(file.fd(), st.st_mode & 07777) != 0) return FileStatus::FromErrno(errno);
  } else if (rules.newFileMode) {
    if (::fchmod(file.fd(), *rules.newFileMode & 07777) != 0) return FileStatus::FromErrno(errno);
  }
  if (FileStatus published = file.Publish(target); !published.ok()) return published;
  SyncFolder(FolderOf(target));
  return FileStatus::Ok();
}

}  // namespace vk
