#include "fs/replace_file.h"

#include "fs/fd.h"
#include "fs/file_snapshot.h"
#include "fs/staged_file.h"
#include "fs/writable.h"

namespace vk {

using Code = FileStatus::Code;

FileStatus ReplaceFile(const std::string& path, std::string_view content,
                       const ReplaceRules& rules) {
  FileSnapshot old;
  const FileStatus found = SnapshotOf(path, &old, rules.createMissing);
  const bool exists = found.ok();
  if (!exists && !(rules.createMissing && found.code() == Code::kNotFound)) return found;
  if (exists && !IsWritableFile(old.writePath)) return FileStatus::Error(Code::kReadOnly, EACCES);

  StagedFile file;
  if (FileStatus staged = file.Stage(old.writePath, content, exists ? &old : nullptr);
      !staged.ok()) {
    return staged;
  }
  if (FileStatus synced = file.Sync(); !synced.ok()) return synced;
  FileLock lock;
  if (exists) {
    if (FileStatus unchanged = lock.LockIfUnchanged(old); !unchanged.ok()) return unchanged;
  }
  if (FileStatus committed = file.Commit(); !committed.ok()) return committed;
  lock.Release();
  SyncFolder(file.Folder());
  return FileStatus::Ok();
}

}  // namespace vk
