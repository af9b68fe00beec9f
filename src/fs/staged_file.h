// Replacing a file in stages, so that a caller may carry many files through each stage together
// (a page and its backup, a group of pages made durable by one sync):
//
//   Stage   a new file in the target's folder (unnamed where the file system allows) holds the
//           content and has the owner, group, mode and every extended attribute of the file
//           it replaces
//   Sync    its content is on the disk (or the caller syncs Fd()'s file system for a group)
//   lock    FileLock::LockIfUnchanged: the target is still the file that was read, and stays
//           so against other runs of the program until the renames are done
//   Commit  the new file is named and renamed over its target
//   then    SyncFolder(Folder()): the renames are on the disk (once per folder for a group)
//
// Nothing is ever written into the target itself, so a process killed at any point leaves it
// old or new. What is not committed is removed when the object goes.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/file_access.h"
#include "fs/fd.h"
#include "fs/file_releaser.h"
#include "fs/file_snapshot.h"
#include "fs/new_file.h"

namespace vk {

class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Writes `content` to a new file beside `target`. With `like`, the new file takes over its
  // owner and group (where the system lets the user give a file away; otherwise it keeps the
  // group where the user may set it), its mode and exactly its extended attributes; without,
  // it gets `newMode` less the umask. Fails with kNoNewFile when the folder lets the user create
  // no file, kAttributesLost when an extended attribute cannot be given, kGroupLost when the
  // group cannot be kept and had rights the others lack, else with the errno of
  // the failing call (kTooLarge at the file size limit). On failure nothing is left.
  FileStatus Stage(const std::string& target, std::string_view content, const FileSnapshot* like,
                   mode_t newMode = 0666);
  bool Staged() const { return file_.fd() >= 0; }
  int Fd() const { return file_.fd(); }
  // fsync of the new file.
  FileStatus Sync() const;
  // Names the new file and renames it over the target. On failure the new file is gone.
  FileStatus Commit();
  // Removes the new file now.
  void Discard();

  const std::string& Target() const { return target_; }
  // The target's folder, to sync once its renames are done.
  std::string Folder() const;

 private:
  NewFile file_;
  std::string target_;
};

// A lock on the file a rewrite is about to replace, held from the check that it is unchanged
// until the renames are done. Runs of the program (in this process or another) that reach the
// same file take the lock in turn, so the second one sees the first one's new file and leaves
// it. Released when the object goes.
class FileLock {
 public:
  // Opens and locks the file `snapshot` describes and checks that it is still that file
  // (CheckUnchanged). A lock held elsewhere for more than a few seconds gives kChanged, and so
  // does a file that is no longer the one read.
  FileStatus LockIfUnchanged(const FileSnapshot& snapshot);
  void Release() { fd_.Reset(); }
  // Releases the lock through `releaser`: once the file is renamed over, this may be its last
  // reference, whose close frees its blocks.
  void ReleaseTo(FileReleaser& releaser) { releaser.Close(fd_.Release()); }

 private:
  Fd fd_;
};

}  // namespace vk
