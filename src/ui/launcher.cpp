#include "ui/launcher.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <cerrno>
#include <vector>

namespace vk {
namespace {

Launcher* installed = nullptr;

// The desktop ids listed for text/plain under [Default Applications] of one mimeapps.list.
QStringList DefaultsIn(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream stream(&in);
  bool inDefaults = false;
  while (!stream.atEnd()) {
    const QString line = stream.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inDefaults = line == QLatin1String("[Default Applications]");
    } else if (inDefaults && line.startsWith(QLatin1String("text/plain="))) {
      return line.mid(11).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
  }
  return {};
}

// The program of a desktop entry's Exec line (its first word, quotes removed).
QString ProgramOf(const QString& desktopFile) {
  QFile in(desktopFile);
  if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream stream(&in);
  bool inEntry = false;
  while (!stream.atEnd()) {
    const QString line = stream.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line == QLatin1String("[Desktop Entry]");
    } else if (inEntry && line.startsWith(QLatin1String("Exec="))) {
      const QString exec = line.mid(5).trimmed();
      if (exec.startsWith(QLatin1Char('"'))) return exec.mid(1).section(QLatin1Char('"'), 0, 0);
      return exec.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    }
  }
  return {};
}

QString Executable(const QString& program) {
  if (program.isEmpty()) return {};
  if (program.contains(QLatin1Char('/'))) {
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
  }
  return QStandardPaths::findExecutable(program);
}

QString DefaultTextApplication() {
  QStringList lists;
  for (const QString& folder :
       QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
    lists << folder + QStringLiteral("/mimeapps.list");
  }
  for (const QString& folder :
       QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
    lists << folder + QStringLiteral("/mimeapps.list");
  }
  for (const QString& list : lists) {
    for (const QString& id : DefaultsIn(list)) {
      const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
      if (entry.isEmpty()) continue;
      const QString program = Executable(ProgramOf(entry));
      if (!program.isEmpty()) return program;
    }
  }
  return {};
}

}  // namespace

bool Launcher::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool Launcher::StartDetached(const QString& program, const QList<QByteArray>& arguments) {
  // QProcess takes its arguments as text and would turn a Windows-1252 name into other bytes:
  // the program is started here from bytes, detached as QProcess does it (a child that forks
  // the program and ends at once, so nothing is left to reap), with a pipe that tells whether
  // the program could be started.
  const QByteArray file = QFile::encodeName(program);
  std::vector<QByteArray> kept{file};
  for (const QByteArray& argument : arguments) kept.push_back(argument);
  std::vector<char*> argv;
  for (QByteArray& each : kept) argv.push_back(each.data());
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      execvp(argv[0], argv.data());
      const int error = errno;
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got = 0;
  while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

Launcher& Launch() {
  static Launcher real;
  return installed ? *installed : real;
}

void SetLauncher(Launcher* launcher) { installed = launcher; }

QString FindTextEditor() {
  const QString preferred = DefaultTextApplication();
  if (!preferred.isEmpty()) return preferred;
  static const char* const kEditors[] = {
      "gedit", "kate", "mousepad", "xed", "pluma", "gnome-text-editor", "featherpad"};
  for (const char* editor : kEditors) {
    const QString found = QStandardPaths::findExecutable(QLatin1String(editor));
    if (!found.isEmpty()) return found;
  }
  return {};
}

}  // namespace vk
