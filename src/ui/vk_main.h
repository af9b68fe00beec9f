// TVKMain, the program's only top-level window: menus, the two toolbars with the operation box,
// the folder tree, the file list, the results list and the status bar; start-up and shut-down,
// the command line, dropped files and the batch run from the window. The window's work is split
// by concern: vk_main.cpp (life cycle, command line, drops, help), vk_main_menus.cpp (building
// the controls), vk_main_files.cpp (the file list), vk_main_run.cpp (runs and viewing files),
// vk_main_preview.cpp (cancelling a run, the preview and a page's changes), vk_main_undo.cpp
// (undoing the last run).
#pragma once

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "batch/operation_kinds.h"
#include "settings/ini_file.h"
#include "ui/page_changes.h"
#include "ui/window_feedback.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolBar;
class QTreeWidgetItem;

namespace vk {

class ResultsView;
struct RunEnd;
class ShellListView;
class TMyShellTreeView;

struct TVKMainSetup {
  QList<QByteArray> arguments;  // the command line without the program name, as bytes
  QString treeRoot = QStringLiteral("rfDesktop");  // the folder tree's root
  QString programFolder;  // where vkreadme.htm is looked for first; empty: the program's folder
  QString dataFolder;     // the installed data folder; empty: the built-in one
};

class TVKMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TVKMain(TVKMainSetup setup = TVKMainSetup(), QWidget* parent = nullptr);
  ~TVKMain() override;

  // The settings-file component (the HTML code list editor works through it as well).
  TTheIniFile& VKIniFile() { return iniFile_; }

  // Appends a row for every HTML file of `folder` (with the toggle down, of every folder below
  // it too), each ticked as `ticked` says; then the row count in the status bar.
  // `folder` is a path's bytes.
  void AddFolderFiles(const std::string& folder, bool ticked);
  // Enables the Edit menu and Start when a row is ticked, the selection buttons when there
  // are rows.
  void UpdateCommandStates();
  bool AnyRowTicked() const;
  // Files and folders dropped onto the window (their paths' bytes), in the order the desktop
  // delivered them.
  void FilesDropped(const std::vector<std::string>& paths);
  // Runs operation `index` (0..6) over the ticked rows: what the Edit-menu entries and Start do.
  // A preview runs it without writing anything and shows the rows it would give ("Vorschau").
  // Does nothing while a run is going on.
  void RunOperation(int index, bool preview = false);
  bool Running() const { return running_; }
  // The text of the first status-bar panel.
  QString StatusText() const;

 public slots:
  void ShellTreeViewChange();
  void UPdirchkboxClick();
  void SelAllBtnClick();
  void SelNoneBtnClick();
  void SelReverseBtnClick();
  void ShellListViewChange();
  void StartBtnClick();
  // "Abbrechen" beside the progress bar: the run stops after the pages in hand.
  void CancelBtnClick();
  // "Vorschau": the box's operation as Start would run it, writing nothing.
  void PreviewBtnClick();
  void Beenden1Click();
  void WienutzeichdasProgramm1Click();
  void MoreProgramsBtnClick();
  // "HTML-Code-Liste bearbeiten...": opens the HTML code list editor.
  void HTMLTagsbearbeiten1Click();
  // "Info...": shows the about dialog.
  void Info1Click();
  // Viewing files: the two context menus and the results list's double-click.
  void DateiimEditorzeigen1Click();
  void DateiimStandardBrowserzeigen1Click();
  void MenuItem1Click();
  void BrowserBtnClick();
  // "Änderungen anzeigen" (the results list's context menu and double-click): the selected
  // row's page before and after the last run or preview, side by side.
  void AenderungenAnzeigen1Click();
  void LVDblClick();
  // Opens the file list's context menu at `globalPos` when a row is selected; true if opened.
  bool ShellListViewMouseDown(const QPoint& globalPos);
  // Opens the results list's context menu at `globalPos` when a row is selected; true if opened.
  bool LVMouseDown(const QPoint& globalPos);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Building the controls (vk_main_menus.cpp).
  void BuildMenus();
  void BuildToolBars();
  void BuildWorkArea();
  void BuildStatusBar();
  void BuildContextMenus();
  QAction* MakeAction(QObject* owner, const char* name, const QString& caption, const QIcon& icon);

