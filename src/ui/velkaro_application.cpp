#include "ui/velkaro_application.h"

#include <exception>

#include "ui/icons.h"
#include "ui/user_dialogs.h"

namespace vk {

VelkaroApplication::VelkaroApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Velkaro"));
  // No display name: the X11 and Wayland platform windows append a set display name to every
  // window title ("Fehler — Velkaro"), and the boxes are titled exactly "Fehler",
  // "Informationen", "Bestätigen" and "Warnung". The main window is titled "Velkaro" itself.
  setApplicationVersion(QStringLiteral(VELKARO_VERSION));
  setWindowIcon(AppIcon());
}

bool VelkaroApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    Dialogs().Error(activeWindow(), QString::fromStdString(error.what()));
  } catch (...) {
    Dialogs().Error(activeWindow(), tr("Unbekannter Fehler"));
  }
  return true;
}

}  // namespace vk
