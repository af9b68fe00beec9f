// The folder namespace the folder tree shows on Linux: the desktop at the top, below it the
// desktop's own subfolders, the home folder, the file system root and mounted volumes. Every
// item is a real folder with a path; hidden folders (names beginning with ".") never appear.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vk {

// Paths are the file system's bytes (file_names.h); names are what the tree shows.
// Where an item sits: the chain of folder paths from just below the root down to the item.
// The root's identifier is empty. Two routes to the same folder (home below the root and
// below "/") have different identifiers, as two nodes of a tree do.
using ShellId = QList<QByteArray>;

struct ShellItem {
  enum class Kind { kRoot, kFolder, kHome, kFileSystem, kVolume };
  Kind kind = Kind::kFolder;
  QByteArray path;  // the folder on disk
  QString name;     // what the tree shows
};

class ShellNamespace {
 public:
  // `rootFolder` empty: the desktop (with home, "/" and the volumes below it). Otherwise the
  // tree starts at that folder and shows only what lies below it.
  explicit ShellNamespace(const QString& rootFolder = QString());

  const ShellItem& Root() const { return root_; }
  bool IsDesktop() const { return desktop_; }

  // The children of the item with identifier `id` (whose folder is `item.path`), in the order
  // the tree shows them: subfolders by the locale's collation ignoring case; below the desktop
  // root the home folder, "/" and the volumes follow its own subfolders.
  std::vector<ShellItem> Children(const ShellItem& item, bool isRoot) const;
  // A cheap test: stops at the first subfolder that would be shown.
  bool HasChildren(const ShellItem& item, bool isRoot) const;

  // The identifier of an existing folder, by the most specific route: below the root when it
  // lies there, else below the home folder, a volume or "/" (the longest matching path).
  // Nothing when the path is empty or names no existing folder. A relative path is taken
  // from the current folder.
  std::optional<ShellId> Parse(const QByteArray& path) const;

  // The path of the folder the desktop stands for: the XDG desktop folder, else ~/Desktop,
  // else the home folder.
  static QByteArray DesktopFolder();
  // Mount points of removable and extra volumes (below /media, /run/media, /mnt).
  static QList<QByteArray> VolumeFolders();
  // `folder` + "/" + `name`, without doubling the separator of "/".
  static QByteArray Join(const QByteArray& folder, const QByteArray& name);

 private:
  std::vector<ShellItem> TopLevelPlaces() const;
  std::vector<ShellItem> Subfolders(const QByteArray& path) const;

  bool desktop_ = true;
  ShellItem root_;
};

}  // namespace vk
