// THTMLTagDlg: the HTML code list editor. Shows the find/replace pairs in the list LV, kept
// sorted by the find text in the user's locale collation, with "(leer)" for an empty
// replacement, and lets the user add, change (also by double-click) and delete pairs and edit a
// find text in place. The rows are what the caller reads back on OK; the dialog itself neither
// loads nor stores the list.
#pragma once

#include <QCollator>
#include <QDialog>
#include <QString>
#include <utility>
#include <vector>

class QToolButton;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vk {

// The second column's text for an empty replacement.
inline const QString kEmptyReplacement = QStringLiteral("(leer)");

class THTMLTagDlg : public QDialog {
  Q_OBJECT

 public:
  explicit THTMLTagDlg(QWidget* parent = nullptr);

  // Adds a row (an empty `replace` shows as "(leer)") at its sorted place; the selection stays.
  void AddRow(const QString& find, const QString& replace);
  // The pairs top to bottom; a second column reading exactly "(leer)" gives an empty entry.
  std::vector<std::pair<QString, QString>> Rows() const;

  QTreeWidget* LV() const { return lv_; }
  QToolButton* AddBtn() const { return addBtn_; }
  QToolButton* EditBtn() const { return editBtn_; }
  QToolButton* DeleteBtn() const { return deleteBtn_; }
  QPushButton* OKBtn() const { return okBtn_; }
  QPushButton* CancelBtn() const { return cancelBtn_; }

 public slots:
  // "Ändern" and "Löschen" enabled exactly when a row is selected.
  void UpdateButtonStates();
  void AddBtnClick();
  void EditBtnClick();
  void DeleteBtnClick();
  void LVDblClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeWidgetItem* SelectedRow() const;
  void SetRowTexts(QTreeWidgetItem* item, const QString& find, const QString& replace);
  void Sort();
  // A find text edited in place: refused (and put back) when it cannot be stored, else sorted.
  void LVEdited(QTreeWidgetItem* item, int column);

  QCollator collator_;
  QTreeWidget* lv_;
  QToolButton* addBtn_;
  QToolButton* editBtn_;
  QToolButton* deleteBtn_;
  QPushButton* okBtn_;
  QPushButton* cancelBtn_;
  bool settingTexts_ = false;
};

}  // namespace vk
