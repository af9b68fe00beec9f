#include "selection/shell_namespace.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>

namespace vk {
namespace {

QString Clean(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool IsBelow(const QString& path, const QString& base) {
  if (base == QLatin1String("/")) return path.size() > 1 && path.startsWith(QLatin1Char('/'));
  return path.startsWith(base + QLatin1Char('/'));
}

// Hidden folders on Linux are those whose names begin with a period.
bool Shown(const QString& name) { return !name.isEmpty() && !name.startsWith(QLatin1Char('.')); }

// `path` lies at or below `base`: the identifier part from `base` down.
ShellId Chain(const QString& base, const QString& path, bool includeBase) {
  ShellId id;
  if (includeBase) id << base;
  QString current = base;
  const QStringList parts = path.mid(base.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString& part : parts) {
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
    root_.name = root_.path == Clean(QDir::homePath()) ? QStringLiteral("Schreibtisch")
                                                       : QFileInfo(root_.path).fileName();
  } else {
    desktop_ = false;
    root_.path = Clean(rootFolder);
    root_.name = root_.path == QLatin1String("/")
                     ? QCoreApplication::translate("vk::ShellNamespace", "Dateisystem")
                     : QFileInfo(root_.path).fileName();
  }
}

QString ShellNamespace::Join(const QString& folder, const QString& name) {
  if (folder.endsWith(QLatin1Char('/'))) return folder + name;
  return folder + QLatin1Char('/') + name;
}

QString ShellNamespace::DesktopFolder() {
  const QString home = Clean(QDir::homePath());
  const QString xdg = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!xdg.isEmpty() && QFileInfo(xdg).isDir()) return Clean(xdg);
  const QString fallback = Join(home, QStringLiteral("Desktop"));
  if (QFileInfo(fallback).isDir()) return fallback;
  return home;
}

QStringList ShellNamespace::VolumeFolders() {
  QStringList folders;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString path = volume.rootPath();
    if (path.startsWith(QLatin1String("/media/")) ||
        path.startsWith(QLatin1String("/run/media/")) || path.startsWith(QLatin1String("/mnt/")) ||
        path == QLatin1String("/mnt")) {
      folders << path;
    }
  }
  folders.sort();
  folders.removeDuplicates();
  return folders;
}

std::vector<ShellItem> ShellNamespace::Subfolders(const QString& path) const {
  std::vector<ShellItem> items;
  QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
  while (it.hasNext()) {
    it.next();
    const QString name = it.fileName();
    if (!Shown(name)) continue;
    items.push_back({ShellItem::Kind::kFolder, Join(path, name), name});
  }
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(items.begin(), items.end(), [&](const ShellItem& a, const ShellItem& b) {
    return collator.compare(a.name, b.name) < 0;
  });
  return items;
}

std::vector<ShellItem> ShellNamespace::TopLevelPlaces() const {
  std::vector<ShellItem> places;
  const QString home = Clean(QDir::homePath());
  if (home != root_.path) {
    places.push_back({ShellItem::Kind::kHome, home,
                      QCoreApplication::translate("vk::ShellNamespace", "Persönlicher Ordner")});
  }
  places.push_back({ShellItem::Kind::kFileSystem, QStringLiteral("/"),
                    QCoreApplication::translate("vk::ShellNamespace", "Dateisystem")});
  for (const QString& volume : VolumeFolders()) {
    QString name = QStorageInfo(volume).displayName();
    if (name.isEmpty() || name == volume) name = QFileInfo(volume).fileName();
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
  QDirIterator it(item.path, QDir::Dirs | QDir::NoDotAndDotDot);
  while (it.hasNext()) {
    it.next();
    if (Shown(it.fileName())) return true;
  }
  return false;
}

std::optional<ShellId> ShellNamespace::Parse(const QString& path) const {
  if (path.isEmpty()) return std::nullopt;
  const QString clean = Clean(path);
  if (!QFileInfo(clean).isDir()) return std::nullopt;
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
