#include "batch/page_write.h"

#include <sys/stat.h>

#include <cerrno>

#include "fs/sync_files.h"
#include "fs/writable.h"

namespace vk {

using Code = FileStatus::Code;

FileStatus BackupNameUsable(const std::string& backupPath) {
  struct stat st;
  if (::lstat(backupPath.c_str(), &st) != 0) {
    return errno == ENOENT ? FileStatus::Ok() : FileStatus::FromErrno(errno);
  }
  if (S_ISLNK(st.st_mode)) return FileStatus::Ok();
  if (S_ISDIR(st.st_mode)) return FileStatus::Error(Code::kIsDirectory, EISDIR);
  if (!S_ISREG(st.st_mode)) return FileStatus::Error(Code::kIoError, EINVAL);
  if (!IsWritableFile(backupPath)) return FileStatus::Error(Code::kReadOnly, EACCES);
  return FileStatus::Ok();
}

void PageWrite::StageBackup(const FileSnapshot& page, std::string_view original) {
  result_.backupPath = page.path + ".bak";
  FileStatus status = BackupNameUsable(result_.backupPath);
  if (status.ok()) status = backup_.Stage(result_.backupPath, original, &page);
  if (status.ok()) bytes_ += original.size();
  if (!status.ok()) {
    result_.backupFailed = true;
    result_.status = status;
  }
}

void PageWrite::StagePage(const FileSnapshot& page, std::string_view content) {
  if (result_.backupFailed) return;
  result_.status = page_.Stage(page.writePath, content, &page);
  if (result_.status.ok()) bytes_ += content.size();
}

void PageWrite::Sync() {
  const std::vector<int> fds = Fds();
  if (fds.empty()) return;
  if (FileStatus synced = SyncFiles(fds); !synced.ok()) Fail(synced);
}

std::vector<int> PageWrite::Fds() const {
  std::vector<int> fds;
  for (const StagedFile* file : {&backup_, &page_}) {
    if (file->Staged()) fds.push_back(file->Fd());
  }
  return fds;
}

void PageWrite::Fail(const FileStatus& status) {
  result_.status = status;
  backup_.Discard();
  page_.Discard();
}

WriteResult PageWrite::Commit(const FileSnapshot& page, FileReleaser* releaser) {
  FileLock lock;
  if (page_.Staged()) {
    if (FileStatus unchanged = lock.LockIfUnchanged(page); !unchanged.ok()) Fail(unchanged);
  }
  if (backup_.Staged()) {
    FileStatus status = BackupNameUsable(backup_.Target());
    if (status.ok()) status = backup_.Commit();
    if (!status.ok()) {
      Fail(status);
      result_.backupFailed = true;
      return result_;
    }
    folders_.push_back(backup_.Folder());
  }
  if (page_.Staged()) {
    result_.status = page_.Commit();
    if (result_.status.ok()) {
      folders_.push_back(page_.Folder());
      if (releaser != nullptr) lock.ReleaseTo(*releaser);
    }
  }
  return result_;
}

}  // namespace vk
