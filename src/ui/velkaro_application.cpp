#include "ui/velkaro_application.h"

#include <QLocale>
#include <exception>

#include "engine/my_tools.h"
#include "ui/icons.h"
#include "ui/user_dialogs.h"

namespace vk {

VelkaroApplication::VelkaroApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Velkaro"));
  setApplicationDisplayName(QStringLiteral("Velkaro"));
  setApplicationVersion(QStringLiteral(VELKARO_VERSION));
  setWindowIcon(AppIcon());
}

bool VelkaroApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    Dialogs().Error(activeWindow(), QString::fromStdString(error.what()));
  } catch (...) {
    Dialogs().Error(activeWindow(), QStringLiteral("Unbekannter Fehler"));
  }
  return true;
}

void ApplyRegionalSettings() {
  MyTools().SetThousandsSeparator(QLocale::system().groupSeparator().toStdString());
}

}  // namespace vk
