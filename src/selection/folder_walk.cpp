#include "selection/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <unordered_set>

#include "engine/texts.h"
#include "selection/file_names.h"

namespace vk {
namespace {

// What makes a folder the same folder, whichever path leads to it.
struct FolderId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FolderId&) const = default;
};

struct FolderIdHash {
  std::size_t operator()(const FolderId& id) const {
    return std::hash<ino_t>()(id.inode) * 31u + std::hash<dev_t>()(id.device);
  }
};

// The folder's entries, read through one descriptor; closes it when done.
class FolderReader {
 public:
  explicit FolderReader(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return;
    if (fstat(fd, &info_) != 0 || (dir_ = fdopendir(fd)) == nullptr) close(fd);
  }
  ~FolderReader() {
    if (dir_ != nullptr) closedir(dir_);
  }
  FolderReader(const FolderReader&) = delete;
  FolderReader& operator=(const FolderReader&) = delete;

  bool IsOpen() const { return dir_ != nullptr; }
  FolderId Id() const { return {info_.st_dev, info_.st_ino}; }
  int Fd() const { return dirfd(dir_); }
  const dirent* Next() { return readdir(dir_); }

 private:
  DIR* dir_ = nullptr;
  struct stat info_ {};
};

// The identity of the folder an entry leads to; false when the entry is no folder, a link that
// leads nowhere, or a link the rule for links refuses: it is followed only when it belongs to
// the user or to the owner of the folder it leads to, so nobody can lead the walk into a folder
// of someone else's through a link of their own. A plain folder entry costs no lookup: it lives
// on its parent's device under the entry's inode number. Only links and entries of unknown type
// are looked up.
bool EntryFolderId(const FolderReader& parent, const dirent& entry, FolderId& id) {
  if (entry.d_type == DT_DIR) {
    id = {parent.Id().device, entry.d_ino};
    return true;
  }
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat info {};
  if (fstatat(parent.Fd(), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (S_ISLNK(info.st_mode)) {
    const uid_t linkOwner = info.st_uid;
    if (fstatat(parent.Fd(), entry.d_name, &info, 0) != 0) return false;
    if (linkOwner != geteuid() && linkOwner != info.st_uid) return false;
  }
  if (!S_ISDIR(info.st_mode)) return false;
  id = {info.st_dev, info.st_ino};
  return true;
}

}  // namespace

void SortFolderList(std::vector<std::string>& folders, const QLocale& locale) {
  if (folders.size() < 3) return;
  std::vector<std::string_view> rest(folders.begin() + 1, folders.end());
  const std::vector<std::size_t> order = CollationOrder(rest, locale);
  std::vector<std::string> sorted;
  sorted.reserve(folders.size());
  sorted.push_back(std::move(folders[0]));
  for (const std::size_t i : order) sorted.push_back(std::move(folders[i + 1]));
  folders = std::move(sorted);
}

void CollectFolders(const std::string& start, std::vector<std::string>& folders, Feedback& feedback,
                    const QLocale& locale) {
  folders.clear();
  folders.push_back(start);
  // For every listed folder the identity it was listed under. A plain entry's identity can
  // differ from the one the open folder reports (a mount point); then the folder's own
  // identity decides, and a folder met before is taken out of the list again.
  std::vector<FolderId> listedAs(1);
  std::vector<bool> dropped(1, false);
  std::unordered_set<FolderId, FolderIdHash> entered;
  bool stopped = false;

  // Breadth first over the list itself: no recursion, however deep the tree.
  for (std::size_t i = 0; i < folders.size() && !stopped; ++i) {
    feedback.Yield();
    FolderReader reader(folders[i]);
    if (!reader.IsOpen()) continue;  // unreadable: skipped without a word
    if (i == 0 || reader.Id() != listedAs[i]) {
      if (!entered.insert(reader.Id()).second) {
        dropped[i] = true;
        continue;
      }
    }
    const std::string parent =
        folders[i].empty() || folders[i].back() != '/' ? folders[i] + '/' : folders[i];
    while (const dirent* entry = reader.Next()) {
      feedback.Yield();
      // Covers "." and "..", and hidden folders with everything below them.
      if (entry->d_name[0] == '.') continue;
      FolderId id;
      if (!EntryFolderId(reader, *entry, id)) continue;
      // A link to a folder already listed (an ancestor, or a loop) adds nothing.
      if (!entered.insert(id).second) continue;
      try {
        std::string path = parent + entry->d_name + '/';
        feedback.Status(FormatText(
            Translate("vk::CollectFolders",
                      QT_TRANSLATE_NOOP("vk::CollectFolders", "Lese Ordnerstruktur: %1")),
            {path}));
        folders.push_back(std::move(path));
        listedAs.push_back(id);
        dropped.push_back(false);
      } catch (const std::bad_alloc&) {
        // Memory is exhausted: list what was gathered so far. Shrinking allocates nothing.
        const std::size_t complete = std::min({folders.size(), listedAs.size(), dropped.size()});
        folders.resize(complete);
        listedAs.resize(complete);
        dropped.resize(complete);
        stopped = true;
        break;
      }
    }
  }

  if (std::find(dropped.begin(), dropped.end(), true) != dropped.end()) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
      if (!dropped[i]) folders[kept++] = std::move(folders[i]);
    }
    folders.resize(kept);
  }
  SortFolderList(folders, locale);
}

void CollectFolders(const std::string& start, std::vector<std::string>& folders,
                    Feedback& feedback) {
  CollectFolders(start, folders, feedback, QLocale::system());
}

}  // namespace vk
