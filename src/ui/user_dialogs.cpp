#include "ui/user_dialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace vk {
namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
  QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

UserDialogs* installed = nullptr;

}  // namespace

void UserDialogs::Error(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Critical, QStringLiteral("Fehler"), text);
}

void UserDialogs::Information(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Information, QStringLiteral("Informationen"), text);
}

bool UserDialogs::Question(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Bestätigen"), text, QMessageBox::NoButton,
                  parent);
  QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
  box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.exec();
  return box.clickedButton() == yes;
}

void UserDialogs::Plain(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::NoIcon, QStringLiteral("Velkaro"), text);
}

UserDialogs& Dialogs() {
  static UserDialogs real;
  return installed ? *installed : real;
}

void SetDialogs(UserDialogs* dialogs) { installed = dialogs; }

}  // namespace vk
