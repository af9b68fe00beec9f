// The file list of the main window (upper right pane): one row per file with a check box and
// the columns "Dateiname", "Datum", "Größe", "Ort". Never sorts, never edits, several rows may
// be selected independently of the ticks, and a resting mouse pointer selects the row under it.
#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "selection/folder_scan.h"

namespace vk {

class ShellListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ShellListView(QWidget* parent = nullptr);

  // Appends the rows behind those already there, in order, inside one update bracket.
  void AppendRows(const std::vector<FileListRow>& rows);
  void ClearRows();

  int RowCount() const { return topLevelItemCount(); }
  bool Ticked(int row) const;
  void SetTicked(int row, bool ticked);
  // True when at least one row is ticked (kept as a count, so asking costs nothing).
  bool AnyRowTicked() const { return tickedCount_ > 0; }
  // A row as it was added: name and folder are the file system's bytes, whatever is shown.
  FileListRow Row(int row) const;
  std::string Name(int row) const;
  std::string Folder(int row) const;
  // "Ort", a separator unless "Ort" ends with one, and "Dateiname", as bytes.
  std::string RowPath(int row) const;
  // Index of the first selected row in list order; -1 when none is selected.
  int FirstSelectedRow() const;

  // Fits the columns to their content, the first three at most 250, 130 and 100 pixels scaled
  // to the font (font_scale.h); "Datum" always wide enough for a whole date and time.
  void FitColumns();
  // That cap of `column`; -1 for a column without one.
  int MaxColumnWidth(int column) const;

  // What a resting mouse pointer does: selects that row alone.
  void HoverSelect(QTreeWidgetItem* item);

 signals:
  // A row's tick changed (by the user, a selection command or the program).
  void TickChanged();

 private:
  class Item;
  friend class Item;
  void HoverTimeout();

  int tickedCount_ = 0;
  QTimer hoverTimer_;
  QTreeWidgetItem* hoverItem_ = nullptr;
};

}  // namespace vk
