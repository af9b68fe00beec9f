// Scoped helpers for long work on the user-interface thread: the hourglass pointer and the
// update bracket of a widget (no repainting until the bracket closes). Both undo themselves on
// every way out, exceptions included.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace vk {

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

class UpdateBracket {
 public:
  explicit UpdateBracket(QWidget* widget) : widget_(widget), wasEnabled_(widget->updatesEnabled()) {
    widget->setUpdatesEnabled(false);
  }
  ~UpdateBracket() {
    if (widget_ && wasEnabled_) widget_->setUpdatesEnabled(true);
  }
  UpdateBracket(const UpdateBracket&) = delete;
  UpdateBracket& operator=(const UpdateBracket&) = delete;

 private:
  QPointer<QWidget> widget_;
  bool wasEnabled_;
};

}  // namespace vk
