#include "fs/file_snapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "fs/fd.h"

namespace vk {
namespace {

using Code = FileStatus::Code;

constexpr int kMaxLinks = 40;

int ReadLink(const std::string& path, std::int64_t sizeHint, std::string* target) {
  std::string buffer(static_cast<std::size_t>(sizeHint > 0 ? sizeHint : 255) + 1, '\0');
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      *target = std::move(buffer);
      return 0;
    }
    buffer.resize(buffer.size() * 2);  // the link changed since it was looked at
  }
}

FileIdentity IdentityOf(const struct stat& st) {
  return FileIdentity{
      st.st_dev, st.st_ino, static_cast<std::int64_t>(st.st_size),
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

void Describe(const struct stat& st, FileSnapshot* snapshot) {
  snapshot->identity = IdentityOf(st);
  snapshot->mode = st.st_mode & 07777;
  snapshot->owner = st.st_uid;
  snapshot->group = st.st_gid;
  snapshot->links = st.st_nlink;
}

FileStatus KindStatus(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return FileStatus::Error(Code::kIsDirectory, EISDIR);
  if (!S_ISREG(st.st_mode)) return FileStatus::Error(Code::kIoError, EINVAL);
  return FileStatus::Ok();
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

FileStatus ResolveWritePath(const std::string& path, std::string* writePath, bool mayBeMissing) {
  std::vector<uid_t> linkOwners;
  std::string current = path;
  bool missing = false;
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno == ENOENT && mayBeMissing) {
        missing = true;
        break;
      }
      return FileStatus::FromErrno(errno);
    }
    if (!S_ISLNK(st.st_mode)) break;
    if (hops == kMaxLinks) return FileStatus::Error(Code::kIoError, ELOOP);
    std::string target;
    if (const int err = ReadLink(current, st.st_size, &target); err != 0) {
      return FileStatus::FromErrno(err);
    }
    if (target.empty()) return FileStatus::Error(Code::kNotFound, ENOENT);
    linkOwners.push_back(st.st_uid);
    current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
  }
  if (!linkOwners.empty()) {
    const uid_t user = ::geteuid();
    struct stat end;
    const bool hasOwner = !missing && ::stat(current.c_str(), &end) == 0;
    for (const uid_t owner : linkOwners) {
      if (owner != user && !(hasOwner && owner == end.st_uid)) {
        return FileStatus::Error(Code::kLinkRefused, EPERM);
      }
    }
  }
  *writePath = std::move(current);
  return FileStatus::Ok();
}

FileStatus ReadFileWithSnapshot(const std::string& path, std::string* content,
                                FileSnapshot* snapshot, std::int64_t maxSize) {
  content->clear();
  snapshot->path = path;
  if (FileStatus resolved = ResolveWritePath(path, &snapshot->writePath); !resolved.ok()) {
    return resolved;
  }
  // O_NOFOLLOW: a link put in the file's place since the links were followed is not read.
  // O_NONBLOCK keeps a named pipe from blocking the open; it is refused below.
  Fd fd(::open(snapshot->writePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (!fd.valid()) return FileStatus::FromErrno(errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return FileStatus::FromErrno(errno);
  if (FileStatus kind = KindStatus(st); !kind.ok()) return kind;
  Describe(st, snapshot);
  if (FileStatus attributes = ReadAttributes(fd.get(), &snapshot->attributes); !attributes.ok()) {
    return attributes;
  }
  return ReadOpenFile(fd.get(), st, content, maxSize);
}

FileStatus SnapshotOf(const std::string& path, FileSnapshot* snapshot, bool mayBeMissing) {
  snapshot->path = path;
  snapshot->attributes.clear();
  if (FileStatus resolved = ResolveWritePath(path, &snapshot->writePath, mayBeMissing);
      !resolved.ok()) {
    return resolved;
  }
  struct stat st;
  if (::lstat(snapshot->writePath.c_str(), &st) != 0) return FileStatus::FromErrno(errno);
  if (FileStatus kind = KindStatus(st); !kind.ok()) return kind;
  Describe(st, snapshot);
  return ReadAttributesOf(snapshot->writePath, &snapshot->attributes);
}

FileStatus CheckUnchanged(int fd, const FileSnapshot& snapshot) {
  struct stat held;
  if (::fstat(fd, &held) != 0) return FileStatus::FromErrno(errno);
  struct stat byPath;
  if (::stat(snapshot.path.c_str(), &byPath) != 0) return FileStatus::FromErrno(errno);
  if (FileStatus kind = KindStatus(byPath); !kind.ok()) return kind;
  struct stat byWritePath;
  if (::lstat(snapshot.writePath.c_str(), &byWritePath) != 0) return FileStatus::FromErrno(errno);
  const auto same = [&held](const struct stat& st) {
    return st.st_dev == held.st_dev && st.st_ino == held.st_ino;
  };
  if (!same(byPath) || !same(byWritePath) || IdentityOf(held) != snapshot.identity) {
    return FileStatus::Error(Code::kChanged, 0);
  }
  return FileStatus::Ok();
}

}  // namespace vk
