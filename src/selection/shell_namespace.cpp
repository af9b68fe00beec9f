#include "selection/shell_namespace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>

#include "selection/file_names.h"

namespace vk {
namespace {

QByteArray Clean(const QByteArray& path) { return Bytes(CleanPath(StdBytes(path))); }
QByteArray Encoded(const QString& path) { return Clean(QFile::encodeName(path)); }

bool IsFolder(const QByteArray& path) {
  struct stat info {};
  return stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QByteArray BaseName(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? path : path.mid(slash + 1);
}

bool IsBelow(const QByteArray& path, const QByteArray& base) {
  if (base == "/") return path.size() > 1 && path.startsWith('/');
  return path.startsWith(base + '/');
}

// Hidden folders on Linux are those whose names begin with a period.
bool Shown(const char* name) { return name[0] != '\0' && name[0] != '.'; }

// Whether a folder entry leads to a folder (a link counts as what it leads to).
bool LeadsToFolder(DIR* dir, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat info {};
  return fstatat(dirfd(dir), entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

// Calls `each` with the name of every shown subfolder of `path` until it returns false.
template <typename Each>
void ForEachSubfolder(const QByteArray& path, Each each) {
  DIR* dir = opendir(path.constData());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    if (!Shown(entry->d_name) || !LeadsToFolder(dir, *entry)) continue;
    if (!each(QByteArray(entry->d_name))) break;
  }
  closedir(dir);
}

// `path` lies at or below `base`: the identifier part from `base` down.
ShellId Chain(const QByteArray& base, const QByteArray& path, bool includeBase) {
  ShellId id;
  if (includeBase) id << base;
  QByteArray current = base;
  for (const QByteArray& part : path.mid(base.size()).split('/')) {
    if (part.isEmpty()) continue;
    current = ShellNamespace::Join(current, part);
    id << current;
  }
  return id;
}

}  // namespace

ShellNamespace::ShellNamespace(const QString& rootFolder) {
  root_.kind = ShellItem::Kind::kRoot;
  if (rootFolder.isEmpty()) {
    desktop_ = true;
    root_.path = DesktopFolder();
    root_.name = root_.path == Encoded(QDir::homePath()) ? QStringLiteral("Schreibtisch")
                                                         : NameText(BaseName(root_.path));
  } else {
    desktop_ = false;
    root_.path = Encoded(rootFolder);
    root_.name = root_.path == "/"
                     ? QCoreApplication::translate("vk::ShellNamespace", "Dateisystem")
                     : NameText(BaseName(root_.path));
  }
}

QByteArray ShellNamespace::Join(const QByteArray& folder, const QByteArray& name) {
  if (folder.endsWith('/')) return folder + name;
  return folder + '/' + name;
}

QByteArray ShellNamespace::DesktopFolder() {
  const QByteArray home = Encoded(QDir::homePath());
  const QString xdg = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!xdg.isEmpty() && IsFolder(Encoded(xdg))) return Encoded(xdg);
  const QByteArray fallback = Join(home, "Desktop");
  if (IsFolder(fallback)) return fallback;
  return home;
}

QList<QByteArray> ShellNamespace::VolumeFolders() {
  QList<QByteArray> folders;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QByteArray path = QFile::encodeName(volume.rootPath());
    if (path.startsWith("/media/") || path.startsWith("/run/media/") || path.startsWith("/mnt/") ||
        path == "/mnt") {
      folders << path;
    }
  }
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  return folders;
}

std::vector<ShellItem> ShellNamespace::Subfolders(const QByteArray& path) const {
  std::vector<QByteArray> names;
  ForEachSubfolder(path, [&names](QByteArray name) {
    names.push_back(std::move(name));
    return true;
  });
  std::vector<std::string_view> views;
  views.reserve(names.size());
  for (const QByteArray& name : names) {
    views.emplace_back(name.constData(), static_cast<std::size_t>(name.size()));
  }
  std::vector<ShellItem> items;
  items.reserve(names.size());
  for (const std::size_t i : CollationOrder(views, QLocale())) {
    items.push_back({ShellItem::Kind::kFolder, Join(path, names[i]), NameText(names[i])});
  }
  return items;
}

std::vector<ShellItem> ShellNamespace::TopLevelPlaces() const {
  std::vector<ShellItem> places;
  const QByteArray home = Encoded(QDir::homePath());
  if (home != root_.path) {
    places.push_back({ShellItem::Kind::kHome, home,
                      QCoreApplication::translate("vk::ShellNamespace", "Persönlicher Ordner")});
  }
  places.push_back({ShellItem::Kind::kFileSystem, QByteArray("/"),
                    QCoreApplication::translate("vk::ShellNamespace", "Dateisystem")});
  for (const QByteArray& volume : VolumeFolders()) {
    QString name = QStorageInfo(QFile::decodeName(volume)).displayName();
    if (name.isEmpty() || QFile::encodeName(name) == volume) name = NameText(BaseName(volume));
    places.push_back({ShellItem::Kind::kVolume, volume, name});
  }
  return places;
}

std::vector<ShellItem> ShellNamespace::Children(const ShellItem& item, bool isRoot) const {
  std::vector<ShellItem> children = Subfolders(item.path);
  if (isRoot && desktop_) {
    for (ShellItem& place : TopLevelPlaces()) children.push_back(std::move(place));
  }
  return children;
}

bool ShellNamespace::HasChildren(const ShellItem& item, bool isRoot) const {
  if (isRoot && desktop_) return true;  // home and "/" are always there
  bool found = false;
  ForEachSubfolder(item.path, [&found](const QByteArray&) {
    found = true;
    return false;
  });
  return found;
}

std::optional<ShellId> ShellNamespace::Parse(const QByteArray& path) const {
  if (path.isEmpty()) return std::nullopt;
  const QByteArray clean = Clean(path);
  if (!IsFolder(clean)) return std::nullopt;
  if (clean == root_.path) return ShellId();
  if (IsBelow(clean, root_.path)) return Chain(root_.path, clean, false);
  if (!desktop_) return std::nullopt;
  const ShellItem* best = nullptr;
  const std::vector<ShellItem> places = TopLevelPlaces();
  for (const ShellItem& place : places) {
    if (clean != place.path && !IsBelow(clean, place.path)) continue;
    if (best == nullptr || place.path.size() > best->path.size()) best = &place;
  }
  if (best == nullptr) return std::nullopt;
  return Chain(best->path, clean, true);
}

}  // namespace vk
