// Handing files and addresses to other programs: the desktop's default application and plain
// program starts. Everything goes through one seam so that tests record what would be started.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace vk {

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Opens a document or web address with the desktop's default application ("open");
  // false when no application could be started.
  virtual bool OpenUrl(const QUrl& url);
  // Starts `program` with `arguments` as they are (bytes: a file name need not be UTF-8), never
  // through a shell, and does not wait. False when it could not be started.
  virtual bool StartDetached(const QString& program, const QList<QByteArray>& arguments);
};

// The launcher in use: the real one unless a test installed its own.
Launcher& Launch();
// Installs `launcher` (not owned; nullptr restores the real one).
void SetLauncher(Launcher* launcher);

// The plain-text editor to start for a file: the desktop's default application for
// text/plain (from the mimeapps.list files), else the first of the usual graphical editors
// found in PATH. Empty when there is none.
QString FindTextEditor();

}  // namespace vk
