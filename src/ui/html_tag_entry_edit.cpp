#include "ui/html_tag_entry_edit.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>
#include <string>

#include "engine/cp1252.h"
#include "ui/dialog_keys.h"
#include "ui/user_dialogs.h"

namespace vk {

QString NotStorableMessage(const QString& character) {
  return THTMLTagEntryEdit::tr(
             "Das Zeichen „%1“ kann in der HTML-Code-Liste nicht gespeichert werden "
             "(nur Windows-1252).")
      .arg(character);
}

bool CheckStorable(QWidget* parent, const QString& text) {
  std::string bytes;
  std::string bad;
  if (Utf8ToCp1252(text.toStdString(), &bytes, &bad)) return true;
  Dialogs().Error(parent, NotStorableMessage(QString::fromStdString(bad)));
  return false;
}

THTMLTagEntryEdit::THTMLTagEntryEdit(QWidget* parent, const QString& action) : QDialog(parent) {
  setObjectName(QStringLiteral("THTMLTagEntryEdit"));
  setWindowTitle(tr("HTML Code %1").arg(action));

  auto* bevel = new QFrame(this);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameShape(QFrame::StyledPanel);
  bevel->setFrameShadow(QFrame::Sunken);

  auto* label1 = new QLabel(tr("Zu suchender HTML-Code (muss angegeben werden!)"));
  label1->setObjectName(QStringLiteral("Label1"));
  findEdit_ = new QLineEdit;
  findEdit_->setObjectName(QStringLiteral("FindEdit"));
  auto* label2 = new QLabel(tr("Zu ersetzender HTML-Code (oder leerer Eintrag)"));
  label2->setObjectName(QStringLiteral("Label2"));
  replaceEdit_ = new QLineEdit;
  replaceEdit_->setObjectName(QStringLiteral("ReplaceEdit"));
  for (QLineEdit* edit : {findEdit_, replaceEdit_}) {
    edit->setMaxLength(std::numeric_limits<int>::max());  // no limit of our own
    EnterMovesFocus(edit);
  }
  label1->setBuddy(findEdit_);
  label2->setBuddy(replaceEdit_);

  auto* fields = new QVBoxLayout(bevel);
  fields->setContentsMargins(16, 12, 16, 16);
  fields->setSpacing(4);
  fields->addWidget(label1);
  fields->addWidget(findEdit_);
  fields->addSpacing(8);
  fields->addWidget(label2);
  fields->addWidget(replaceEdit_);

  okBtn_ = DialogButton(tr("OK"), "OKBtn");
  cancelBtn_ = DialogButton(tr("Abbrechen"), "CancelBtn");
  connect(okBtn_, &QPushButton::clicked, this, &THTMLTagEntryEdit::accept);
  connect(cancelBtn_, &QPushButton::clicked, this, &THTMLTagEntryEdit::reject);
  connect(findEdit_, &QLineEdit::textChanged, this, &THTMLTagEntryEdit::FindEditChange);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okBtn_);
  buttons->addWidget(cancelBtn_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(bevel);
  layout->addLayout(buttons);

  setTabOrder(findEdit_, replaceEdit_);
  setTabOrder(replaceEdit_, okBtn_);
  setTabOrder(okBtn_, cancelBtn_);
  findEdit_->setFocus();

  const QSize hint = sizeHint();
  setFixedSize(std::max(522, hint.width()), std::max(170, hint.height()));
  FindEditChange();
}

void THTMLTagEntryEdit::FindEditChange() { okBtn_->setEnabled(!findEdit_->text().isEmpty()); }

void THTMLTagEntryEdit::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FindEditChange();
}

void THTMLTagEntryEdit::accept() {
  if (findEdit_->text().isEmpty()) return;
  for (QLineEdit* edit : {findEdit_, replaceEdit_}) {
    if (!CheckStorable(this, edit->text())) {
      edit->setFocus();
      return;
    }
  }
  QDialog::accept();
}

}  // namespace vk
