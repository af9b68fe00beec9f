#include "ui/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>

namespace vk {
namespace {

// The pipe between the handler and the event loop; one per process.
int signalPipe[2] = {-1, -1};

extern "C" void WriteSignalByte(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  (void)!write(signalPipe[1], &byte, 1);  // a full pipe already holds a pending signal
  errno = saved;
}

void SetHandler(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals() {
  if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  SetHandler(WriteSignalByte);
}

TerminationSignals::~TerminationSignals() { SetHandler(SIG_DFL); }

void TerminationSignals::CloseOnSignal(QWidget* window) {
  window_ = window;
  if (signalPipe[0] < 0 || notifier_) return;
  notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::SignalArrived);
}

void TerminationSignals::SignalArrived() {
  char bytes[64];
  while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
  }
  // A box waits for an answer in its own loop; closing it lets the window's close go on.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget != window_ && widget->isVisible() && widget->isModal()) widget->close();
  }
  if (window_ != nullptr) window_->close();
}

}  // namespace vk
