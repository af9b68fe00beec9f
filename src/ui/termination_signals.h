// SIGTERM and SIGHUP (the desktop session ending at logout, the terminal closed) end the program
// as the window's close button does: the options and the placement are saved, and a run in
// progress finishes its files first. The handler only writes a byte into a pipe; the event loop
// reads it and closes the window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

class QSocketNotifier;

namespace vk {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // Catches both signals from now on; one that comes before a window is given waits for it.
  TerminationSignals();
  // Gives both signals their default handling back.
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Each caught signal closes the boxes that are open (nobody is there to answer them) and then
  // `window`, from the event loop.
  void CloseOnSignal(QWidget* window);

 private:
  void SignalArrived();

  std::unique_ptr<QSocketNotifier> notifier_;
  QPointer<QWidget> window_;
};

}  // namespace vk
