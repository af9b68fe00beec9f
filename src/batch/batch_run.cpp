#include "batch/batch_run.h"

#include <string>
#include <utility>

#include "batch/page_run.h"
#include "engine/my_tools.h"
#include "selection/folder_scan.h"

namespace vk {
namespace {

// Shows the messages of one file and keeps them in its row.
class RowFeedback : public Feedback {
 public:
  RowFeedback(Feedback& target, std::vector<std::string>& messages)
      : target_(target), messages_(messages) {}
  void Error(const std::string& text) override {
    messages_.push_back(text);
    target_.Error(text);
  }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }

 private:
  Feedback& target_;
  std::vector<std::string>& messages_;
};

std::function<HtmlCodeList(Feedback&)> ListLoaderOf(const BatchOptions& options) {
  if (options.loadHtmlCodeListWith) return options.loadHtmlCodeListWith;
  if (options.loadHtmlCodeList) {
    return [&load = options.loadHtmlCodeList](Feedback&) { return load(); };
  }
  return {};
}

}  // namespace

std::optional<std::int64_t> SavingPercent(std::int64_t oldSize, std::int64_t newSize) {
  if (oldSize == 0) return std::nullopt;
  // Wraps like the original 64-bit arithmetic instead of overflowing into undefined behaviour;
  // no real size comes near it.
  const std::uint64_t scaled = static_cast<std::uint64_t>(newSize) * 100u;
  if (oldSize == -1) return static_cast<std::int64_t>(100u + scaled);
  const std::int64_t quotient = static_cast<std::int64_t>(scaled) / oldSize;
  return static_cast<std::int64_t>(100u - static_cast<std::uint64_t>(quotient));
}

std::array<ResultRow, 2> SumRows(int fileRows, std::int64_t oldTotal, std::int64_t newTotal,
                                 std::int64_t specialSum, std::int64_t htmlSum) {
  std::array<ResultRow, 2> rows;
  rows[0].name = "**Summen**";
  ResultRow& totals = rows[1];
  totals.name = std::to_string(fileRows) + " Datei(en)";
  totals.sizeBefore = MyTools().SizeText(oldTotal);
  totals.sizeAfter = MyTools().SizeText(newTotal);
  totals.bytesBefore = oldTotal;
  totals.bytesAfter = newTotal;
  totals.specialCount = specialSum;
  totals.htmlCount = htmlSum;
  totals.savingPercent = SavingPercent(oldTotal, newTotal);
  // The failed division ends the row: no saving, and no counts behind it.
  if (totals.savingPercent) {
    totals.saving = std::to_string(*totals.savingPercent);
    totals.specialChars = std::to_string(specialSum);
    totals.htmlCode = std::to_string(htmlSum);
  }
  return rows;
}

void RunBatch(const ProcessFlags& flags, BatchRows& rows, BatchSink& sink, Feedback& feedback,
              const BatchOptions& options) {
  sink.ClearResults();
  PageJob job;
  job.flags = flags;
  job.ignoreMetaTags = options.ignoreMetaTags;
  job.dryRun = options.dryRun;
  job.loadList = ListLoaderOf(options);

  const TMyTools& tools = MyTools();
  std::int64_t oldTotal = 0;
  std::int64_t newTotal = 0;
  std::int64_t specialSum = 0;
  std::int64_t htmlSum = 0;
  int fileRows = 0;
  // Set once per run; a file processed with replacement overwrites it.
  std::int64_t htmlCount = 0;

  const int count = rows.Count();
  for (int index = 0; index < count; ++index) {
    if (!rows.Ticked(index)) continue;
    ResultRow row;
    row.name = rows.Name(index);
    sink.FileStarted(row.name);
    std::int64_t specialCount = 0;
    row.path = FullPath(rows.Folder(index), row.name);
    RowFeedback rowFeedback(feedback, row.messages);

    row.bytesBefore = tools.FileSizeOf(row.path);
    oldTotal += row.bytesBefore;
    row.sizeBefore = tools.SizeText(row.bytesBefore);
    if (options.createBak && !options.dryRun) MakeBackup(row.path);
    feedback.Yield();

    PageOutcome outcome;
    try {
      outcome = ProcessPage(row.path, job, rowFeedback);
    } catch (...) {
      row.complete = false;
      sink.AddRow(row);
      throw;
    }
    if (flags.replace) htmlCount = outcome.htmlCount;
    if (flags.convert) specialCount = outcome.specialCount;

    row.bytesAfter = outcome.sizeAfter;
    newTotal += row.bytesAfter;
    row.sizeAfter = tools.SizeText(row.bytesAfter);
    row.savingPercent = SavingPercent(row.bytesBefore, row.bytesAfter).value_or(0);
    row.saving = std::to_string(*row.savingPercent);
    row.specialCount = specialCount;
    row.htmlCount = htmlCount;
    row.specialChars = std::to_string(specialCount);
    row.htmlCode = std::to_string(htmlCount);
    specialSum += specialCount;
    htmlSum += htmlCount;
    ++fileRows;
    sink.AddRow(row);
  }

  const std::array<ResultRow, 2> sums = SumRows(fileRows, oldTotal, newTotal, specialSum, htmlSum);
  sink.AddSumRows(sums[0], sums[1]);
}

}  // namespace vk
