#include "fs/staged_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace vk {
namespace {

using Code = FileStatus::Code;

// Gives the new file the old one's owner and group, or at least its group. Where neither is
// allowed the new file stays the user's and takes the user's group: refused (kGroupLost) where
// the old group had rights the others lack, which its members would lose.
FileStatus KeepOwner(int fd, const FileSnapshot& like) {
  if (::fchown(fd, like.owner, like.group) == 0) return FileStatus::Ok();
  if (::fchown(fd, static_cast<uid_t>(-1), like.group) == 0) return FileStatus::Ok();
  struct stat st;
  if (::fstat(fd, &st) != 0) return FileStatus::FromErrno(errno);
  const mode_t groupOnly = (like.mode >> 3) & 07 & ~like.mode & 07;
  if (st.st_gid == like.group || groupOnly == 0) return FileStatus::Ok();
  return FileStatus::Error(Code::kGroupLost, EPERM);
}

}  // namespace

FileStatus StagedFile::Stage(const std::string& target, std::string_view content,
                             const FileSnapshot* like, mode_t newMode) {
  Discard();
  target_ = target;
  FileStatus created = file_.Create(target, like != nullptr ? 0600 : newMode);
  if (!created.ok()) {
    if (created.err() == EACCES || created.err() == EPERM) {
      return FileStatus::Error(Code::kNoNewFile, created.err());
    }
    return created;
  }
  FileStatus status = WriteAll(file_.fd(), content);
  // The disk starts on a big file's bytes now, while the run works on its next pages, so the
  // sync that makes them durable later finds little left to wait for. Small files are left to
  // that sync, which writes many of them together. Only a hint: a failure here shows again at
  // that sync.
  constexpr std::size_t kWorthStartingEarly = std::size_t{1} << 20;
  if (status.ok() && content.size() >= kWorthStartingEarly) {
    ::sync_file_range(file_.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
  }
  if (status.ok() && like != nullptr) {
    // Owner first: giving the file away clears its set-id bits, which the mode below restores.
    status = KeepOwner(file_.fd(), *like);
    if (status.ok()) status = GiveAttributes(file_.fd(), like->attributes);
    // The mode last: it is the old file's, whatever an ACL inherited from the folder said.
    if (status.ok() && ::fchmod(file_.fd(), like->mode) != 0) status = FileStatus::FromErrno(errno);
  }
  if (!status.ok()) file_.Discard();
  return status;
}

FileStatus StagedFile::Sync() const { return file_.Sync(); }

FileStatus StagedFile::Commit() { return file_.Publish(target_); }

void StagedFile::Discard() { file_.Discard(); }

std::string StagedFile::Folder() const { return FolderOf(target_); }

FileStatus FileLock::LockIfUnchanged(const FileSnapshot& snapshot) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  fd_.Reset(::open(snapshot.writePath.c_str(), O_RDONLY | kFlags));
  // A file the user may write but not read is locked through a descriptor for writing, which
  // changes nothing in it.
  if (!fd_.valid() && errno == EACCES)
    fd_.Reset(::open(snapshot.writePath.c_str(), O_WRONLY | kFlags));
  if (!fd_.valid()) {
    // A link in the file's place: not the file that was read.
    return errno == ELOOP ? FileStatus::Error(Code::kChanged, ELOOP) : FileStatus::FromErrno(errno);
  }
  // Another run holds its lock only while it checks and renames; a lock held far longer is
  // someone else's business with the file, and the file is left to them.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) break;  // no locks here: the check still holds
    if (std::chrono::steady_clock::now() > giveUp) {
      fd_.Reset();
      return FileStatus::Error(Code::kChanged, EWOULDBLOCK);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  FileStatus status = CheckUnchanged(fd_.get(), snapshot);
  if (!status.ok()) fd_.Reset();
  return status;
}

}  // namespace vk
