// "Letzten Lauf rückgängig machen" in the Edit menu: takes back the newest run kept for undo
// after a question that names it, showing a row per page in the results list, the messages of
// the pages left in one box, then the completion box; "Abbrechen" stops it before the next
// page, and the next undo finishes it. The command is enabled while a run is left to undo;
// whether one is, is read when the window starts and after each run or undo (reading the
// journals on every tick would cost too much).
#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <vector>

#include "journal/runs_folder.h"
#include "journal/undo_journal.h"
#include "selection/file_names.h"
#include "ui/results_view.h"
#include "ui/user_dialogs.h"
#include "ui/vk_main.h"
#include "undo/undo_rows.h"

namespace vk {
namespace {

// The rows of the undo in the results list, its pages in the status bar and the progress bar.
class UndoSink : public BatchSink {
 public:
  UndoSink(ResultsView& results, QProgressBar& progress, std::function<void(const QString&)> status)
      : results_(results), progress_(progress), status_(std::move(status)) {}

  void ClearResults() override { results_.ClearResults(); }
  void FileStarted(const std::string& name) override {
    status_(TVKMain::tr("Datei: %1").arg(QString::fromStdString(name)));
  }
  void AddRow(const ResultRow& row) override {
    results_.AddResult(row);
    progress_.setValue(std::min(progress_.value() + 1, progress_.maximum()));
  }
  void AddSumRows(const ResultRow& title, const ResultRow& totals) override {
    results_.AddResult(title);
    results_.AddResult(totals);
  }

 private:
  ResultsView& results_;
  QProgressBar& progress_;
  std::function<void(const QString&)> status_;
};

// The window's feedback, but the messages of the pages left are kept, to be shown in one box at
// the end: an undo of a run its journal could not keep whole leaves hundreds of pages.
class KeptMessages : public Feedback {
 public:
  explicit KeptMessages(Feedback& target) : target_(target) {}
  void Error(const std::string& text) override { messages.push_back(text); }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }
  std::vector<std::string> messages;

 private:
  Feedback& target_;
};

// The first messages, one a line, and how many more there are.
QString MessagesText(const std::vector<std::string>& messages) {
  constexpr std::size_t kShown = 10;
  QStringList lines;
  for (std::size_t i = 0; i < messages.size() && i < kShown; ++i) {
    lines << MixedText(messages[i]);
  }
  if (messages.size() > kShown) {
    lines << TVKMain::tr("… und %1 weitere Meldung(en).").arg(messages.size() - kShown);
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TVKMain::BuildUndoCommand() {
  bearbeiten1_->addSeparator();
  undoLastRun_ =
      MakeAction(this, "LetztenLaufRueckgaengig1", tr("Letzten Lauf rückgängig machen"), QIcon());
  bearbeiten1_->addAction(undoLastRun_);
  connect(undoLastRun_, &QAction::triggered, this, &TVKMain::UndoLastRun);
  RefreshUndoCommand();
}

void TVKMain::RefreshUndoCommand() {
  undoAvailable_ = NewestRunToUndo(RunsFolder()).has_value();
  undoLastRun_->setEnabled(undoAvailable_);
}

void TVKMain::UndoLastRun() {
  if (running_) return;
  const std::string runsFolder = RunsFolder();
  // Read again now: velkaro-batch may have run or undone meanwhile.
  const std::optional<RunSummary> run = NewestRunToUndo(runsFolder);
  if (!run) {
    Dialogs().Information(this, tr("Es gibt keinen Lauf, der rückgängig gemacht werden kann!"));
  } else if (Dialogs().Question(this, tr("Den Lauf vom %1 rückgängig machen?")
                                          .arg(QString::fromStdString(RunDescription(*run))))) {
    PrepareRun();
    progress_->setRange(0, std::max(run->pages, 1));
    // The closing section runs however the undo ends, an escaping exception included.
    struct Closing {
      TVKMain& window;
      ~Closing() { window.CloseRun(); }
    } closing{*this};
    UndoSink sink(*lv_, *progress_, [this](const QString& text) { SetStatusText(text); });
    KeptMessages kept(feedback_);
    const UndoResult result = UndoRunToSink(runsFolder, run->id, sink, kept, &cancelRun_);
    lv_->setUpdatesEnabled(true);
    if (result.status != UndoResult::Status::kUndone &&
        result.status != UndoResult::Status::kPagesLeft) {
      Dialogs().Error(this, QString::fromStdString(result.message));
    } else if (!closeRequested_) {
      if (!result.message.empty()) kept.messages.push_back(result.message);
      if (!kept.messages.empty()) Dialogs().Error(this, MessagesText(kept.messages));
      const int done = result.restored + result.left;
      Dialogs().Information(
          this, result.stopped
                    ? tr("Aktion nach %1 von %2 Dateien abgebrochen!").arg(done).arg(run->pages)
                    : tr("Aktion abgeschlossen!"));
    }
  }
  RefreshUndoCommand();
  UpdateCommandStates();
}

}  // namespace vk
