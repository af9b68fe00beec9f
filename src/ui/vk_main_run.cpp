// The batch run from the window (the Edit-menu entries and Start) and viewing files from the
// two lists. The window is the run's list of rows, its sink and its feedback; while a run lasts
// only the lower toolbar's selection buttons, the results list and the title bar stay usable.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <memory>

#include "batch/batch_run.h"
#include "selection/file_names.h"
#include "settings/html_code_list_store.h"
#include "settings/options.h"
#include "settings/settings_store.h"
#include "ui/launcher.h"
#include "ui/my_shell_tree_view.h"
#include "ui/results_sink.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/user_dialogs.h"
#include "ui/vk_main.h"
#include "undo/run_undo_journal.h"

namespace vk {
namespace {

constexpr int kPagesAtOnce = 16;

// The file list as the run reads it: row by row, the tick at the moment the run gets there.
class FileListRows : public BatchRows {
 public:
  explicit FileListRows(const ShellListView& list) : list_(list) {}
  int Count() const override { return list_.RowCount(); }
  bool Ticked(int row) const override { return list_.Ticked(row); }
  // The bytes the file system gave, not the text shown: a Windows-1252 name runs as it is.
  std::string Name(int row) const override { return list_.Name(row); }
  std::string Folder(int row) const override { return list_.Folder(row); }

