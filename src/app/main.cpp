// Velkaro's desktop program: the application object and the main window.
#include <QByteArray>
#include <csignal>

#include "batch/regional_settings.h"
#include "ui/termination_signals.h"
#include "ui/velkaro_application.h"
#include "ui/vk_main.h"

int main(int argc, char** argv) {
  // A write past the process's file size limit fails with EFBIG and is reported like any
  // failed write, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  vk::VelkaroApplication app(argc, argv);
  // Caught before the window is made, so that a logout during start-up also saves.
  vk::TerminationSignals termination;
  vk::ApplyRegionalSettings();
  vk::TVKMainSetup setup;
  // argv as the application object left it (its own options taken out): the bytes of each
  // argument, since a file name need not be UTF-8.
  for (int i = 1; i < argc; ++i) setup.arguments << QByteArray(argv[i]);
  vk::TVKMain window(setup);
  termination.CloseOnSignal(&window);
  window.show();
  return app.exec();
}
