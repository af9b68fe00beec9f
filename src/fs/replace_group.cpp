#include "fs/replace_group.h"

#include <algorithm>

#include "fs/staged_file.h"
#include "fs/sync_files.h"

namespace vk {
namespace {

using Code = FileStatus::Code;

}  // namespace

struct ReplaceGroup::Staged {
  FileSnapshot snapshot;
  std::int64_t order = 0;
  StagedFile file;
};

ReplaceGroup::ReplaceGroup() = default;
ReplaceGroup::~ReplaceGroup() { SyncRenames(); }

FileStatus ReplaceGroup::Stage(const FileSnapshot& snapshot, std::string_view content,
                               std::int64_t order) {
  auto staged = std::make_unique<Staged>();
  staged->snapshot = snapshot;
  staged->order = order;
  if (FileStatus status = staged->file.Stage(snapshot.writePath, content, &snapshot);
      !status.ok()) {
    return status;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  bytes_ += static_cast<std::int64_t>(content.size());
  staged_.push_back(std::move(staged));
  return FileStatus::Ok();
}

std::size_t ReplaceGroup::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return staged_.size();
}

std::int64_t ReplaceGroup::Bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

std::vector<ReplaceGroup::Result> ReplaceGroup::Commit() {
  std::vector<std::unique_ptr<Staged>> staged;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    staged = std::move(staged_);
    staged_.clear();
    bytes_ = 0;
  }
  std::stable_sort(staged.begin(), staged.end(),
                   [](const auto& a, const auto& b) { return a->order < b->order; });
  std::vector<Result> results(staged.size());
  for (std::size_t i = 0; i < staged.size(); ++i) results[i].order = staged[i]->order;

  // The contents first: one syncfs per file system, or each file where that is not trusted. A
  // syncfs also makes the renames of the group before durable.
  std::vector<int> fds;
  fds.reserve(staged.size());
  for (const auto& file : staged) fds.push_back(file->file.Fd());
  if (FileStatus synced = SyncFiles(fds); !synced.ok()) {
    for (Result& result : results) result.status = synced;
    return results;  // `staged` goes, and with it every new file
  }
  for (const auto& file : staged) {
    if (SyncfsTrusted(file->file.Fd())) pendingRenames_.erase(file->snapshot.identity.device);
  }
  SyncRenames();

  for (std::size_t i = 0; i < staged.size(); ++i) {
    Staged& file = *staged[i];
    // Held across the rename, and let go of on a helper thread: see releaser_.
    FileLock lock;
    const FileStatus unchanged = lock.LockIfUnchanged(file.snapshot);
    if (!unchanged.ok()) {
      const bool changed = unchanged.code() == Code::kChanged ||
                           unchanged.code() == Code::kNotFound ||
                           unchanged.code() == Code::kIsDirectory;
      results[i].outcome = changed ? Outcome::kChangedMeanwhile : Outcome::kFailed;
      results[i].status = unchanged;
      file.file.Discard();
      continue;
    }
    if (FileStatus published = file.file.Commit(); !published.ok()) {
      results[i].status = published;
      continue;
    }
    results[i].outcome = Outcome::kReplaced;
    pendingRenames_[file.snapshot.identity.device].insert(file.file.Folder());
    lock.ReleaseTo(releaser_);
  }
  return results;
}

void ReplaceGroup::SyncRenames() {
  std::vector<std::string> folders;
  for (const auto& [device, names] : pendingRenames_)
    folders.insert(folders.end(), names.begin(), names.end());
  SyncFolders(folders);
  pendingRenames_.clear();
}

}  // namespace vk
