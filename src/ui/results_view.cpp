#include "ui/results_view.h"

#include <QHeaderView>
#include <QStyle>

#include "selection/file_names.h"
#include "ui/font_scale.h"

namespace vk {
namespace {

constexpr int kPathRole = Qt::UserRole;

}  // namespace

ResultsView::ResultsView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(6);
  setHeaderLabels({tr("Dateiname"), tr("Größe"), tr("Neue Größe"), tr("Einsparung %"),
                   tr("Sonderzeichen"), tr("HTML-Code")});
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  header()->setSectionsClickable(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  // The cells are never edited in place.
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  // 180 and 95 pixels scaled to the font, each at least as wide as its caption.
  const QFontMetrics metrics = fontMetrics();
  const int padding = 2 * (style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 2);
  for (int column = 0; column < 6; ++column) {
    setColumnWidth(
        column, WidthToShow(metrics, column == 0 ? 180 : 95, headerItem()->text(column), padding));
  }
}

void ResultsView::ClearResults() { clear(); }

void ResultsView::AddResult(const ResultRow& row) {
  auto* item = new QTreeWidgetItem;
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
  const std::string* cells[] = {&row.name,   &row.sizeBefore,   &row.sizeAfter,
                                &row.saving, &row.specialChars, &row.htmlCode};
  item->setText(0, NameText(row.name));
  for (int column = 1; column < 6; ++column) {
    item->setText(column, QString::fromStdString(*cells[column]));
  }
  if (!row.path.empty()) item->setData(0, kPathRole, Bytes(row.path));
  addTopLevelItem(item);
}

std::vector<std::string> ResultsView::Cells(int row) const {
  std::vector<std::string> cells;
  const QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr) return cells;
  for (int column = 0; column < 6; ++column) cells.push_back(item->text(column).toStdString());
  return cells;
}

std::string ResultsView::PathOf(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item ? StdBytes(item->data(0, kPathRole).toByteArray()) : std::string();
}

int ResultsView::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

}  // namespace vk
