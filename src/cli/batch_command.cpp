#include "cli/batch_command.h"

#include <QTemporaryDir>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>

#include "batch/batch_run.h"
#include "batch/regional_settings.h"
#include "cli/batch_options.h"
#include "cli/json_output.h"
#include "cli/results_collector.h"
#include "cli/table_output.h"
#include "engine/my_tools.h"
#include "engine/texts.h"
#include "fs/file_info.h"
#include "fs/replace_file.h"
#include "fs/writable.h"
#include "selection/folder_scan.h"
#include "settings/html_code_list_store.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/settings_file_io.h"
#include "settings/settings_store.h"

namespace vk::cli {
namespace {

constexpr const char* kNotFileNorFolder =
    QT_TRANSLATE_NOOP("vk::cli::RunBatchCommand", "Der Parameter ist keine Datei und kein Ordner!");

// Every message as one line on standard error, counted.
class StderrFeedback : public Feedback {
 public:
  explicit StderrFeedback(std::ostream& err) : err_(err) {}
  void Error(const std::string& text) override {
    err_ << text << '\n' << std::flush;
    ++count_;
  }
  int Count() const { return count_; }

 private:
  std::ostream& err_;
  int count_ = 0;
};

class ListRows : public BatchRows {
 public:
  explicit ListRows(const std::vector<FileListRow>& rows) : rows_(rows) {}
  int Count() const override { return static_cast<int>(rows_.size()); }
  bool Ticked(int row) const override { return rows_[row].ticked; }
  std::string Name(int row) const override { return rows_[row].name; }
  std::string Folder(int row) const override { return rows_[row].folder; }

 private:
  const std::vector<FileListRow>& rows_;
};

enum class PathKind { kFile, kFolder, kNeither };

PathKind KindOf(const std::string& path) {
  const std::optional<FileInfo> info = InfoOf(path);
  if (!info) return PathKind::kNeither;
  if (info->kind == FileInfo::Kind::kFile) return PathKind::kFile;
  if (info->kind == FileInfo::Kind::kFolder) return PathKind::kFolder;
  return PathKind::kNeither;
}

// The settings file a run uses. A dry run works on a copy in a private folder, so that nothing
// the store does (making the file writable, evening out the code list) reaches the real one,
// while the run shows the messages the real run would (the store's own rare messages about a
// file it cannot write name the copy).
class SettingsSource {
 public:
  SettingsSource(const std::optional<std::string>& file, bool dryRun) {
    store_ = file ? SettingsStoreForFile(AbsolutePath(*file)) : UserSettingsStore();
    if (!dryRun) return;
    const std::string real = store_.location == TIniLocation::loUser
                                 ? store_.fileName
                                 : store_.defFilePath + store_.fileName;
    copyFolder_.emplace();
    if (!copyFolder_->isValid()) return;
    const std::string copy = copyFolder_->path().toStdString() + "/Velkaro.ini";
    std::string content;
    if (ReadSettingsFile(real, &content).ok()) {
      // The copy keeps the real file's protection, so the store treats both alike.
      const bool readOnly = !IsWritableFile(real);
      ReplaceFile(copy, content, readOnly ? CreatingRules(0444) : CreatingRules());
    }
    store_ = SettingsStoreForFile(copy);
  }
  const SettingsStore& Store() const { return store_; }
  // False when a dry run found no place for its copy.
  bool ok() const { return !copyFolder_ || copyFolder_->isValid(); }

 private:
  std::optional<QTemporaryDir> copyFolder_;
  SettingsStore store_;
};

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
    return kExitOk;
  }
  if (line.version) {
    out << VersionText();
    return kExitOk;
  }

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
  const SettingsSource settings(line.settingsFile, line.dryRun);
  if (!settings.ok()) {
    err << "velkaro-batch: no temporary folder for the dry run's copy of the settings\n";
    return kExitProblems;
  }
  const SettingsStore& store = settings.Store();
  TTheIniFile ini(&feedback);
  const Options stored = ReadOptions(ini, store);
  const int operation = line.operation.value_or(stored.operationIndex);

  BatchOptions options;
  options.createBak = line.backup.value_or(stored.createBak);
  options.ignoreMetaTags = line.ignoreMetaTags.value_or(stored.ignoreMetaTags);
  options.dryRun = line.dryRun;
  options.pagesAtOnce = line.jobs.value_or(kDefaultJobs);
  options.loadHtmlCodeList = MakeHtmlCodeListLoader(store);

  std::vector<FileListRow> rows;
  SilentFeedback scanFeedback;
  for (const auto& [path, kind] : paths) {
    if (kind == PathKind::kFile) {
      rows.push_back(MakeSingleFileRow(path, true));
    } else {
      ScanFolder(path, true, line.subfolders, rows, scanFeedback);
    }
  }

  ListRows batchRows(rows);
  bool ended = false;
  const auto run = [&](BatchSink& sink) {
    try {
      RunBatch(OperationKinds()[operation].flags, batchRows, sink, feedback, options);
    } catch (const std::exception& error) {
      err << error.what() << '\n';
      ended = true;
    }
  };
  if (line.json) {
    JsonPrinter printer(out, operation, line.dryRun);
    run(printer);
    printer.Finish();
  } else {
    // The table needs every row for its column widths.
    ResultsCollector results;
    run(results);
    out << RenderTable(results);
  }
  out.flush();
  return ended || feedback.Count() > 0 ? kExitProblems : kExitOk;
}

}  // namespace vk::cli
