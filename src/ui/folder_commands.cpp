#include "ui/folder_commands.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/encoding.h"
#include "selection/file_names.h"
#include "selection/shell_namespace.h"
#include "ui/launcher.h"
#include "ui/user_dialogs.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

const QString kGnomeCopied = QStringLiteral("x-special/gnome-copied-files");

// std::filesystem keeps a path's bytes as they are on POSIX systems.
fs::path PathOf(const QByteArray& bytes) { return fs::path(bytes.toStdString()); }
QByteArray BytesOf(const fs::path& path) { return Bytes(path.native()); }

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found &&
         !error;  // a dangling link still takes the name
}

bool IsLink(const fs::path& path) {
  std::error_code error;
  return fs::is_symlink(fs::symlink_status(path, error));
}

// A real folder, not a link to one: links are copied as links, so a walk never loops.
bool IsPlainFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(fs::symlink_status(path, error));
}

bool IsPlainFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(fs::symlink_status(path, error));
}

// The path with every link resolved; empty when it does not exist.
fs::path Canonical(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::canonical(path, error);
  return error ? fs::path() : canonical;
}

QString Quoted(const QByteArray& path) {
  return QLatin1Char('"') + NameText(path) + QLatin1Char('"');
}
QString Quoted(const fs::path& path) { return Quoted(BytesOf(path)); }

QString Translated(const char* text) {
  return QCoreApplication::translate("vk::FolderCommands", text);
}

// Writes `source`'s bytes over `target` through a temporary file beside it that takes the
// target's permissions: until the final rename the old file stays whole, and a failed copy
// leaves it as it was.
bool ReplaceFile(const fs::path& source, const fs::path& target) {
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::string temporary = target.native() + ".velkaro-XXXXXX";
  const int out = mkostemp(temporary.data(), O_CLOEXEC);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  struct stat targetInfo {};
  if (stat(target.c_str(), &targetInfo) == 0) ok = fchmod(out, targetInfo.st_mode & 07777) == 0;
  char buffer[64 * 1024];
  while (ok) {
    const ssize_t count = read(in, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      ok = count == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < count;) {
      const ssize_t written = write(out, buffer + done, static_cast<size_t>(count - done));
      if (written < 0 && errno == EINTR) continue;
      ok = written > 0;
      done += written > 0 ? written : 0;
    }
  }
  ok = ok && fsync(out) == 0;
  ok = close(out) == 0 && ok;
  close(in);
  if (ok && rename(temporary.c_str(), target.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

class Paster {
 public:
  explicit Paster(QWidget* parent) : parent_(parent) {}

  void Paste(const fs::path& source, const fs::path& folder) {
    if (!Exists(source)) {
      Fail(source, folder);
      return;
    }
    const fs::path name = source.filename();
    fs::path target = folder / name;
    const fs::path canonicalSource = Canonical(source);
    const fs::path canonicalFolder = Canonical(folder);
    if (IsPlainFolder(source) && IsWithin(canonicalFolder, canonicalSource)) {
      errors_ << Translated("Der Ordner %1 kann nicht in sich selbst eingefügt werden.")
                     .arg(Quoted(source));
      return;
    }
    if (Exists(target) && !IsLink(source) && Canonical(target) == canonicalSource) {
      target = FreeCopyName(folder, name);  // pasted where it already is
    } else if (Exists(target)) {
      if (IsPlainFolder(source) && IsPlainFolder(target)) {
        if (!Dialogs().Question(parent_, Translated("Den Ordner %1 gibt es schon. Zusammenführen "
                                                    "und gleichnamige Dateien ersetzen?")
                                             .arg(Quoted(target)))) {
          return;
        }
        if (!CopyInto(source, target)) Fail(source, folder);
        return;
      }
      if (IsPlainFile(source) && IsPlainFile(target)) {
        if (!Dialogs().Question(
                parent_, Translated("Die Datei %1 gibt es schon. Ersetzen?").arg(Quoted(target)))) {
          return;
        }
        if (!ReplaceFile(source, target)) Fail(source, folder);
        return;
      }
      errors_ << Translated("%1 gibt es schon und kann nicht ersetzt werden.").arg(Quoted(target));
      return;
    }
    if (!CopyNew(source, target)) Fail(source, folder);
  }

  const QStringList& Errors() const { return errors_; }

 private:
  static bool IsWithin(const fs::path& path, const fs::path& folder) {
    if (path.empty() || folder.empty()) return false;
    const std::string& p = path.native();
    const std::string& f = folder.native();
    return p == f || (p.starts_with(f) && (f.ends_with('/') || p[f.size()] == '/'));
  }

  // Copies an entry to a name that does not exist yet.
  bool CopyNew(const fs::path& source, const fs::path& target) {
    std::error_code error;
    if (IsLink(source)) {
      fs::copy_symlink(source, target, error);
      return !error;
    }
    if (fs::is_directory(source, error)) {
      if (!fs::create_directory(target, error) || error) return false;
      return CopyInto(source, target);
    }
    return fs::copy_file(source, target, fs::copy_options::none, error) && !error;
  }

  // Copies what folder `source` holds into the existing folder `target`; the user has agreed to
  // replace clashing files. Goes on after a failure and reports whether all went well.
  bool CopyInto(const fs::path& source, const fs::path& target) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error)) {
      entries.push_back(it->path());
    }
    if (error) return false;
    std::sort(entries.begin(), entries.end());
    bool ok = true;
    for (const fs::path& entry : entries) {
      const fs::path to = target / entry.filename();
      if (!Exists(to)) {
        ok = CopyNew(entry, to) && ok;
      } else if (IsPlainFolder(entry) && IsPlainFolder(to)) {
        ok = CopyInto(entry, to) && ok;
      } else if (IsPlainFile(entry) && IsPlainFile(to)) {
        ok = ReplaceFile(entry, to) && ok;
      } else {
        ok = false;  // a file where a folder is, or a link: never removed to make room
      }
    }
    return ok;
  }

  // "<name> (Kopie)", "<name> (Kopie 2)", ...: the name's own bytes and the UTF-8 of the rest.
  static fs::path FreeCopyName(const fs::path& folder, const fs::path& name) {
    const QByteArray bytes = BytesOf(name);
    fs::path target = folder / PathOf(Translated("%1 (Kopie)").toUtf8().replace("%1", bytes));
    for (int n = 2; Exists(target); ++n) {
      const QByteArray pattern =
          Translated("%1 (Kopie %2)").toUtf8().replace("%2", QByteArray::number(n));
      target = folder / PathOf(QByteArray(pattern).replace("%1", bytes));
    }
    return target;
  }

  void Fail(const fs::path& source, const fs::path& folder) {
    errors_ << Translated("%1 konnte nicht nach %2 kopiert werden.")
                   .arg(Quoted(source), Quoted(folder));
  }

  QWidget* parent_;
  QStringList errors_;
};

