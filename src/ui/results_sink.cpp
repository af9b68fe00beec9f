#include "ui/results_sink.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <algorithm>

#include "selection/file_names.h"
#include "ui/page_changes.h"
#include "ui/results_view.h"

namespace vk {
namespace {

constexpr qint64 kShowMilliseconds = 100;

}  // namespace

ResultsSink::ResultsSink(ResultsView& results, QProgressBar& progress, PageChanges& changes,
                         std::function<void(const QString&)> status)
    : results_(results), progress_(progress), changes_(changes), status_(std::move(status)) {}

void ResultsSink::ClearResults() {
  results_.ClearResults();
  results_.setUpdatesEnabled(false);  // one repaint when the run is through
  changes_.Clear();
  rows_ = 0;
  done_ = 0;
}

void ResultsSink::FileStarted(const std::string& name) {
  file_ = name;
  fileShown_ = false;
  Show(!shown_.isValid());  // the first file at once
}

void ResultsSink::PageChanged(const std::string& path, std::string_view oldBytes,
                              std::string_view newBytes, PageEncoding encoding) {
  changes_.Add(rows_, path, oldBytes, newBytes, encoding);  // its row comes next
}

bool ResultsSink::KeepsOldBytes() const { return changes_.KeepsTexts(); }

void ResultsSink::AddRow(const ResultRow& row) {
  results_.AddResult(row);
  ++rows_;
  ++done_;
  Show(false);
}

void ResultsSink::AddSumRows(const ResultRow& title, const ResultRow& totals) {
  results_.AddResult(title);
  results_.AddResult(totals);
  rows_ += 2;
  Show(true);
}

void ResultsSink::Show(bool now) {
  if (!now && shown_.isValid() && shown_.elapsed() < kShowMilliseconds) return;
  shown_.start();
  if (!fileShown_) {
    status_(QCoreApplication::translate("vk::TVKMain", "Datei: %1").arg(NameText(file_)));
    fileShown_ = true;
  }
  // A tick added during the run may make the count grow past the files ticked at its start.
  progress_.setMaximum(std::max(progress_.maximum(), done_));
  progress_.setValue(done_);
}

}  // namespace vk
