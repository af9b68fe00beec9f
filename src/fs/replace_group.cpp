#include "fs/replace_group.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <thread>

#include "fs/fd.h"
#include "fs/new_file.h"
#include "fs/writable.h"

namespace vk {
namespace {

using Code = FileStatus::Code;

std::int64_t MtimeNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

// The names of the extended attributes of `path` or, with fd >= 0, of that file; none where the
// file system has none.
FileStatus AttributeNames(const std::string& path, int fd, std::vector<std::string>* names) {
  names->clear();
  // Most files have no attribute or a few: one call with room for them, asking for the size
  // only when that is too small.
  std::string list(1024, '\0');
  for (;;) {
    const ssize_t got = fd >= 0 ? ::flistxattr(fd, list.data(), list.size())
                                : ::listxattr(path.c_str(), list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno == ENOTSUP) return FileStatus::Ok();
    if (errno != ERANGE) return FileStatus::FromErrno(errno);
    const ssize_t size =
        fd >= 0 ? ::flistxattr(fd, nullptr, 0) : ::listxattr(path.c_str(), nullptr, 0);
    if (size < 0) return FileStatus::FromErrno(errno);
    list.resize(static_cast<std::size_t>(size) + 1024);  // room for one more, should it grow
  }
  for (std::size_t start = 0; start < list.size();) {
    const std::size_t end = list.find('\0', start);
    const std::size_t stop = end == std::string::npos ? list.size() : end;
    if (stop > start) names->push_back(list.substr(start, stop - start));
    start = stop + 1;
  }
  return FileStatus::Ok();
}

// Gives the new file `fd` exactly the extended attributes of `source`: the ACL of a folder's
// default ACL, which a new file may have inherited, goes when the source has none.
FileStatus CopyAttributes(const std::string& source, int fd) {
  std::vector<std::string> names;
  if (FileStatus listed = AttributeNames(source, -1, &names); !listed.ok()) return listed;
  std::string value;
  for (const std::string& name : names) {
    for (;;) {
      const ssize_t size = ::getxattr(source.c_str(), name.c_str(), nullptr, 0);
      if (size < 0) return FileStatus::FromErrno(errno);
      value.resize(static_cast<std::size_t>(size));
      const ssize_t got = ::getxattr(source.c_str(), name.c_str(), value.data(), value.size());
      if (got >= 0) {
        value.resize(static_cast<std::size_t>(got));
        break;
      }
      if (errno != ERANGE) return FileStatus::FromErrno(errno);
    }
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
      return FileStatus::FromErrno(errno);
    }
  }
  std::vector<std::string> inherited;
  if (FileStatus listed = AttributeNames("", fd, &inherited); !listed.ok()) return listed;
  for (const std::string& name : inherited) {
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    if (::fremovexattr(fd, name.c_str()) != 0) return FileStatus::FromErrno(errno);
  }
  return FileStatus::Ok();
}

// Reads what is left of `fd` (whose size was `size` when it was opened) into *content.
FileStatus ReadRest(int fd, std::int64_t size, std::string* content) {
  std::string data;
  try {
    std::size_t capacity = static_cast<std::size_t>(size) + 1;
    data.resize(capacity);
    std::size_t used = 0;
    for (;;) {
      if (used == capacity) {  // the file grew while we read it
        capacity *= 2;
        data.resize(capacity);
      }
      const ssize_t n = ::read(fd, data.data() + used, capacity - used);
      if (n < 0) {
        if (errno == EINTR) continue;
        return FileStatus::Error(Code::kIoError, errno);
      }
      if (n == 0) break;
      used += static_cast<std::size_t>(n);
    }
    data.resize(used);
  } catch (const std::bad_alloc&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  } catch (const std::length_error&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  }
  *content = std::move(data);
  return FileStatus::Ok();
}

}  // namespace

