#include "ui/shell_list_view.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QHeaderView>
#include <QStyle>

#include "selection/file_date.h"
#include "selection/file_names.h"
#include "ui/busy_cursor.h"
#include "ui/font_scale.h"

namespace vk {
namespace {

// A resting pointer selects after the desktop's usual hover time.
constexpr int kHoverMilliseconds = 400;
// What a row keeps besides its texts: the bytes of its name and folder.
constexpr int kNameRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;

}  // namespace

// Keeps the view's count of ticked rows in step with every change of a check box, whoever
// makes it.
class ShellListView::Item : public QTreeWidgetItem {
 public:
  Item() : QTreeWidgetItem(UserType) {}

  void setData(int column, int role, const QVariant& value) override {
    if (column != 0 || role != Qt::CheckStateRole) {
      QTreeWidgetItem::setData(column, role, value);
      return;
    }
    const bool before = ticked_;
    ticked_ = value.toInt() == Qt::Checked;
    auto* view = qobject_cast<ShellListView*>(treeWidget());
    if (view != nullptr && before != ticked_) view->tickedCount_ += ticked_ ? 1 : -1;
    QTreeWidgetItem::setData(column, role, value);
    if (view != nullptr && before != ticked_) emit view->TickChanged();
  }

  bool ticked_ = false;
};

ShellListView::ShellListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(4);
  setHeaderLabels({tr("Dateiname"), tr("Datum"), tr("Größe"), tr("Ort")});
  headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  header()->setSectionsClickable(false);
  header()->setSortIndicatorShown(false);
  header()->setStretchLastSection(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setMouseTracking(true);
  hoverTimer_.setSingleShot(true);
  hoverTimer_.setInterval(kHoverMilliseconds);
  connect(this, &QTreeWidget::itemEntered, this, [this](QTreeWidgetItem* item) {
    hoverItem_ = item;
    hoverTimer_.start();
  });
  connect(&hoverTimer_, &QTimer::timeout, this, &ShellListView::HoverTimeout);
}

void ShellListView::AppendRows(const std::vector<FileListRow>& rows) {
  if (rows.empty()) return;
  UpdateBracket bracket(this);
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  int ticked = 0;
  for (const FileListRow& row : rows) {
    auto* item = new Item;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable |
                   Qt::ItemNeverHasChildren);
    item->setText(0, NameText(row.name));
    item->setText(1, QString::fromStdString(row.date));
    item->setText(2, QString::fromStdString(row.size));
    item->setText(3, NameText(row.folder));
    item->setData(0, kNameRole, Bytes(row.name));
    item->setData(0, kFolderRole, Bytes(row.folder));
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    item->setCheckState(0, row.ticked ? Qt::Checked : Qt::Unchecked);
    if (row.ticked) ++ticked;
    items.append(item);
  }
  addTopLevelItems(items);
  tickedCount_ += ticked;
}

void ShellListView::ClearRows() {
  hoverTimer_.stop();
  hoverItem_ = nullptr;
  clear();
  tickedCount_ = 0;
}

bool ShellListView::Ticked(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item != nullptr && item->checkState(0) == Qt::Checked;
}

void ShellListView::SetTicked(int row, bool ticked) {
  if (QTreeWidgetItem* item = topLevelItem(row)) {
    item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
  }
}

FileListRow ShellListView::Row(int row) const {
  FileListRow result;
  const QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr) return result;
  result.ticked = item->checkState(0) == Qt::Checked;
  result.name = Name(row);
  result.date = item->text(1).toStdString();
  result.size = item->text(2).toStdString();
  result.folder = Folder(row);
  return result;
}

std::string ShellListView::Name(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? StdBytes(item->data(0, kNameRole).toByteArray()) : std::string();
}

std::string ShellListView::Folder(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? StdBytes(item->data(0, kFolderRole).toByteArray()) : std::string();
}

std::string ShellListView::RowPath(int row) const { return FullPath(Folder(row), Name(row)); }

int ShellListView::FirstSelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  int first = -1;
  for (const QModelIndex& index : rows) {
    if (first < 0 || index.row() < first) first = index.row();
  }
  return first;
}

int ShellListView::MaxColumnWidth(int column) const {
  static constexpr int kDesignWidths[] = {250, 130, 100};
  if (column < 0 || column >= 3) return -1;
  const QFontMetrics metrics = fontMetrics();
  if (column != 1) return ScaledPixels(metrics, kDesignWidths[column]);
  // A whole date and time always shows: the widest a date text of the user's format gets.
  const int padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  const QDateTime sample(QDate(2028, 12, 28), QTime(20, 58, 58));
  const QString date = QString::fromStdString(
      DateTextOfTime(sample.toSecsSinceEpoch(), DateTextFormat(QLocale::system())));
  return WidthToShow(metrics, kDesignWidths[1], date, padding);
}

void ShellListView::FitColumns() {
  for (int column = 0; column < columnCount(); ++column) {
    resizeColumnToContents(column);
    const int cap = MaxColumnWidth(column);
    if (cap > 0 && columnWidth(column) > cap) setColumnWidth(column, cap);
  }
}

void ShellListView::HoverSelect(QTreeWidgetItem* item) {
  if (item == nullptr || item->treeWidget() != this) return;
  setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ShellListView::HoverTimeout() {
  if (hoverItem_ == nullptr || QApplication::mouseButtons() != Qt::NoButton) return;
  QTreeWidgetItem* under = itemAt(viewport()->mapFromGlobal(QCursor::pos()));
  if (under == hoverItem_) HoverSelect(under);
}

}  // namespace vk
