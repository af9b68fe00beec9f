#include "ui/html_tag_dlg.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_keys.h"
#include "ui/html_tag_entry_edit.h"

namespace vk {
namespace {

constexpr int kPreviousFindRole = Qt::UserRole;

// Rows compare by the find text in the user's locale collation, as the list shows them.
class CodeItem : public QTreeWidgetItem {
 public:
  explicit CodeItem(const QCollator* collator)
      : QTreeWidgetItem(QTreeWidgetItem::UserType), collator_(collator) {}
  bool operator<(const QTreeWidgetItem& other) const override {
    return collator_->compare(text(0), other.text(0)) < 0;
  }

 private:
  const QCollator* collator_;
};

// Only the find text is edited in place.
class NoEditorDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override {
    return nullptr;
  }
};

enum class Picture { kAdd, kEdit, kDelete };

// Our own 16 x 16 pictures, for desktops whose icon theme lacks the named ones; the disabled
// variant is greyed by QIcon.
QIcon DrawnIcon(Picture picture) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (picture) {
    case Picture::kAdd:
      p.setPen(QPen(QColor(0x2e, 0x8b, 0x2e), 3, Qt::SolidLine, Qt::FlatCap));
      p.drawLine(QPointF(8, 2), QPointF(8, 14));
      p.drawLine(QPointF(2, 8), QPointF(14, 8));
      break;
    case Picture::kEdit:
      p.setPen(QPen(QColor(0xc0, 0x80, 0x20), 3, Qt::SolidLine, Qt::FlatCap));
      p.drawLine(QPointF(4, 12), QPointF(13, 3));
      p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
      p.drawLine(QPointF(2, 14), QPointF(5, 13));
      p.drawLine(QPointF(2, 14), QPointF(3, 11));
      break;
    case Picture::kDelete:
      p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3, 3), QPointF(13, 13));
      p.drawLine(QPointF(13, 3), QPointF(3, 13));
      break;
  }
  return QIcon(pixmap);
}

QToolButton* MakePictureButton(const char* name, const QString& caption, const QString& tooltip,
                               const QString& themeIcon, Picture picture) {
  auto* button = new QToolButton;
  button->setObjectName(QLatin1String(name));
  button->setText(caption);
  button->setToolTip(tooltip);
  button->setIcon(QIcon::fromTheme(themeIcon, DrawnIcon(picture)));
  button->setIconSize(QSize(16, 16));
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button->setAutoRaise(true);           // flat
  button->setFocusPolicy(Qt::NoFocus);  // never takes the focus
  button->setMinimumSize(97, 25);
  return button;
}

}  // namespace

THTMLTagDlg::THTMLTagDlg(QWidget* parent) : QDialog(parent), collator_(QLocale()) {
  setObjectName(QStringLiteral("THTMLTagDlg"));
  setWindowTitle(tr("HTML-Code-Liste bearbeiten"));

  auto* bevel = new QFrame(this);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameShape(QFrame::StyledPanel);
  bevel->setFrameShadow(QFrame::Sunken);

  auto* label1 =
      new QLabel(tr("Geben Sie an, welcher HTML-Code ersetzt werden sollen. \n\n"
                    "Hinweis: Achten Sie auf die korrekte Groß-/Kleinschreibung der "
                    "Einträge!"));
  label1->setObjectName(QStringLiteral("Label1"));
  label1->setWordWrap(true);

  lv_ = new QTreeWidget;
  lv_->setObjectName(QStringLiteral("LV"));
  lv_->setColumnCount(2);
  lv_->setHeaderLabels({tr("Zu suchender HTML-Code"), tr("Ersetzen durch HTML-Code")});
  lv_->setColumnWidth(0, 280);
  lv_->setColumnWidth(1, 280);
  lv_->header()->setSectionsClickable(false);
  lv_->header()->setSectionsMovable(false);
  lv_->header()->setStretchLastSection(true);
  lv_->setRootIsDecorated(false);
  lv_->setItemsExpandable(false);
  lv_->setUniformRowHeights(true);
  lv_->setAllColumnsShowFocus(true);
  lv_->setSelectionMode(QAbstractItemView::SingleSelection);
  lv_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  lv_->setItemDelegateForColumn(1, new NoEditorDelegate(lv_));
  lv_->setMouseTracking(true);  // rows highlight under the mouse
  lv_->setMinimumSize(577, 225);
  lv_->viewport()->installEventFilter(this);

  addBtn_ = MakePictureButton("AddBtn", tr("Hinzufügen"), tr("Hinzufügen"),
                              QStringLiteral("list-add"), Picture::kAdd);
  editBtn_ = MakePictureButton("EditBtn", tr("Ändern"), tr("Ausgewählten Eintrag ändern"),
                               QStringLiteral("document-edit"), Picture::kEdit);
  deleteBtn_ = MakePictureButton("DeleteBtn", tr("Löschen"), tr("Löschen"),
                                 QStringLiteral("list-remove"), Picture::kDelete);

  auto* pictureButtons = new QHBoxLayout;
  pictureButtons->setSpacing(7);
  pictureButtons->addWidget(addBtn_);
  pictureButtons->addWidget(editBtn_);
  pictureButtons->addWidget(deleteBtn_);
  pictureButtons->addStretch();

  auto* inner = new QVBoxLayout(bevel);
  inner->setContentsMargins(15, 8, 15, 8);
  inner->setSpacing(7);
  inner->addWidget(label1);
  inner->addWidget(lv_, 1);
  inner->addLayout(pictureButtons);

  okBtn_ = DialogButton(tr("OK"), "OKBtn");
  cancelBtn_ = DialogButton(tr("Abbrechen"), "CancelBtn");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okBtn_);
  buttons->addSpacing(8);
  buttons->addWidget(cancelBtn_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(bevel, 1);
  layout->addLayout(buttons);

  connect(okBtn_, &QPushButton::clicked, this, &THTMLTagDlg::accept);
  connect(cancelBtn_, &QPushButton::clicked, this, &THTMLTagDlg::reject);
  connect(addBtn_, &QToolButton::clicked, this, &THTMLTagDlg::AddBtnClick);
  connect(editBtn_, &QToolButton::clicked, this, &THTMLTagDlg::EditBtnClick);
  connect(deleteBtn_, &QToolButton::clicked, this, &THTMLTagDlg::DeleteBtnClick);
  connect(lv_, &QTreeWidget::itemSelectionChanged, this, &THTMLTagDlg::UpdateButtonStates);
  connect(lv_, &QTreeWidget::clicked, this, &THTMLTagDlg::UpdateButtonStates);
  connect(lv_, &QTreeWidget::itemChanged, this, &THTMLTagDlg::LVEdited);

  setTabOrder(lv_, okBtn_);
  setTabOrder(okBtn_, cancelBtn_);
  lv_->setFocus();

  const QSize hint = sizeHint();
  setFixedSize(std::max(626, hint.width()), std::max(385, hint.height()));
  UpdateButtonStates();
}

