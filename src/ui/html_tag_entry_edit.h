// THTMLTagEntryEdit: the small dialog that takes one find/replace pair of the HTML code list.
// "OK" is enabled exactly while the find field holds text; Enter in a field moves to the next
// control; a character Windows-1252 cannot hold is refused with a message, so that the list
// never stores something other than what was typed.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vk {

// "Das Zeichen „c“ kann in der HTML-Code-Liste nicht gespeichert werden (nur Windows-1252)."
QString NotStorableMessage(const QString& character);

// True when every character of `text` has a Windows-1252 byte; otherwise shows
// NotStorableMessage for the first one that has none (error box, `parent`) and returns false.
bool CheckStorable(QWidget* parent, const QString& text);

class THTMLTagEntryEdit : public QDialog {
  Q_OBJECT

 public:
  // `action` fills the caption pattern "HTML Code %s": "hinzufügen" or "ändern".
  THTMLTagEntryEdit(QWidget* parent, const QString& action);

  QLineEdit* FindEdit() const { return findEdit_; }
  QLineEdit* ReplaceEdit() const { return replaceEdit_; }
  QPushButton* OKBtn() const { return okBtn_; }
  QPushButton* CancelBtn() const { return cancelBtn_; }

  // Closes with OK only when both fields can be stored.
  void accept() override;

 public slots:
  // "OK" enabled exactly when the find field is not empty.
  void FindEditChange();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* findEdit_;
  QLineEdit* replaceEdit_;
  QPushButton* okBtn_;
  QPushButton* cancelBtn_;
};

}  // namespace vk