// The desktop's trash folder in the user's data folder (created when missing); empty when it
// cannot be made there. Qt falls back to the process's current directory when it cannot make
// it, and a folder "moved to the trash" would end up in a "files" folder wherever that is.
QByteArray HomeTrash() {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dataHome.isEmpty() || !QDir().mkpath(dataHome)) return {};
  const QByteArray trash = ShellNamespace::Join(QFile::encodeName(dataHome), "Trash");
  struct stat info {};
  if (lstat(trash.constData(), &info) == 0 && !S_ISDIR(info.st_mode)) return {};
  return trash;
}

// The freedesktop.org trash (Trash/files and Trash/info) for a path whose bytes are not UTF-8 (Qt's
// trash takes text and would record another name): an info file that holds the path's bytes
// percent-encoded, made first and exclusively, then the folder renamed into "files". Only the
// trash in the user's data folder; a folder on another file system is not moved.
bool MoveToHomeTrash(const QByteArray& path, const QByteArray& trash) {
  const QByteArray files = trash + "/files";
  const QByteArray info = trash + "/info";
  for (const QByteArray& folder : {trash, files, info}) {
    if (mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) return false;
  }
  const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
  const QByteArray record =
      "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=" +
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() +
      "\n";
  for (int n = 1; n < 10000; ++n) {
    const QByteArray trashed = n == 1 ? name : name + '.' + QByteArray::number(n);
    const QByteArray infoFile = info + '/' + trashed + ".trashinfo";
    const int fd = open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool written = write(fd, record.constData(), static_cast<size_t>(record.size())) ==
                         static_cast<ssize_t>(record.size());
    if (close(fd) != 0 || !written) {
      unlink(infoFile.constData());
      return false;
    }
    const QByteArray target = files + '/' + trashed;
    struct stat taken {};
    if (lstat(target.constData(), &taken) == 0) {
      unlink(infoFile.constData());  // the name is taken in "files": the next one
      continue;
    }
    if (rename(path.constData(), target.constData()) == 0) return true;
    unlink(infoFile.constData());
    return false;
  }
  return false;
}

}  // namespace

