#include "cli/runs_command.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch_command.h"
#include "cli/json_output.h"
#include "cli/results_collector.h"
#include "cli/stderr_feedback.h"
#include "cli/stop_signals.h"
#include "cli/table_output.h"
#include "engine/my_tools.h"
#include "engine/texts.h"
#include "journal/runs_folder.h"
#include "journal/undo_journal.h"
#include "undo/undo_rows.h"

namespace vk::cli {
namespace {

constexpr const char* kContext = "vk::cli::ListRunsCommand";
constexpr const char* kNoFolder = QT_TRANSLATE_NOOP(
    "vk::cli::ListRunsCommand",
    "Es gibt keinen Ordner für die Protokolle der Läufe (HOME ist nicht gesetzt)!");
constexpr const char* kUndoStopped = QT_TRANSLATE_NOOP(
    "vk::cli::ListRunsCommand", "Das Rückgängigmachen wurde nach %1 von %2 Datei(en) abgebrochen.");

std::string StateText(const RunSummary& run) {
  std::vector<std::string> states;
  if (run.undone) {
    states.push_back(
        Translate(kContext, QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "rückgängig gemacht")));
  }
  if (run.busy) {
    states.push_back(
        Translate(kContext, QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "in Arbeit")));
  }
  if (run.damaged > 0) {
    states.push_back(
        Translate(kContext, QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "beschädigt")));
  }
  if (!run.complete) {
    states.push_back(Translate(
        kContext, QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "nicht alles aufgehoben")));
  }
  std::string text;
  for (const std::string& state : states) text += (text.empty() ? "" : ", ") + state;
  return text;
}

// Columns as wide as their widest cell; the numbers right-aligned, the folder last.
std::string RunsTable(const std::vector<RunSummary>& runs) {
  constexpr std::size_t kColumns = 7;
  using Line = std::vector<std::string>;
  static const char* const kCaptions[kColumns] = {
      QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "Lauf"),
      QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "Zeit"),
      QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "Operation"),
      QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "Dateien"),
      QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "Größe"),
      QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "Zustand"),
      QT_TRANSLATE_NOOP("vk::cli::ListRunsCommand", "Ordner")};
  const std::vector<bool> right = {false, false, true, true, true, false, false};
  std::vector<Line> lines;
  Line captions(kColumns);
  for (std::size_t c = 0; c < kColumns; ++c) captions[c] = Translate(kContext, kCaptions[c]);
  lines.push_back(captions);
  for (const RunSummary& run : runs) {
    lines.push_back({run.id, RunTimeText(run.timeNs), std::to_string(run.operation),
                     std::to_string(run.pages), MyTools().SizeText(run.bytes), StateText(run),
                     ShownName(run.folder)});
  }
  return AlignColumns(lines, right);
}

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string RunObject(const RunSummary& run) {
  return "{\"id\": " + JsonString(run.id) + ", \"time\": " + JsonString(RunTimeIso(run.timeNs)) +
         ", \"operation\": " + std::to_string(run.operation) +
         ", \"folder\": " + JsonString(run.folder) + ", \"pages\": " + std::to_string(run.pages) +
         ", \"page_bytes\": " + std::to_string(run.pageBytes) +
         ", \"bytes\": " + std::to_string(run.bytes) + ", \"complete\": " + Bool(run.complete) +
         ", \"undone\": " + Bool(run.undone) + ", \"busy\": " + Bool(run.busy) + "}";
}

// The run an undo without ID takes, or the one named: what the output starts with.
std::optional<RunSummary> RunToUndo(const std::string& folder,
                                    const std::optional<std::string>& id) {
  if (!id) return NewestRunToUndo(folder);
  for (const RunSummary& run : ListRuns(folder)) {
    if (run.id == *id) return run;
  }
  return std::nullopt;
}

}  // namespace

int ListRunsCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
  const std::string folder = RunsFolder();
  if (folder.empty()) {
    err << Translate(kContext, kNoFolder) << '\n';
    return kExitProblems;
  }
  const std::vector<RunSummary> runs = ListRuns(folder);
  if (line.json) {
    out << "{\"runs\": [";
    for (std::size_t i = 0; i < runs.size(); ++i) {
      out << (i == 0 ? "\n  " : ",\n  ") << RunObject(runs[i]);
    }
    out << (runs.empty() ? "]}\n" : "\n ]}\n");
  } else {
    out << RunsTable(runs);
  }
  out.flush();
  return kExitOk;
}

int UndoCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
  const std::string folder = RunsFolder();
  if (folder.empty()) {
    err << Translate(kContext, kNoFolder) << '\n';
    return kExitProblems;
  }
  // Named first, so the output can say which run it is about before the rows come.
  const std::optional<RunSummary> target = RunToUndo(folder, line.undoId);
  const std::optional<std::string> id = target ? std::optional(target->id) : line.undoId;
  StderrFeedback feedback(err);
  UndoResult result;
  if (line.json) {
    out << "{\"undo\": " << (target ? RunObject(*target) : "null") << ",\n \"result\": ";
    JsonPrinter printer(out, target ? target->operation : 0, false);
    result = UndoRunToSink(folder, id, printer, feedback, &StopRequested());
    printer.Finish();
    out << " , \"undone\": " << Bool(result.markedUndone)
        << ", \"error\": " << (result.message.empty() ? "null" : JsonString(result.message))
        << "}\n";
  } else {
    ResultsCollector results;
    result = UndoRunToSink(folder, id, results, feedback, &StopRequested());
    if (result.status == UndoResult::Status::kUndone ||
        result.status == UndoResult::Status::kPagesLeft) {
      out << result.run.id << ": " << RunDescription(result.run) << ", "
          << ShownName(result.run.folder) << "\n"
          << RenderTable(results);
    }
  }
  out.flush();
  if (!result.message.empty()) err << result.message << '\n';
  if (result.stopped) {
    err << FormatText(
               Translate(kContext, kUndoStopped),
               {std::to_string(result.restored + result.left), std::to_string(result.run.pages)})
        << '\n';
    return StopExitStatus();
  }
  switch (result.status) {
    case UndoResult::Status::kUndone:
      return feedback.Count() > 0 ? kExitProblems : kExitOk;
    case UndoResult::Status::kUnknownRun:
      return kExitUsage;
    default:
      return kExitProblems;
  }
}

}  // namespace vk::cli
