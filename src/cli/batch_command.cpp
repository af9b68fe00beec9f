#include "cli/batch_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "batch/batch_run.h"
#include "batch/regional_settings.h"
#include "cli/batch_options.h"
#include "cli/diff_output.h"
#include "cli/json_output.h"
#include "cli/results_collector.h"
#include "cli/runs_command.h"
#include "cli/stderr_feedback.h"
#include "cli/stop_signals.h"
#include "cli/table_output.h"
#include "engine/my_tools.h"
#include "engine/texts.h"
#include "fs/file_info.h"
#include "fs/file_snapshot.h"
#include "selection/folder_scan.h"
#include "selection/folder_walk.h"
#include "settings/html_code_list_store.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/settings_file_io.h"
#include "settings/settings_store.h"
#include "undo/run_undo_journal.h"

namespace vk::cli {
namespace {

constexpr const char* kNotFileNorFolder =
    QT_TRANSLATE_NOOP("vk::cli::RunBatchCommand", "Der Parameter ist keine Datei und kein Ordner!");

enum class PathKind { kFile, kFolder, kNeither };

PathKind KindOf(const std::string& path) {
  const std::optional<FileInfo> info = InfoOf(path);
  if (!info) return PathKind::kNeither;
  if (info->kind == FileInfo::Kind::kFile) return PathKind::kFile;
  if (info->kind == FileInfo::Kind::kFolder) return PathKind::kFolder;
  return PathKind::kNeither;
}

constexpr const char* kFolderUnreadable =
    QT_TRANSLATE_NOOP("vk::cli::RunBatchCommand", "Konnte den Ordner %1 nicht lesen!");
constexpr const char* kReportUnwritable =
    QT_TRANSLATE_NOOP("vk::cli::RunBatchCommand", "Konnte die Ergebnisse nicht ausgeben!");
constexpr const char* kCancelled = QT_TRANSLATE_NOOP(
    "vk::cli::RunBatchCommand", "Der Lauf wurde nach %1 von %2 Datei(en) abgebrochen.");

std::string Text(const char* text) { return Translate("vk::cli::RunBatchCommand", text); }

// Whether the folder's entries can be listed and looked at.
bool FolderListable(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), R_OK | X_OK, AT_EACCESS) == 0;
}