bool OpenFolder(const QByteArray& path, QWidget* parent) {
  if (Launch().OpenUrl(FileUrl(StdBytes(path)))) return true;
  Dialogs().Error(parent,
                  Translated("Der Ordner %1 konnte nicht geöffnet werden.").arg(Quoted(path)));
  return false;
}

std::optional<QByteArray> RenameFolder(const QByteArray& path, const QByteArray& newName) {
  if (newName.isEmpty() || newName == "." || newName == ".." || newName.contains('/') ||
      newName.contains('\0')) {
    return std::nullopt;
  }
  const qsizetype slash = path.lastIndexOf('/');
  if (path.mid(slash + 1) == newName) return path;
  const QByteArray target =
      ShellNamespace::Join(slash <= 0 ? QByteArray("/") : path.left(slash), newName);
  if (Exists(PathOf(target))) return std::nullopt;
  // rename(2) alone would silently replace an empty folder of the new name.
  if (renameat2(AT_FDCWD, path.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
    return target;
  }
  if (errno != EINVAL && errno != ENOSYS) return std::nullopt;
  // A file system without the no-replace flag: the check above has to do.
  if (::rename(path.constData(), target.constData()) != 0) return std::nullopt;
  return target;
}

void CopyFolderToClipboard(const QByteArray& path) {
  const QUrl url = FileUrl(StdBytes(path));
  auto* data = new QMimeData;
  data->setUrls({url});
  data->setData(kGnomeCopied, "copy\n" + url.toEncoded());
  data->setText(NameText(path));
  QGuiApplication::clipboard()->setMimeData(data);
}

QList<QByteArray> ClipboardFiles() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QList<QByteArray> files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    const std::string path = LocalPathOf(url);
    if (!path.empty()) files << Bytes(path);
  }
  return files;
}

bool PasteClipboardInto(const QByteArray& folder, QWidget* parent) {
  const QList<QByteArray> files = ClipboardFiles();
  if (files.isEmpty()) return false;
  Paster paster(parent);
  for (const QByteArray& file : files) {
    paster.Paste(PathOf(Bytes(CleanPath(StdBytes(file)))), PathOf(folder));
  }
  if (!paster.Errors().isEmpty()) Dialogs().Error(parent, paster.Errors().join(QLatin1Char('\n')));
  return true;
}

bool MoveFolderToTrash(const QByteArray& path, QWidget* parent) {
  if (!Dialogs().Question(
          parent, Translated("Den Ordner %1 in den Papierkorb verschieben?").arg(Quoted(path)))) {
    return false;
  }
  const QByteArray trash = HomeTrash();
  if (!trash.isEmpty()) {
    // Qt's trash also knows the trash folders of other file systems, but takes the path as
    // text; a path that is not UTF-8 goes to the home trash by its bytes.
    if (IsWellFormedUtf8(StdBytes(path)) ? QFile::moveToTrash(QFile::decodeName(path))
                                         : MoveToHomeTrash(path, trash)) {
      return true;
    }
  }
  Dialogs().Error(parent, Translated("Der Ordner %1 konnte nicht in den Papierkorb verschoben "
                                     "werden.")
                              .arg(Quoted(path)));
  return false;
}

QByteArray CreateNewFolder(const QByteArray& folder, QWidget* parent) {
  const QByteArray base = Translated("Neuer Ordner").toUtf8();
  QByteArray target = ShellNamespace::Join(folder, base);
  for (int n = 2; Exists(PathOf(target)); ++n) {
    target = ShellNamespace::Join(folder, base + " (" + QByteArray::number(n) + ')');
  }
  if (mkdir(target.constData(), 0777) == 0) return target;
  Dialogs().Error(parent,
                  Translated("Der Ordner %1 konnte nicht angelegt werden.").arg(Quoted(target)));
  return {};
}

}  // namespace vk
