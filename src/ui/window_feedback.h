// How the engine, the folder scan and the batch run reach the user while the window is up:
// errors in message boxes, status texts in the first panel of the status bar, and pending
// window events handled at their yield points, at most about every 20 ms so that frequent
// yields cost nothing.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "engine/feedback.h"

namespace vk {

class WindowFeedback : public Feedback {
 public:
  using StatusFunction = std::function<void(const QString&)>;
  WindowFeedback(QWidget* window, StatusFunction status);

  void Error(const std::string& text) override;
  void Yield() override;
  void Status(const std::string& text) override;

  // The next Yield hands control to the event loop whatever the clock says.
  void ResetYieldClock() { clock_.invalidate(); }

 private:
  QPointer<QWidget> window_;
  StatusFunction status_;
  QElapsedTimer clock_;
};

}  // namespace vk
