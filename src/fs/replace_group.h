// Replacing many files with one sync for all of them (group commit). Each new content goes to a
// new unnamed file beside the file it replaces, with that file's owner, group, permission bits
// and every extended attribute (ACLs and labels among them); one sync per file system makes the
// group durable; then each file is renamed over its target, in the order staged, when the target
// is still the file that was read. The renames become durable with the next group's sync, or
// with SyncRenames. Killed at any instant, every target holds its old or its new content.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_access.h"

namespace vk {

// The file a read found, to recognise it when it is about to be replaced.
struct FileSnapshot {
  std::string target;  // the file itself: `path`, or the file its permitted link leads to
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;  // modification time in nanoseconds
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;  // permission bits, set-id and sticky bits
};

// Reads the whole regular file at `path` into *content with the snapshot of exactly what was
// read (one open, fstat and read of that descriptor). A symbolic link is followed only when it
// belongs to the user or to its target's owner; another gives kReadOnly with EPERM. A file the
// user may not write (IsWritableFile) gives kReadOnly with EACCES, a missing one kNotFound, a
// folder kIsDirectory, anything else that is no regular file kIoError with EINVAL.
FileStatus ReadForReplace(const std::string& path, std::string* content, FileSnapshot* snapshot);

class ReplaceGroup {
 public:
  enum class Outcome {
    kReplaced,
    kChangedMeanwhile,  // the target was no longer the file read: left as it is
    kFailed,            // left as it is; `status` says why
  };
  struct Result {
    std::int64_t order = 0;  // as staged
    Outcome outcome = Outcome::kFailed;
    FileStatus status = FileStatus::Ok();
  };

  ReplaceGroup();
  // New files not committed are removed.
  ~ReplaceGroup();
  ReplaceGroup(const ReplaceGroup&) = delete;
  ReplaceGroup& operator=(const ReplaceGroup&) = delete;

  // Writes `content` to a new file beside snapshot.target with the target's owner (when the
  // system lets us: else the user's, with the target's group where allowed), extended
  // attributes and permission bits. Nothing visible changes. A failure leaves nothing behind,
  // and the group as it was. Safe from several threads at once; Commit takes the files in the
  // order of `order` (the order staged where it is the same).
  FileStatus Stage(const FileSnapshot& snapshot, std::string_view content, std::int64_t order = 0);
  std::size_t Count() const;
  std::int64_t Bytes() const;

  // Makes the staged contents (and the renames of the commit before) durable: syncfs once per
  // file system, fsync of each file and folder where a file system's syncfs is not to be
  // trusted (network file systems). Then in the order staged renames each new file over its
  // target if the target is still the file read. A failing sync renames nothing (every result
  // kFailed with its status). One result per staged file, in that order; the group is empty
  // after and may be used again. Not at once with Stage. The files replaced are freed in the
  // background (see releaser_).
  std::vector<Result> Commit();
  // Makes the renames of the last Commit durable now; the destructor does it as well.
  void SyncRenames();

 private:
  struct Staged;
  class Releaser;
  mutable std::mutex mutex_;  // guards staged_ and bytes_ for Stage
  std::vector<std::unique_ptr<Staged>> staged_;
  std::int64_t bytes_ = 0;
  std::map<dev_t, std::set<std::string>> pendingRenames_;  // their folders, by file system
  // Freeing a replaced file's blocks can wait on the disk for milliseconds (a file system
  // mounted with online discard), and it happens wherever the file's last reference goes. The
  // group keeps each replaced file open across its rename and closes it on helper threads,
  // where those waits overlap each other and the next group's work. Declared last: its
  // destructor waits for the last of them.
  std::unique_ptr<Releaser> releaser_;
};

}  // namespace vk
