// The main window's side of the file list: listing a folder, the toggle for subfolders, the
// three selection commands, the enabled states of the commands that need ticked rows, the
// status text and the file list's context menu.
#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QToolBar>

#include "selection/file_names.h"
#include "selection/folder_scan.h"
#include "ui/busy_cursor.h"
#include "ui/my_shell_tree_view.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk {

void TVKMain::AddFolderFiles(const std::string& folder, bool ticked) {
  // Closing steps on every way out: status text, command states, the pointer last.
  struct Closing {
    TVKMain& window;
    bool wasListing;
    ~Closing() {
      window.listing_ = wasListing;
      window.ShowRowCount();
      window.UpdateCommandStates();
    }
  };
  BusyCursor busy;
  Closing closing{*this, listing_};
  listing_ = true;
  feedback_.ResetYieldClock();  // the first folder of a walk always lets the window repaint
  UpdateBracket bracket(shellListView_);
  std::vector<FileListRow> rows;
  ScanFolder(folder, ticked, upDirChkBox_->isChecked(), rows, feedback_);
  shellListView_->AppendRows(rows);
  shellListView_->FitColumns();
}

void TVKMain::ShellTreeViewChange() {
  if (listing_) return;
  {
    UpdateBracket bracket(shellListView_);
    shellListView_->ClearRows();
    UpdateCommandStates();  // nothing to run while the new listing is read
    AddFolderFiles(StdBytes(shellTreeView_->SelectedPath()), false);
  }
  UpdateCommandStates();
}

void TVKMain::UPdirchkboxClick() {
  ShellTreeViewChange();
  UpdateCommandStates();
}

void TVKMain::SelAllBtnClick() {
  for (int row = 0; row < shellListView_->RowCount(); ++row) shellListView_->SetTicked(row, true);
}

void TVKMain::SelNoneBtnClick() {
  for (int row = 0; row < shellListView_->RowCount(); ++row) shellListView_->SetTicked(row, false);
}

void TVKMain::SelReverseBtnClick() {
  for (int row = 0; row < shellListView_->RowCount(); ++row) {
    shellListView_->SetTicked(row, !shellListView_->Ticked(row));
  }
}

void TVKMain::ShellListViewChange() { UpdateCommandStates(); }

bool TVKMain::AnyRowTicked() const { return shellListView_->AnyRowTicked(); }

void TVKMain::UpdateCommandStates() {
  const bool hasRows = shellListView_->RowCount() > 0;
  const bool runnable = hasRows && AnyRowTicked();
  // During a run a changed tick must not offer a second run. Undo needs no ticked row.
  if (!running_) {
    bearbeiten1_->menuAction()->setEnabled(runnable || undoAvailable_);
    for (QAction* operation : operations_) operation->setEnabled(runnable);
    startBtn_->setEnabled(runnable);
  }
  selAllBtn_->setEnabled(hasRows);
  selNoneBtn_->setEnabled(hasRows);
  selReverseBtn_->setEnabled(hasRows);
}

QString TVKMain::StatusText() const { return statusPanels_[0]->text(); }

void TVKMain::SetStatusText(const QString& text) {
  statusPanels_[0]->setText(text);
  statusPanels_[0]->setToolTip(text);  // the panel is narrow; the whole text on demand
}

void TVKMain::ShowRowCount() { SetStatusText(tr("%1 Datei(en)").arg(shellListView_->RowCount())); }

bool TVKMain::ShellListViewMouseDown(const QPoint& globalPos) {
  if (shellListView_->RowCount() == 0 || shellListView_->FirstSelectedRow() < 0) return false;
  shellLVPopupMenu_->popup(globalPos);
  return true;
}

bool TVKMain::eventFilter(QObject* watched, QEvent* event) {
  if (listing_) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        return true;  // a click now would start a second listing inside this one
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace vk
