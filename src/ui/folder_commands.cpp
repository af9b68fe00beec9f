#include "ui/folder_commands.h"

#include <fcntl.h>
#include <stdio.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>

#include "selection/shell_namespace.h"
#include "ui/launcher.h"
#include "ui/user_dialogs.h"

namespace vk {
namespace {

const QString kGnomeCopied = QStringLiteral("x-special/gnome-copied-files");

bool Exists(const QString& path) {
  const QFileInfo info(path);
  return info.exists() || info.isSymLink();  // a dangling link still takes the name
}

// A real folder, not a link to one: links are copied as links, so a walk never loops.
bool IsPlainFolder(const QFileInfo& info) { return info.isDir() && !info.isSymLink(); }

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// Writes `source`'s bytes over `target` through a temporary file beside it: until the final
// rename the old file stays whole, and a failed copy leaves it as it was.
bool ReplaceFile(const QString& source, const QString& target) {
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) return false;
  QSaveFile out(target);
  if (!out.open(QIODevice::WriteOnly)) return false;
  char buffer[64 * 1024];
  qint64 count = 0;
  while ((count = in.read(buffer, sizeof buffer)) > 0) {
    if (out.write(buffer, count) != count) {
      out.cancelWriting();
      return false;
    }
  }
  if (count < 0) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}

class Paster {
 public:
  explicit Paster(QWidget* parent) : parent_(parent) {}

  void Paste(const QString& source, const QString& folder) {
    const QFileInfo info(source);
    if (!Exists(source)) {
      Fail(source, folder);
      return;
    }
    const QString name = info.fileName();
    QString target = ShellNamespace::Join(folder, name);
    const QString canonicalSource = info.canonicalFilePath();
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    if (IsPlainFolder(info) && (canonicalFolder == canonicalSource ||
                                canonicalFolder.startsWith(canonicalSource + QLatin1Char('/')))) {
      errors_ << QCoreApplication::translate(
                     "vk::FolderCommands",
                     "Der Ordner %1 kann nicht in sich selbst eingefügt werden.")
                     .arg(Quoted(source));
      return;
    }
    if (Exists(target) && !info.isSymLink() &&
        QFileInfo(target).canonicalFilePath() == canonicalSource) {
      target = FreeCopyName(folder, name);  // pasted where it already is
    } else if (Exists(target)) {
      const QFileInfo existing(target);
      if (IsPlainFolder(info) && IsPlainFolder(existing)) {
        if (!Dialogs().Question(
                parent_, QCoreApplication::translate("vk::FolderCommands",
                                                     "Den Ordner %1 gibt es schon. Zusammenführen "
                                                     "und gleichnamige Dateien ersetzen?")
                             .arg(Quoted(target)))) {
          return;
        }
        if (!CopyInto(source, target)) Fail(source, folder);
        return;
      }
      if (!info.isDir() && !info.isSymLink() && existing.isFile() && !existing.isSymLink()) {
        if (!Dialogs().Question(parent_,
                                QCoreApplication::translate("vk::FolderCommands",
                                                            "Die Datei %1 gibt es schon. Ersetzen?")
                                    .arg(Quoted(target)))) {
          return;
        }
        if (!ReplaceFile(source, target)) Fail(source, folder);
        return;
      }
      errors_ << QCoreApplication::translate("vk::FolderCommands",
                                             "%1 gibt es schon und kann nicht ersetzt werden.")
                     .arg(Quoted(target));
      return;
    }
    if (!CopyNew(info, target)) Fail(source, folder);
  }

  const QStringList& Errors() const { return errors_; }

 private:
  // Copies an entry to a name that does not exist yet.
  bool CopyNew(const QFileInfo& info, const QString& target) {
    if (info.isSymLink()) return QFile::link(info.symLinkTarget(), target);
    if (info.isDir()) {
      if (!QDir().mkdir(target)) return false;
      return CopyInto(info.filePath(), target);
    }
    return QFile::copy(info.filePath(), target);
  }

  // Copies what folder `source` holds into the existing folder `target`; the user has agreed to
  // replace clashing files. Goes on after a failure and reports whether all went well.
  bool CopyInto(const QString& source, const QString& target) {
    bool ok = true;
    const QFileInfoList entries = QDir(source).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
      const QString to = ShellNamespace::Join(target, entry.fileName());
      if (!Exists(to)) {
        ok = CopyNew(entry, to) && ok;
        continue;
      }
      const QFileInfo existing(to);
      if (IsPlainFolder(entry) && IsPlainFolder(existing)) {
        ok = CopyInto(entry.filePath(), to) && ok;
      } else if (entry.isFile() && !entry.isSymLink() && existing.isFile() &&
                 !existing.isSymLink()) {
        ok = ReplaceFile(entry.filePath(), to) && ok;
      } else {
        ok = false;  // a file where a folder is, or a link: never removed to make room
      }
    }
    return ok;
  }

