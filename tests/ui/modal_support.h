// Answering modal dialogs in widget tests: the action runs inside the dialog's own event loop,
// as soon as the dialog is shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace vk::test {

// Runs `action` on the modal dialog of type T as soon as it is shown. When a different window
// (or none) is modal at that moment, the test fails and that window is closed, so a test never
// waits on a dialog nobody answers.
template <typename T>
void WhenModal(std::function<void(T*)> action) {
  QTimer::singleShot(0, [action] {
    QWidget* modal = QApplication::activeModalWidget();
    T* dialog = qobject_cast<T*>(modal);
    if (!dialog) {
      ADD_FAILURE() << "expected a modal " << T::staticMetaObject.className() << ", found "
                    << (modal ? modal->metaObject()->className() : "none");
      if (auto* other = qobject_cast<QDialog*>(modal)) other->reject();
      return;
    }
    action(dialog);
  });
}

}  // namespace vk::test
