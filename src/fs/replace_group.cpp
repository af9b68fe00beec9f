#include "fs/replace_group.h"

#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <thread>

#include "fs/fd.h"
#include "fs/staged_file.h"

namespace vk {
namespace {

using Code = FileStatus::Code;

// File systems whose syncfs cannot be trusted to make other clients' view durable, or that
// may not implement it at all: each file is synced on its own there.
bool SyncfsTrusted(int fd) {
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE
    case 0x00C36400:  // Ceph
    case 0x01021997:  // 9P
    case 0x5346414F:  // AFS
      return false;
    default:
      return true;
  }
}

int SyncFileSystem(int fd) {
  while (::syncfs(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace

struct ReplaceGroup::Staged {
  FileSnapshot snapshot;
  std::int64_t order = 0;
  StagedFile file;
};

// Lets go of the locks of replaced files on a few threads of its own.
class ReplaceGroup::Releaser {
 public:
  ~Releaser() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Takes `lock` to release; waits while too many are waiting already (each holds a file).
  void Release(std::unique_ptr<FileLock> fileLock) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (threads_.empty()) {
      for (int i = 0; i < kThreads; ++i) threads_.emplace_back([this] { Work(); });
    }
    room_.wait(lock, [this] { return waiting_.size() < kMostWaiting; });
    waiting_.push_back(std::move(fileLock));
    wake_.notify_one();
  }

 private:
  // Enough to keep a disk's queue busy; they only wait.
  static constexpr int kThreads = 16;
  static constexpr std::size_t kMostWaiting = 256;

  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (waiting_.empty()) return;  // stopping, and everything released
      std::unique_ptr<FileLock> fileLock = std::move(waiting_.front());
      waiting_.pop_front();
      room_.notify_one();
      lock.unlock();
      fileLock.reset();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable room_;
  std::deque<std::unique_ptr<FileLock>> waiting_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

ReplaceGroup::ReplaceGroup() : releaser_(std::make_unique<Releaser>()) {}
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
  FileStatus synced = FileStatus::Ok();
  std::set<dev_t> devicesSynced;
  for (const auto& file : staged) {
    const dev_t device = file->snapshot.identity.device;
    if (devicesSynced.count(device) != 0) continue;
    if (SyncfsTrusted(file->file.Fd())) {
      devicesSynced.insert(device);
      if (const int err = SyncFileSystem(file->file.Fd()); err != 0) {
        synced = FileStatus::FromErrno(err);
        break;
      }
    } else if (FileStatus fileSynced = file->file.Sync(); !fileSynced.ok()) {
      synced = fileSynced;
      break;
    }
  }
  if (!synced.ok()) {
    for (Result& result : results) result.status = synced;
    return results;  // `staged` goes, and with it every new file
  }
  for (const dev_t device : devicesSynced) pendingRenames_.erase(device);
  SyncRenames();

  for (std::size_t i = 0; i < staged.size(); ++i) {
    Staged& file = *staged[i];
    // Held across the rename, and let go of on a helper thread: see releaser_.
    auto lock = std::make_unique<FileLock>();
    const FileStatus unchanged = lock->LockIfUnchanged(file.snapshot);
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
    releaser_->Release(std::move(lock));
  }
  return results;
}

void ReplaceGroup::SyncRenames() {
  for (const auto& [device, names] : pendingRenames_) {
    Fd folder(::open(names.begin()->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid() && SyncfsTrusted(folder.get())) {
      SyncFileSystem(folder.get());
    } else {
      for (const std::string& name : names) SyncFolder(name);
    }
  }
  pendingRenames_.clear();
}

}  // namespace vk
