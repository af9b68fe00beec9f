// Message boxes and questions go through this seam, so that widget tests answer them instead of
// blocking on a modal box. The program installs nothing and gets real message boxes.
#pragma once

#include <QString>

class QWidget;

namespace vk {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // "Fehler", error icon, OK.
  virtual void Error(QWidget* parent, const QString& text);
  // "Informationen", information icon, OK.
  virtual void Information(QWidget* parent, const QString& text);
  // "Bestätigen", question icon, "&Ja" / "&Nein"; true for Ja.
  virtual bool Question(QWidget* parent, const QString& text);
  // A plain box without icon, OK (title: the application name).
  virtual void Plain(QWidget* parent, const QString& text);
};

// The dialogs in use: the real ones unless a test installed its own.
UserDialogs& Dialogs();
// Installs `dialogs` (not owned; nullptr restores the real ones).
void SetDialogs(UserDialogs* dialogs);

}  // namespace vk
