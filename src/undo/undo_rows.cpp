#include "undo/undo_rows.h"

#include "batch/operation_kinds.h"
#include "engine/my_tools.h"
#include "engine/texts.h"
#include "journal/runs_folder.h"

namespace vk {
namespace {

class RowsObserver : public UndoObserver {
 public:
  RowsObserver(BatchSink& sink, Feedback& feedback, const std::atomic<bool>* stop)
      : sink_(sink), feedback_(feedback), stop_(stop) {}

  bool Stopped() const override { return stop_ != nullptr && stop_->load(); }

  void PageStarted(const std::string& path) override {
    sink_.FileStarted(NameOf(path));
    feedback_.Yield();
  }

  void PageDone(const UndoPage& page) override {
    ResultRow row;
    row.name = NameOf(page.path);
    row.path = page.path;
    row.bytesBefore = page.sizeBefore;
    row.bytesAfter = page.sizeAfter;
    row.sizeBefore = MyTools().SizeText(page.sizeBefore);
    row.sizeAfter = MyTools().SizeText(page.sizeAfter);
    row.savingPercent = SavingPercent(page.sizeBefore, page.sizeAfter).value_or(0);
    row.saving = std::to_string(*row.savingPercent);
    if (!page.message.empty()) {
      row.messages.push_back(page.message);
      feedback_.Error(page.message);
    }
    oldTotal_ += row.bytesBefore;
    newTotal_ += row.bytesAfter;
    ++rows_;
    sink_.AddRow(row);
  }

  void Finish() {
    std::array<ResultRow, 2> sums = SumRows(rows_, oldTotal_, newTotal_, 0, 0);
    sums[1].specialChars.clear();
    sums[1].htmlCode.clear();
    sink_.AddSumRows(sums[0], sums[1]);
  }

 private:
  static std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  BatchSink& sink_;
  Feedback& feedback_;
  const std::atomic<bool>* stop_;
  int rows_ = 0;
  std::int64_t oldTotal_ = 0;
  std::int64_t newTotal_ = 0;
};

}  // namespace

UndoResult UndoRunToSink(const std::string& runsFolder, const std::optional<std::string>& id,
                         BatchSink& sink, Feedback& feedback, const std::atomic<bool>* stop) {
  sink.ClearResults();
  RowsObserver observer(sink, feedback, stop);
  UndoResult result = UndoRun(runsFolder, id, observer);
  if (result.status == UndoResult::Status::kUndone ||
      result.status == UndoResult::Status::kPagesLeft) {
    observer.Finish();
  }
  return result;
}

std::string OperationCaption(int index) {
  if (index < 0 || index >= kOperationCount) return "";
  return Translate("vk::TVKMain", OperationKinds()[static_cast<std::size_t>(index)].caption);
}

std::string RunDescription(const RunSummary& run) {
  return RunTimeText(run.timeNs) + ", " + OperationCaption(run.operation) + ", " +
         FormatText(Translate("vk::RunBatch", QT_TRANSLATE_NOOP("vk::RunBatch", "%1 Datei(en)")),
                    {std::to_string(run.pages)});
}

}  // namespace vk
