// The batch run: one operation over every ticked row of the file list, reported row by row to
// a sink. The window's results list, velkaro-batch's output and the tests are sinks of the
// same run.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/operation_kinds.h"
#include "batch/run_journal.h"
#include "engine/encoding.h"
#include "engine/feedback.h"
#include "engine/html_code_list.h"

namespace vk {

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
  // A file row: the number in its saving cell. The totals row: nullopt when the old total is
  // 0 (its saving and count cells are then empty).
  std::optional<std::int64_t> savingPercent;
  std::int64_t specialCount = 0;
  std::int64_t htmlCount = 0;
  std::vector<std::string> messages;  // what was shown to the user while this file ran
  // What the page's bytes were read as; none when it could not be read.
  std::optional<PageEncoding> encoding;
  // False only for the row of a file whose processing ended in an exception: it has its name,
  // path and "Größe", nothing else.
  bool complete = true;
};

// 100 - (newSize * 100) div oldSize in 64-bit arithmetic, div truncating toward zero;
// nullopt when oldSize is 0 (the division fails).
std::optional<std::int64_t> SavingPercent(std::int64_t oldSize, std::int64_t newSize);

// The two sums rows: "**Summen**" with no further cells, and "<fileRows> Datei(en)" with the
// size texts of the totals, the saving over them and the two count sums. When the old total is
// 0 the saving and count cells stay empty (the failed division ends the row there).
std::array<ResultRow, 2> SumRows(int fileRows, std::int64_t oldTotal, std::int64_t newTotal,
                                 std::int64_t specialSum, std::int64_t htmlSum);

// The file list as the run sees it. Tick states are read when the run reaches a row.
class BatchRows {
 public:
  virtual ~BatchRows() = default;
  virtual int Count() const = 0;
  virtual bool Ticked(int row) const = 0;
  virtual std::string Name(int row) const = 0;    // "Dateiname"
  virtual std::string Folder(int row) const = 0;  // "Ort"
};

// A row of a list held in memory.
struct ListedRow {
  bool ticked = true;
  std::string name;
  std::string folder;
};

// The rows of a list held in memory: any row type with `ticked`, `name` and `folder`.
template <typename Row = ListedRow>
class ListedRows : public BatchRows {
 public:
  explicit ListedRows(std::vector<Row> rows) : rows(std::move(rows)) {}
  int Count() const override { return static_cast<int>(rows.size()); }
  bool Ticked(int row) const override { return rows.at(row).ticked; }
  std::string Name(int row) const override { return rows.at(row).name; }
  std::string Folder(int row) const override { return rows.at(row).folder; }

  std::vector<Row> rows;
};

// Receives the run's results.
class BatchSink {
 public:
  virtual ~BatchSink() = default;
  virtual void ClearResults() {}
  // Before a ticked row is processed: the status line shows "Datei: " + name.
  virtual void FileStarted(const std::string& /*name*/) {}
  // Just before the row of a page whose content the run changed (a dry run: would change):
  // the bytes read and the bytes written. Not for a page whose write failed. The views are
  // valid during the call only.
  virtual void PageChanged(const std::string& /*path*/, std::string_view /*oldBytes*/,
                           std::string_view /*newBytes*/, PageEncoding /*encoding*/) {}
  // Whether PageChanged needs the bytes read. A sink that says no gets them empty, and the run
  // lets go of a page's old bytes as soon as a step changed it (where no backup needs them).
  virtual bool KeepsOldBytes() const { return true; }
  // After the file is done (or, with complete false, when an exception ended the run in it).
  virtual void AddRow(const ResultRow& row) = 0;
  // "**Summen**" and "N Datei(en)" with the totals; cells left empty where the saving
  // division failed.
  virtual void AddSumRows(const ResultRow& title, const ResultRow& totals) = 0;
};

// Places where the tests step into the write path of a run; empty in every real run.
struct RunSeams {
  // After a page's steps ran, on the thread that ran them (a helper when pages are in hand).
  std::function<void(const std::string& path)> afterPrepare;
  // Before a page's check and renames, on the run's thread.
  std::function<void(const std::string& path)> beforeCommit;
};

struct BatchOptions {
  bool createBak = false;
  bool ignoreMetaTags = false;
  // Loads the code list, once per file processed with replacement. It shows its messages
  // through the feedback it is given, so they count among the messages of that file. The list
  // it gives is shared by the pages in hand.
  std::function<SharedHtmlCodeList(Feedback&)> loadHtmlCodeList;
  bool dryRun = false;  // change nothing on disk (no page, no backup); report what a run would do
  // How many pages the run may have in hand at once. With 1 every page is transformed and
  // written on the calling thread before the next row starts. With n, helper threads
  // transform and stage up to n pages while the run goes on with the next rows, so the file
  // system commits their syncs together and the transformations use every core. Rows,
  // messages and files stay exactly the same: the code list is still loaded on the calling
  // thread for each file in row order, a page is never looked at again (under any name) while
  // it is in hand, pages are renamed into place and reported in row order, so FileStarted may
  // run a few rows ahead of AddRow. The yields inside the transformations are not passed on
  // from the helpers; the one yield per file is.
  int pagesAtOnce = 1;
  // The bytes the pages in hand may take together (their bytes, new contents and working
  // copies, see PageRun::BytesInHand); a page bigger than that runs alone. 0: the smaller of
  // 512 MB and a quarter of the physical memory.
  std::size_t memoryBudget = 0;
  // Told about every page replaced (from the helpers too); none in a dry run.
  RunJournal* journal = nullptr;
  // Set from anywhere to stop the run: no row is started after it is seen (it is looked at
  // before each ticked row); the pages in hand are finished, and the sums rows cover the rows
  // done.
  const std::atomic<bool>* cancel = nullptr;
  RunSeams seams;
};

// The default memory budget: the smaller of 512 MB and a quarter of the physical memory.
std::size_t DefaultMemoryBudget();

// Walks the rows in order and processes every ticked one: measurement, one yield, replace ->
// convert -> compress as the flags say, measurement again; then the two sums rows. Each page is
// read once and transformed in memory; a page that changed reaches the disk by the one way of
// writing a page (PageWrite: new file with the page's attributes, synced, checked, renamed),
// with its backup beside it when asked for, and is reported with the messages, counts and bytes
// of running the three steps one after the other on disk. Before the first page of a folder is
// written, what a killed run left there is removed; the folders renamed in are synced before
// the sums rows. Messages go to `feedback` and into the file's row. An exception (from the
// list loader, or from a helper) ends the run at its row: the rows ahead are finished, that row
// is reported incomplete, the pages behind it are left untouched and get no row, no sums rows
// follow, and the exception passes on. The completion message and the status line after the
// run are the caller's.
struct RunEnd {
  bool cancelled = false;
  int filesDone = 0;    // the file rows reported
  int filesTicked = 0;  // those and the ticked rows the run did not reach
};
RunEnd RunBatch(const ProcessFlags& flags, BatchRows& rows, BatchSink& sink, Feedback& feedback,
                const BatchOptions& options);

}  // namespace vk
