#include "ui/window_feedback.h"

#include <QCoreApplication>

#include "ui/user_dialogs.h"

namespace vk {
namespace {

constexpr qint64 kYieldMilliseconds = 20;

}  // namespace

WindowFeedback::WindowFeedback(QWidget* window, StatusFunction status)
    : window_(window), status_(std::move(status)) {}

void WindowFeedback::Error(const std::string& text) {
  Dialogs().Error(window_, QString::fromStdString(text));
}

void WindowFeedback::Yield() {
  if (clock_.isValid() && clock_.elapsed() < kYieldMilliseconds) return;
  QCoreApplication::processEvents();
  clock_.start();
}

void WindowFeedback::Status(const std::string& text) {
  if (status_) status_(QString::fromStdString(text));
}

}  // namespace vk
