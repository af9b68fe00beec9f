// The application object: named "Velkaro", and the program's general error display. An
// exception that escapes an event handler is shown in an error box with its text; the event
// counts as handled and the window stays usable.
#pragma once

#include <QApplication>

namespace vk {

class VelkaroApplication : public QApplication {
  Q_OBJECT

 public:
  VelkaroApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace vk
