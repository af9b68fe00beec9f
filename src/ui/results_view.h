// The results list `LV` (lower right pane): one row per processed file with six read-only
// columns and the two sums rows of a run. Every file row keeps the full path of its file.
#pragma once

#include <QTreeWidget>
#include <string>

#include "batch/batch_run.h"

namespace vk {

class ResultsView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ResultsView(QWidget* parent = nullptr);

  void ClearResults();
  // Appends a row with the six cells; `row.path` empty for a sums row.
  void AddResult(const ResultRow& row);

  int RowCount() const { return topLevelItemCount(); }
  // The six cells of a row as shown, UTF-8.
  std::vector<std::string> Cells(int row) const;
  // The stored path of a row, the file system's bytes; empty for the sums rows.
  std::string PathOf(int row) const;
  // The selected row, -1 when none.
  int SelectedRow() const;
};

}  // namespace vk