  // Life cycle (vk_main.cpp).
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormDestroy();
  void HandleCommandLine();
  // Widens the operation box so that its longest caption shows whole.
  void FitOperationBox();
  void FitFirstSize();
  void ReadOptions();
  void WriteOptions();
  // Window placement: restored at the end of FormCreate, saved in FormDestroy.
  void RestorePlacement();
  void SavePlacement();

  // The run's preparation and closing sections (vk_main_run.cpp).
  void PrepareRun();
  void CloseRun();
  void OpenWithDefaultApplication(const std::string& path);
  // The completion box's text for a run that ended as `end` says (vk_main_preview.cpp).
  QString CompletionText(const RunEnd& end) const;
  // The second status panel says whether the results list is a preview.
  void ShowRunKind();

  // Undoing the last run (vk_main_undo.cpp).
  void BuildUndoCommand();
  void RefreshUndoCommand();
  void UndoLastRun();

  void SetStatusText(const QString& text);
  void ShowRowCount();
  void AppendSingleFile(const std::string& path);

  TVKMainSetup setup_;
  WindowFeedback feedback_;
  TTheIniFile iniFile_;

  QMenu* datei1_ = nullptr;
  QMenu* bearbeiten1_ = nullptr;
  QMenu* einstellungen1_ = nullptr;
  QMenu* hilfe1_ = nullptr;
  QAction* htmlTagsBearbeiten1_ = nullptr;
  QAction* beenden1_ = nullptr;
  std::array<QAction*, kOperationCount> operations_{};
  QActionGroup* operationGroup_ = nullptr;
  QAction* bakBtn_ = nullptr;
  QAction* metaTagBtn_ = nullptr;
  QAction* undoLastRun_ = nullptr;
  bool undoAvailable_ = false;  // a run is left to undo, as last read
  QAction* wieNutzeIch1_ = nullptr;
  QAction* info1_ = nullptr;

  QToolBar* toolBar_ = nullptr;
  QToolBar* toolBar1_ = nullptr;
  QAction* exitBtn_ = nullptr;
  QComboBox* optCB_ = nullptr;
  QAction* startBtn_ = nullptr;
  QAction* previewBtn_ = nullptr;  // in the Edit menu and beside Start
  QAction* moreProgramsBtn_ = nullptr;
  QAction* selAllBtn_ = nullptr;
  QAction* selNoneBtn_ = nullptr;
  QAction* selReverseBtn_ = nullptr;
  QAction* upDirChkBox_ = nullptr;

  QSplitter* verticalSplitter_ = nullptr;
  QSplitter* horizontalSplitter_ = nullptr;
  TMyShellTreeView* shellTreeView_ = nullptr;
  ShellListView* shellListView_ = nullptr;
  ResultsView* lv_ = nullptr;
  QMenu* shellLVPopupMenu_ = nullptr;
  QMenu* lvPopupMenu_ = nullptr;

  std::array<QLabel*, 4> statusPanels_{};
  QProgressBar* progress_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  std::atomic<bool> cancelRun_{false};
  PageChanges pageChanges_;  // the texts of the pages the last run changed  // the run's cancel
                             // flag, set by "Abbrechen"

  bool folderFlag_ = false;  // the command line named a folder
  bool fileFlag_ = false;    // the command line named a file
  bool shown_ = false;
  bool listing_ = false;         // a folder listing is running
  bool running_ = false;         // a batch run is running
  bool previewing_ = false;      // the run going on (or the last one) is a preview
  bool closeRequested_ = false;  // the window was closed during a run
};

}  // namespace vk
