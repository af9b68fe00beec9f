// Keyboard rules shared by the list editor's dialogs, which have no default button: Enter on a
// focused push button presses it (Qt itself presses only a default button on Enter), and Enter
// in an edit field moves the focus on as Tab does.
#pragma once

class QAbstractButton;
class QPushButton;
class QString;
class QWidget;

namespace vk {

// Makes Enter (Return or the keypad's Enter) on the focused `button` press it.
void PressOnEnter(QAbstractButton* button);

// A push button of the dialogs' button row ("OK", "Abbrechen"): named `objectName`, never a
// default button, at least 81 pixels wide, pressed by Enter when focused.
QPushButton* DialogButton(const QString& text, const char* objectName);

// Makes Enter in `field` move the focus to the next control in its window's tab order; the key
// is swallowed. Other keys reach the field as usual.
void EnterMovesFocus(QWidget* field);

}  // namespace vk
