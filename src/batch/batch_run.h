// The batch run: one operation over every ticked row of the file list, reported row by row to
// a sink. The window's results list, velkaro-batch's output and the tests are sinks of the
// same run.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/feedback.h"
#include "engine/html_code_list.h"

namespace vk {

struct ProcessFlags {
  bool convert = false;   // special characters
  bool compress = false;  // compression
  bool replace = false;   // HTML code replacement
};

struct OperationKind {
  int index;
  std::string_view menuName;  // e.g. "HTMLTagsentfernen1"
  std::string_view caption;   // the Edit menu's caption, UTF-8
  std::string_view handler;   // e.g. "HTMLTagsentfernen1Click"
  ProcessFlags flags;
};

// The seven operations in the Edit menu's order.
const std::array<OperationKind, 7>& OperationKinds();

// One row of the results list: six cells, the path of its file (empty for the sums rows) and
// the numbers behind the cells.
struct ResultRow {
  std::string name;          // "Dateiname"
  std::string sizeBefore;    // "Größe"
  std::string sizeAfter;     // "Neue Größe"
  std::string saving;        // "Einsparung %"
  std::string specialChars;  // "Sonderzeichen"
  std::string htmlCode;      // "HTML-Code"
  std::string path;

  std::int64_t bytesBefore = 0;
  std::int64_t bytesAfter = 0;
  std::optional<std::int64_t> savingPercent;
  std::int64_t specialCount = 0;
  std::int64_t htmlCount = 0;
  std::vector<std::string> messages;  // what was shown to the user while this file ran
};

// 100 - (newSize * 100) / oldSize, truncating toward zero; nullopt when oldSize is 0.
std::optional<std::int64_t> SavingPercent(std::int64_t oldSize, std::int64_t newSize);

// The file list as the run sees it. Tick states are read when the run reaches a row.
class BatchRows {
 public:
  virtual ~BatchRows() = default;
  virtual int Count() const = 0;
  virtual bool Ticked(int row) const = 0;
  virtual std::string Name(int row) const = 0;    // "Dateiname"
  virtual std::string Folder(int row) const = 0;  // "Ort"
};

// Receives the run's results.
class BatchSink {
 public:
  virtual ~BatchSink() = default;
  virtual void ClearResults() {}
  // Before a ticked row is processed: the status line shows "Datei: " + name.
  virtual void FileStarted(const std::string& /*name*/) {}
  virtual void AddRow(const ResultRow& row) = 0;
  // "**Summen**" and "N Datei(en)" with the totals; cells left empty where the saving
  // division failed.
  virtual void AddSumRows(const ResultRow& title, const ResultRow& totals) = 0;
};

struct BatchOptions {
  bool createBak = false;
  bool ignoreMetaTags = false;
  HtmlCodeListLoader loadHtmlCodeList;  // called once per file processed with replacement
  bool dryRun = false;                  // change nothing on disk; report what a run would do
};

// Walks the rows in order and processes every ticked one: backup, measurement, replace ->
// convert -> compress as the flags say, measurement again; then the two sums rows. Messages go
// to `feedback`. An exception from the list loader ends the run (no sums rows) and passes on.
void RunBatch(const ProcessFlags& flags, BatchRows& rows, BatchSink& sink, Feedback& feedback,
              const BatchOptions& options);

// Copies `path` to `path + ".bak"`, overwriting; the outcome is ignored.
void MakeBackup(const std::string& path);

}  // namespace vk
