#include "ui/user_dialogs.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace vk {
namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
  QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
  box.addButton(QCoreApplication::translate("vk::UserDialogs", "OK"), QMessageBox::AcceptRole);
  box.exec();
}

UserDialogs* installed = nullptr;

}  // namespace

void UserDialogs::Error(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Critical, QCoreApplication::translate("vk::UserDialogs", "Fehler"),
          text);
}

void UserDialogs::Information(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Information,
          QCoreApplication::translate("vk::UserDialogs", "Informationen"), text);
}

bool UserDialogs::Question(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question,
                  QCoreApplication::translate("vk::UserDialogs", "Bestätigen"), text,
                  QMessageBox::NoButton, parent);
  QPushButton* yes =
      box.addButton(QCoreApplication::translate("vk::UserDialogs", "&Ja"), QMessageBox::YesRole);
  box.addButton(QCoreApplication::translate("vk::UserDialogs", "&Nein"), QMessageBox::NoRole);
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
