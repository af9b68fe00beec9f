// Replacing many files with one sync for all of them (group commit), through the stages of
// StagedFile: each new content goes to a new file beside the file it replaces, with that file's
// owner, group, mode and every extended attribute; one sync per file system makes the group
// durable; then each file is locked, checked to be the file that was read and renamed over, in
// the order of the group. The renames become durable with the next group's sync, or with
// SyncRenames. Killed at any instant, every target holds its old or its new content.
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
#include "fs/file_releaser.h"
#include "fs/file_snapshot.h"

namespace vk {

class ReplaceGroup {
 public:
  enum class Outcome {
    kReplaced,
    kChangedMeanwhile,  // the target was no longer the file read (or is gone): left as it is
    kFailed,            // left as it is; `status` says why
  };
  struct Result {
    std::int64_t order = 0;  // as staged
    Outcome outcome = Outcome::kFailed;
    FileStatus status = FileStatus::Ok();
  };

  ReplaceGroup();
  // New files not committed are removed; the renames committed are made durable.
  ~ReplaceGroup();
  ReplaceGroup(const ReplaceGroup&) = delete;
  ReplaceGroup& operator=(const ReplaceGroup&) = delete;

  // Stages `content` to replace the file of `snapshot` (StagedFile::Stage with it as `like`).
  // Nothing visible changes. A failure leaves nothing behind, and the group as it was. Safe
  // from several threads at once; Commit takes the files in the order of `order` (the order
  // staged where it is the same).
  FileStatus Stage(const FileSnapshot& snapshot, std::string_view content, std::int64_t order = 0);
  std::size_t Count() const;
  std::int64_t Bytes() const;

  // Makes the staged contents (and the renames of the commit before) durable: syncfs once per
  // file system, fsync of each file and folder where a file system's syncfs is not to be
  // trusted (network file systems). Then in order locks each target, checks that it is still
  // the file read (FileLock) and renames the new file over it. A failing sync renames nothing
  // (every result kFailed with its status). One result per staged file, in that order; the
  // group is empty after and may be used again. Not at once with Stage. The files replaced are
  // freed in the background (see releaser_).
  std::vector<Result> Commit();
  // Makes the renames of the last Commit durable now.
  void SyncRenames();

 private:
  struct Staged;
  mutable std::mutex mutex_;  // guards staged_ and bytes_ for Stage
  std::vector<std::unique_ptr<Staged>> staged_;
  std::int64_t bytes_ = 0;
  std::map<dev_t, std::set<std::string>> pendingRenames_;  // their folders, by file system
  // Freeing a replaced file's blocks can wait on the disk for milliseconds (a file system
  // mounted with online discard), and it happens wherever the file's last reference goes. The
  // group keeps each replaced file open (its lock) across its rename and lets it go on helper
  // threads, where those waits overlap each other and the next group's work. Declared last:
  // its destructor waits for the last of them.
  FileReleaser releaser_;
};

}  // namespace vk