void THTMLTagDlg::AddRow(const QString& find, const QString& replace) {
  auto* item = new CodeItem(&collator_);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
  SetRowTexts(item, find, replace);
  lv_->addTopLevelItem(item);
  Sort();
}

std::vector<std::pair<QString, QString>> THTMLTagDlg::Rows() const {
  std::vector<std::pair<QString, QString>> rows;
  rows.reserve(lv_->topLevelItemCount());
  for (int i = 0; i < lv_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = lv_->topLevelItem(i);
    const QString replace = item->text(1);
    rows.emplace_back(item->text(0), replace == kEmptyReplacement ? QString() : replace);
  }
  return rows;
}

void THTMLTagDlg::SetRowTexts(QTreeWidgetItem* item, const QString& find, const QString& replace) {
  settingTexts_ = true;
  item->setText(0, find);
  item->setData(0, kPreviousFindRole, find);
  item->setText(1, replace.isEmpty() ? kEmptyReplacement : replace);
  settingTexts_ = false;
}

void THTMLTagDlg::Sort() { lv_->sortItems(0, Qt::AscendingOrder); }

QTreeWidgetItem* THTMLTagDlg::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = lv_->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

void THTMLTagDlg::UpdateButtonStates() {
  const bool selected = SelectedRow() != nullptr;
  addBtn_->setEnabled(true);
  editBtn_->setEnabled(selected);
  deleteBtn_->setEnabled(selected);
}

void THTMLTagDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  UpdateButtonStates();
}

void THTMLTagDlg::AddBtnClick() {
  THTMLTagEntryEdit entry(this, tr("hinzufügen"));
  if (entry.exec() != QDialog::Accepted) return;
  AddRow(entry.FindEdit()->text(), entry.ReplaceEdit()->text());
}

void THTMLTagDlg::EditBtnClick() {
  QTreeWidgetItem* item = SelectedRow();
  if (!item) return;
  THTMLTagEntryEdit entry(this, tr("ändern"));
  entry.FindEdit()->setText(item->text(0));
  const QString replace = item->text(1);
  entry.ReplaceEdit()->setText(replace == kEmptyReplacement ? QString() : replace);
  if (entry.exec() != QDialog::Accepted) return;
  const bool findChanged = entry.FindEdit()->text() != item->text(0);
  SetRowTexts(item, entry.FindEdit()->text(), entry.ReplaceEdit()->text());
  if (findChanged) Sort();
  lv_->setCurrentItem(item);
}

void THTMLTagDlg::DeleteBtnClick() {
  QTreeWidgetItem* item = SelectedRow();
  if (!item) return;
  delete item;
  // Qt would select the next row; the list is left without a selection.
  lv_->clearSelection();
  lv_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  UpdateButtonStates();
}

void THTMLTagDlg::LVDblClick() { EditBtnClick(); }

bool THTMLTagDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lv_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    // Queued, so that the list first finishes its own handling of the double click (which
    // also cancels a pending in-place edit) before the entry dialog opens.
    QMetaObject::invokeMethod(this, &THTMLTagDlg::LVDblClick, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void THTMLTagDlg::LVEdited(QTreeWidgetItem* item, int column) {
  if (settingTexts_ || column != 0) return;
  const QString text = item->text(0);
  if (!CheckStorable(this, text)) {
    SetRowTexts(item, item->data(0, kPreviousFindRole).toString(), item->text(1));
    return;
  }
  settingTexts_ = true;
  item->setData(0, kPreviousFindRole, text);
  settingTexts_ = false;
  Sort();
}

}  // namespace vk
