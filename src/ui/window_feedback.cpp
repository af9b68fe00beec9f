#include "ui/window_feedback.h"

#include <QCoreApplication>

#include "selection/file_names.h"
#include "ui/user_dialogs.h"

namespace vk {
namespace {

constexpr qint64 kYieldMilliseconds = 20;

}  // namespace

WindowFeedback::WindowFeedback(QWidget* window, StatusFunction status)
    : window_(window), status_(std::move(status)) {}

void WindowFeedback::Error(const std::string& text) {
  // A message may name a file whose name is not UTF-8: its bytes show as Windows-1252.
  Dialogs().Error(window_, MixedText(text));
}

void WindowFeedback::Yield() {
  if (clock_.isValid() && clock_.elapsed() < kYieldMilliseconds) return;
  QCoreApplication::processEvents();
  clock_.start();
}

void WindowFeedback::Status(const std::string& text) {
  if (status_) status_(MixedText(text));
}

}  // namespace vk
