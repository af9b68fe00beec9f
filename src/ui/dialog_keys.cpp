#include "ui/dialog_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace vk {
namespace {

bool IsEnter(QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

class PressFilter : public QObject {
 public:
  explicit PressFilter(QAbstractButton* button) : QObject(button), button_(button) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == button_ && IsEnter(event)) {
      if (button_->isEnabled()) button_->click();
      return true;
    }
    return false;
  }

 private:
  QAbstractButton* button_;
};

class FocusFilter : public QObject {
 public:
  explicit FocusFilter(QWidget* field) : QObject(field), field_(field) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == field_ && IsEnter(event)) {
      // The next enabled control that takes the keyboard focus by Tab.
      QWidget* next = field_->nextInFocusChain();
      while (next != field_ &&
             (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled() ||
              !next->isVisibleTo(field_->window()) || next->window() != field_->window())) {
        next = next->nextInFocusChain();
      }
      next->setFocus(Qt::TabFocusReason);
      return true;
    }
    return false;
  }

 private:
  QWidget* field_;
};

}  // namespace

void PressOnEnter(QAbstractButton* button) { button->installEventFilter(new PressFilter(button)); }

void EnterMovesFocus(QWidget* field) { field->installEventFilter(new FocusFilter(field)); }

QPushButton* DialogButton(const QString& text, const char* objectName) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromLatin1(objectName));
  // No default button: Enter presses the focused button only.
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setMinimumWidth(81);
  PressOnEnter(button);
  return button;
}

}  // namespace vk
