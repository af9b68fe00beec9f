// A page's way to the disk once its steps have run in memory, in the stages of StagedFile, so
// that the run can carry one page or a group of pages through each stage together:
//
//   Stage   the backup (when asked for: the bytes read, as "<page>.bak") and the page's new
//           content go to new unnamed files beside them, with the page's owner, group, mode and
//           extended attributes; a backup that cannot be made stops the page here
//   Sync    both new files are on the disk (a group syncs the Fds() of all its pages at once)
//   Commit  the page is locked and checked to be the file that was read; the backup is renamed
//           into place, then the new page over the page
//   then    the folders of the renames are synced (Folders(), once per folder for a group)
//
// A failure at any stage leaves the page as it was; only a backup renamed before a failing page
// rename stays, and it holds the page's current bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "batch/page_run.h"
#include "engine/file_access.h"
#include "fs/file_snapshot.h"
#include "fs/staged_file.h"

namespace vk {

class PageWrite {
 public:
  // Stages "<path>.bak" holding `original`, the bytes read from the page `page` (whose
  // attributes it takes). A ".bak" that is a folder, a pipe or a device, a read-only one, a
  // name too long, a full disk: the backup fails, and StagePage does nothing after it. A
  // ".bak" that is a link is replaced by the backup, never written through.
  void StageBackup(const FileSnapshot& page, std::string_view original);
  // Stages the page's new content.
  void StagePage(const FileSnapshot& page, std::string_view content);
  // Syncs what was staged; a failure fails the write. A group syncs the Fds() of all its pages
  // with one SyncFiles instead.
  void Sync();
  // The new files staged and not yet failed.
  std::vector<int> Fds() const;
  bool PageStaged() const { return page_.Staged(); }
  // The bytes staged (the backup's and the page's).
  std::size_t Bytes() const { return bytes_; }

  // Marks the page's write as failed before its commit (a group's failed sync, a journal that
  // could not record it): nothing is renamed.
  void Fail(const FileStatus& status);

  // The renames, the page's under its lock and after its check. Returns how the write ended.
  // With a `releaser`, the replaced page is closed there (see FileReleaser).
  WriteResult Commit(const FileSnapshot& page, FileReleaser* releaser = nullptr);
  // The folders in which Commit renamed something.
  const std::vector<std::string>& Folders() const { return folders_; }

 private:
  StagedFile backup_;
  StagedFile page_;
  WriteResult result_;
  std::size_t bytes_ = 0;
  std::vector<std::string> folders_;
};

// Whether a backup may take the name `backupPath` now: free, a link (replaced, never followed)
// or a regular file the user may write. Otherwise the errno's status (kIsDirectory for a
// folder, kReadOnly for a read-only file, kIoError with EINVAL for anything else).
FileStatus BackupNameUsable(const std::string& backupPath);

}  // namespace vk