FileStatus ReadForReplace(const std::string& path, std::string* content, FileSnapshot* snapshot) {
  content->clear();
  struct stat link;
  if (::lstat(path.c_str(), &link) != 0) return FileStatus::FromErrno(errno);
  std::string target = path;
  if (S_ISLNK(link.st_mode)) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return FileStatus::FromErrno(errno);
    target = resolved;
    std::free(resolved);
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) return FileStatus::FromErrno(errno);
    // The rule the kernel applies to links in shared folders: a link someone else planted
    // must not lead a write to a file of a third party.
    if (link.st_uid != ::geteuid() && link.st_uid != st.st_uid) {
      return FileStatus::Error(Code::kReadOnly, EPERM);
    }
  }
  // O_NONBLOCK keeps a named pipe from blocking the open; O_NOFOLLOW refuses a link put in the
  // target's place since it was resolved.
  Fd fd(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (!fd.valid()) return FileStatus::FromErrno(errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return FileStatus::FromErrno(errno);
  if (S_ISDIR(st.st_mode)) return FileStatus::Error(Code::kIsDirectory, EISDIR);
  if (!S_ISREG(st.st_mode)) return FileStatus::Error(Code::kIoError, EINVAL);
  if (!IsWritableFile(target)) return FileStatus::Error(Code::kReadOnly, EACCES);
  if (FileStatus read = ReadRest(fd.get(), st.st_size, content); !read.ok()) return read;
  snapshot->target = target;
  snapshot->device = st.st_dev;
  snapshot->inode = st.st_ino;
  snapshot->size = static_cast<std::int64_t>(content->size());
  snapshot->mtimeNs = MtimeNs(st);
  snapshot->owner = st.st_uid;
  snapshot->group = st.st_gid;
  snapshot->mode = st.st_mode & 07777;
  return FileStatus::Ok();
}

struct ReplaceGroup::Staged {
  FileSnapshot snapshot;
  std::int64_t order = 0;
  NewFile file;
};

// Closes descriptors on a few threads of its own.
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

  // Takes `fd` to close; waits while too many are waiting already (each holds a descriptor).
  void Close(int fd) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (threads_.empty()) {
      for (int i = 0; i < kThreads; ++i) threads_.emplace_back([this] { Work(); });
    }
    room_.wait(lock, [this] { return waiting_.size() < kMostWaiting; });
    waiting_.push_back(fd);
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
      if (waiting_.empty()) return;  // stopping, and everything closed
      const int fd = waiting_.front();
      waiting_.pop_front();
      room_.notify_one();
      lock.unlock();
      ::close(fd);
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable room_;
  std::deque<int> waiting_;
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
  NewFile& file = staged->file;
  // From here on a failure leaves with `staged`, which removes the new file.
  if (FileStatus created = file.Create(snapshot.target, 0600); !created.ok()) return created;
  if (FileStatus written = WriteAll(file.fd(), content); !written.ok()) return written;
  // Owner first: changing it may clear set-id bits, which the mode below restores. Where the
  // owner cannot be given away, the group is kept if the user belongs to it.
  if (::fchown(file.fd(), snapshot.owner, snapshot.group) != 0) {
    (void)::fchown(file.fd(), static_cast<uid_t>(-1), snapshot.group);
  }
  if (FileStatus copied = CopyAttributes(snapshot.target, file.fd()); !copied.ok()) return copied;
  // After the ACL, whose mask the group bits of the mode then set to what they were.
  if (::fchmod(file.fd(), snapshot.mode) != 0) return FileStatus::FromErrno(errno);
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
    const dev_t device = file->snapshot.device;
    if (devicesSynced.count(device) != 0) continue;
    if (SyncfsTrusted(file->file.fd())) {
      devicesSynced.insert(device);
      if (const int err = SyncFileSystem(file->file.fd()); err != 0) {
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
    const FileSnapshot& read = staged[i]->snapshot;
    // Opened for the check, and kept open across the rename: see releaser_.
    const int old = ::open(read.target.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat now;
    if (old < 0 || ::fstat(old, &now) != 0 || !S_ISREG(now.st_mode) || now.st_dev != read.device ||
        now.st_ino != read.inode || static_cast<std::int64_t>(now.st_size) != read.size ||
        MtimeNs(now) != read.mtimeNs) {
      if (old >= 0) ::close(old);
      results[i].outcome = Outcome::kChangedMeanwhile;
      staged[i]->file.Discard();
      continue;
    }
    if (FileStatus published = staged[i]->file.Publish(read.target); !published.ok()) {
      ::close(old);
      results[i].status = published;
      continue;
    }
    results[i].outcome = Outcome::kReplaced;
    pendingRenames_[read.device].insert(FolderOf(read.target));
    releaser_->Close(old);
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