  static QString FreeCopyName(const QString& folder, const QString& name) {
    QString target = ShellNamespace::Join(
        folder, QCoreApplication::translate("vk::FolderCommands", "%1 (Kopie)").arg(name));
    for (int n = 2; Exists(target); ++n) {
      target = ShellNamespace::Join(
          folder, QCoreApplication::translate("vk::FolderCommands", "%1 (Kopie %2)")
                      .arg(name, QString::number(n)));
    }
    return target;
  }

  void Fail(const QString& source, const QString& folder) {
    errors_ << QCoreApplication::translate("vk::FolderCommands",
                                           "%1 konnte nicht nach %2 kopiert werden.")
                   .arg(Quoted(source), Quoted(folder));
  }

  QWidget* parent_;
  QStringList errors_;
};

// Makes sure the desktop's trash folder can be made where the desktop looks for it. Qt falls
// back to the process's current directory when it cannot make it there, and a folder "moved to
// the trash" would end up in a "files" folder wherever that is.
bool HomeTrashPossible() {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dataHome.isEmpty() || !QDir().mkpath(dataHome)) return false;
  const QFileInfo trash(ShellNamespace::Join(dataHome, QStringLiteral("Trash")));
  return !Exists(trash.filePath()) || trash.isDir();
}

}  // namespace

bool OpenFolder(const QString& path, QWidget* parent) {
  if (Launch().OpenUrl(QUrl::fromLocalFile(path))) return true;
  Dialogs().Error(parent, QCoreApplication::translate("vk::FolderCommands",
                                                      "Der Ordner %1 konnte nicht geöffnet werden.")
                              .arg(Quoted(path)));
  return false;
}

std::optional<QString> RenameFolder(const QString& path, const QString& newName) {
  if (newName.isEmpty() || newName == QLatin1String(".") || newName == QLatin1String("..") ||
      newName.contains(QLatin1Char('/')) || newName.contains(QChar(0))) {
    return std::nullopt;
  }
  const QFileInfo info(path);
  if (info.fileName() == newName) return path;
  const QString target = ShellNamespace::Join(info.path(), newName);
  if (Exists(target)) return std::nullopt;
  const QByteArray from = QFile::encodeName(path);
  const QByteArray to = QFile::encodeName(target);
  // rename(2) alone would silently replace an empty folder of the new name.
  if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
    return target;
  }
  if (errno != EINVAL && errno != ENOSYS) return std::nullopt;
  // A file system without the no-replace flag: the check above has to do.
  if (::rename(from.constData(), to.constData()) != 0) return std::nullopt;
  return target;
}

void CopyFolderToClipboard(const QString& path) {
  const QUrl url = QUrl::fromLocalFile(path);
  auto* data = new QMimeData;
  data->setUrls({url});
  data->setData(kGnomeCopied, "copy\n" + url.toEncoded());
  data->setText(path);
  QGuiApplication::clipboard()->setMimeData(data);
}

QStringList ClipboardFiles() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QStringList files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files << url.toLocalFile();
  }
  return files;
}

bool PasteClipboardInto(const QString& folder, QWidget* parent) {
  const QStringList files = ClipboardFiles();
  if (files.isEmpty()) return false;
  Paster paster(parent);
  for (const QString& file : files) paster.Paste(QDir::cleanPath(file), folder);
  if (!paster.Errors().isEmpty()) Dialogs().Error(parent, paster.Errors().join(QLatin1Char('\n')));
  return true;
}

bool MoveFolderToTrash(const QString& path, QWidget* parent) {
  if (!Dialogs().Question(
          parent, QCoreApplication::translate("vk::FolderCommands",
                                              "Den Ordner %1 in den Papierkorb verschieben?")
                      .arg(Quoted(path)))) {
    return false;
  }
  if (HomeTrashPossible() && QFile::moveToTrash(path)) return true;
  Dialogs().Error(parent, QCoreApplication::translate(
                              "vk::FolderCommands",
                              "Der Ordner %1 konnte nicht in den Papierkorb verschoben werden.")
                              .arg(Quoted(path)));
  return false;
}

QString CreateNewFolder(const QString& folder, QWidget* parent) {
  const QString base = QCoreApplication::translate("vk::FolderCommands", "Neuer Ordner");
  QString target = ShellNamespace::Join(folder, base);
  for (int n = 2; Exists(target); ++n) {
    target = ShellNamespace::Join(folder, QStringLiteral("%1 (%2)").arg(base, QString::number(n)));
  }
  if (QDir().mkdir(target)) return target;
  Dialogs().Error(parent, QCoreApplication::translate("vk::FolderCommands",
                                                      "Der Ordner %1 konnte nicht angelegt werden.")
                              .arg(Quoted(target)));
  return QString();
}

}  // namespace vk