// The report went out whole, or the exit status says it did not.
int Finished(std::ostream& out, std::ostream& err, int status) {
  out.flush();
  if (out.fail()) {
    err << Text(kReportUnwritable) << '\n' << std::flush;
    return kExitUsage;
  }
  return status;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    std::error_code error;
    full = std::filesystem::current_path(error).string() + "/" + full;
  }
  std::string clean = "/";
  std::size_t i = 0;
  while (i < full.size()) {
    const std::size_t next = std::min(full.find('/', i), full.size());
    const std::string segment = full.substr(i, next - i);
    if (!segment.empty() && segment != ".") {
      if (clean.back() != '/') clean += '/';
      clean += segment;
    }
    i = next + 1;
  }
  return clean;
}

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ApplyRegionalSettings();
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (!parsed.ok()) {
    err << "velkaro-batch: " << parsed.error << "\n"
        << "Try 'velkaro-batch --help' for more information.\n";
    return kExitUsage;
  }
  const CommandLine& line = parsed.line;
  if (line.help) {
    out << UsageText();
    return Finished(out, err, kExitOk);
  }
  if (line.version) {
    out << VersionText();
    return Finished(out, err, kExitOk);
  }
  if (line.runs) return ListRunsCommand(line, out, err);
  if (line.undo) return UndoCommand(line, out, err);

  std::vector<std::pair<std::string, PathKind>> paths;
  for (const std::string& path : line.paths) {
    const std::string absolute = AbsolutePath(path);
    const PathKind kind = KindOf(absolute);
    if (kind == PathKind::kNeither) {
      err << Translate("vk::cli::RunBatchCommand", kNotFileNorFolder) << '\n';
      return kExitUsage;
    }
    paths.emplace_back(absolute, kind);
  }

  StderrFeedback feedback(err);
  // The settings file: one given that cannot be used ends the command before anything is
  // done; the user's own may be missing (a first start). A dry run works on a draft in memory,
  // so that nothing the store does (making the file writable, evening out the code list)
  // reaches the file, while the run shows the messages the real run would.
  SettingsStore store = line.settingsFile ? SettingsStoreForFile(AbsolutePath(*line.settingsFile))
                                          : UserSettingsStore();
  if (const std::string problem =
          SettingsFileProblem(SettingsFilePath(store), !line.settingsFile.has_value());
      !problem.empty()) {
    err << problem << '\n';
    if (line.json) {
      JsonPrinter printer(out, line.operation, line.dryRun);
      printer.AddMessage(problem);
      printer.Finish();
    }
    return Finished(out, err, kExitUsage);
  }
  if (line.dryRun) store.draft = std::make_shared<SettingsDraft>();
  TTheIniFile ini(&feedback);
  const Options stored = ReadOptions(ini, store);
  const int operation = line.operation.value_or(stored.operationIndex);

  BatchOptions options;
  options.createBak = line.backup.value_or(stored.createBak);
  options.ignoreMetaTags = line.ignoreMetaTags.value_or(stored.ignoreMetaTags);
  options.dryRun = line.dryRun;
  options.pagesAtOnce = line.jobs.value_or(kDefaultJobs);
  options.loadHtmlCodeList = MakeHtmlCodeListLoader(store);
  options.cancel = &StopRequested();

  // Messages that belong to no file: on standard error at once, in the JSON at its end.
  std::vector<std::string> runMessages;
  const auto problem = [&](const std::string& text) {
    feedback.Error(text);
    runMessages.push_back(text);
  };
  std::vector<FileListRow> rows;
  SilentFeedback scanFeedback;
  DiffPrinter diffPrinter(out);
  for (const auto& [path, kind] : paths) {
    if (kind == PathKind::kFile) {
      rows.push_back(MakeSingleFileRow(path, true));
      if (line.diff) diffPrinter.NameRows(rows.back().folder, rows, rows.size() - 1);
      continue;
    }
    const std::size_t firstRow = rows.size();
    std::vector<std::string> folders = {path};
    if (line.subfolders)
      CollectFolders(path.back() == '/' ? path : path + '/', folders, scanFeedback);
    for (const std::string& folder : folders) {
      if (!FolderListable(folder)) {
        std::string shown = folder;
        if (shown.size() > 1 && shown.back() == '/') shown.pop_back();
        problem(FormatText(Text(kFolderUnreadable), {shown}));
        continue;
      }
      ListFolder(folder, true, rows);
    }
    if (line.diff) diffPrinter.NameRows(path, rows, firstRow);
  }

  ListedRows<FileListRow> batchRows(std::move(rows));
  // A real run keeps what undo needs; it says first when it cannot keep all of it.
  RunUndo undo;
  if (!line.dryRun && !paths.empty()) {
    const auto& [first, kind] = paths.front();
    undo = PrepareRunUndo(stored, operation, kind == PathKind::kFile ? FolderOf(first) : first,
                          batchRows);
    if (undo.coverage.kind == UndoCoverage::Kind::kPartial) {
      err << undo.coverage.message << '\n' << std::flush;
      runMessages.push_back(undo.coverage.message);
    }
    options.journal = undo.journal.get();
  }
  bool ended = false;
  RunEnd end;
  const auto run = [&](BatchSink& sink) {
    try {
      end = RunBatch(OperationKinds()[operation].flags, batchRows, sink, feedback, options);
    } catch (const std::exception& error) {
      err << error.what() << '\n';
      runMessages.push_back(error.what());
      ended = true;
    }
    // Said on standard error, not counted among the problems: the exit status tells it.
    if (end.cancelled) {
      const std::string text = FormatText(
          Text(kCancelled), {std::to_string(end.filesDone), std::to_string(end.filesTicked)});
      err << text << '\n' << std::flush;
      runMessages.push_back(text);
    }
  };
  if (line.json) {
    JsonPrinter printer(out, operation, line.dryRun);
    run(printer);
    for (const std::string& text : runMessages) printer.AddMessage(text);
    printer.Finish(end.cancelled);
  } else if (line.diff) {
    run(diffPrinter);
  } else {
    // The table needs every row for its column widths.
    ResultsCollector results;
    run(results);
    out << RenderTable(results);
  }
  if (end.cancelled) return Finished(out, err, StopExitStatus());
  return Finished(out, err, ended || feedback.Count() > 0 ? kExitProblems : kExitOk);
}

}  // namespace vk::cli