 private:
  const ShellListView& list_;
};

// Hears the page's change in a run of one page.
class ChangeCatcher : public BatchSink {
 public:
  void PageChanged(const std::string&, std::string_view oldBytes, std::string_view newBytes,
                   PageEncoding encoding) override {
    change = PageChanges::Change{0, std::string(oldBytes), std::string(newBytes), encoding};
  }
  void AddRow(const ResultRow&) override {}
  void AddSumRows(const ResultRow&, const ResultRow&) override {}
  std::optional<PageChanges::Change> change;
};

// A preview's changes of a page, made again as the preview made them: the same steps on the
// page as it is now, with the list of the same settings copy.
PageChanges::Redo PreviewRedo(const ProcessFlags& flags, bool ignoreMetaTags,
                              const SettingsStore& store) {
  return [flags, ignoreMetaTags, store](const std::string& path) {
    const std::size_t slash = path.rfind('/') + 1;
    ListedRows<> row({{true, path.substr(slash), path.substr(0, slash)}});
    ChangeCatcher catcher;
    SilentFeedback silent;
    BatchOptions options;
    options.ignoreMetaTags = ignoreMetaTags;
    options.dryRun = true;
    options.loadHtmlCodeList = MakeHtmlCodeListLoader(store);
    vk::RunBatch(flags, row, catcher, silent, options);
    return catcher.change;
  };
}

}  // namespace

void TVKMain::StartBtnClick() { RunOperation(optCB_->currentIndex()); }

void TVKMain::RunOperation(int index, bool preview) {
  if (running_ || index < 0 || index >= static_cast<int>(OperationKinds().size())) return;
  const ProcessFlags flags = OperationKinds()[static_cast<size_t>(index)].flags;
  FileListRows rows(*shellListView_);
  // What undo needs is kept (a preview writes nothing, so it needs none); when it cannot be kept
  // whole, the user decides first.
  RunUndo undo;
  if (!preview) {
    undo = PrepareRunUndo(vk::ReadOptions(iniFile_), index,
                          shellTreeView_->SelectedPath().toStdString(), rows);
    if (undo.coverage.kind == UndoCoverage::Kind::kPartial &&
        !Dialogs().Question(this, QString::fromStdString(undo.coverage.question))) {
      return;
    }
  }
  previewing_ = preview;
  {
    PrepareRun();
    // The closing section runs however the run ends, an escaping exception included.
    struct Closing {
      TVKMain& window;
      ~Closing() { window.CloseRun(); }
    } closing{*this};

    ResultsSink sink(*lv_, *progress_, pageChanges_, [this](const QString& text) {
      SetStatusText(previewing_ ? tr("Vorschau: %1").arg(text) : text);
    });
    BatchOptions options;
    options.createBak = bakBtn_->isChecked();
    options.ignoreMetaTags = metaTagBtn_->isChecked();
    options.dryRun = preview;
    // Pages are read and transformed ahead on helper threads, as velkaro-batch does; a row's
    // tick is still read when the run reaches it, before its page is touched.
    options.pagesAtOnce = kPagesAtOnce;
    // The list is read afresh for every file, so an edit between runs always counts. A preview
    // works on a copy of the settings in memory: a list it repairs is not written back.
    SettingsStore store = DefaultNameIn(iniFile_);
    if (preview) store.draft = std::make_shared<SettingsDraft>();
    options.loadHtmlCodeList = MakeHtmlCodeListLoader(store);
    options.cancel = &cancelRun_;
    options.journal = undo.journal.get();
    pageChanges_.MakeAgainWith(preview ? PreviewRedo(flags, options.ignoreMetaTags, store)
                                       : PageChanges::Redo());
    const RunEnd end = vk::RunBatch(flags, rows, sink, feedback_, options);
    lv_->setUpdatesEnabled(true);
    // The bar ends at the files done out of the files ticked, ticks changed meanwhile counted.
    progress_->setRange(0, std::max(end.filesTicked, 1));
    progress_->setValue(end.filesDone);
    // When the user closed the window meanwhile, the completion box closes by itself.
    if (!closeRequested_) Dialogs().Information(this, CompletionText(end));
  }
  undo.journal.reset();  // a run that changed no page leaves no journal
  RefreshUndoCommand();
  UpdateCommandStates();
}

void TVKMain::PrepareRun() {
  running_ = true;
  cancelRun_ = false;
  ShowRunKind();
  setAcceptDrops(false);
  shellTreeView_->setEnabled(false);
  shellListView_->setEnabled(false);
  upDirChkBox_->setEnabled(false);
  toolBar_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (QMenu* menu : {datei1_, bearbeiten1_, einstellungen1_, hilfe1_}) {
    menu->menuAction()->setEnabled(false);
  }
  startBtn_->setEnabled(false);
  int ticked = 0;
  for (int row = 0; row < shellListView_->RowCount(); ++row) ticked += shellListView_->Ticked(row);
  progress_->setRange(0, std::max(ticked, 1));
  progress_->setValue(0);
  progress_->show();
  cancelBtn_->setEnabled(true);
  cancelBtn_->show();
  feedback_.ResetYieldClock();  // the first file always lets the window repaint
}

void TVKMain::CloseRun() {
  setAcceptDrops(true);
  lv_->setUpdatesEnabled(true);
  shellTreeView_->setEnabled(true);
  shellListView_->setEnabled(true);
  upDirChkBox_->setEnabled(true);
  toolBar_->setEnabled(true);
  QApplication::restoreOverrideCursor();
  for (QMenu* menu : {datei1_, bearbeiten1_, einstellungen1_, hilfe1_}) {
    menu->menuAction()->setEnabled(true);
  }
  startBtn_->setEnabled(true);
  progress_->hide();
  cancelBtn_->hide();
  running_ = false;
  ShowRowCount();
  UpdateCommandStates();
  if (closeRequested_) {
    closeRequested_ = false;
    // Closed once the handler that ran the batch has returned (also after an exception).
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
}

void TVKMain::OpenWithDefaultApplication(const std::string& path) {
  Launch().OpenUrl(FileUrl(path));
}

void TVKMain::DateiimEditorzeigen1Click() {
  const int row = shellListView_->FirstSelectedRow();
  if (row < 0) return;
  const std::string path = shellListView_->RowPath(row);
  const QString editor = FindTextEditor();
  if (editor.isEmpty()) {
    // No plain-text editor on this desktop: the file's own application shows it.
    OpenWithDefaultApplication(path);
    return;
  }
  // One argument, no shell: blanks, quotes and bytes that are not UTF-8 are safe.
  Launch().StartDetached(editor, {Bytes(path)});
}

void TVKMain::DateiimStandardBrowserzeigen1Click() {
  const int row = shellListView_->FirstSelectedRow();
  if (row >= 0) OpenWithDefaultApplication(shellListView_->RowPath(row));
}

// The results list's editor entry opens the file by its type, like its neighbour.
void TVKMain::MenuItem1Click() { BrowserBtnClick(); }

void TVKMain::BrowserBtnClick() {
  const int row = lv_->SelectedRow();
  if (row < 0) return;
  const std::string path = lv_->PathOf(row);
  if (!path.empty()) OpenWithDefaultApplication(path);  // the sums rows have no file
}

// A double-click opens the processed file, as the browser entry does; its changes are one
// entry further down the context menu.
void TVKMain::LVDblClick() { BrowserBtnClick(); }

bool TVKMain::LVMouseDown(const QPoint& globalPos) {
  if (lv_->RowCount() == 0 || lv_->SelectedRow() < 0) return false;
  lvPopupMenu_->popup(globalPos);
  return true;
}

}  // namespace vk
