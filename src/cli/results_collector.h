// Keeps what a batch run reports, so that the table, which needs every row for its column
// widths, can be printed when the run is over.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "batch/batch_run.h"

namespace vk::cli {

class ResultsCollector : public BatchSink {
 public:
  void ClearResults() override {
    rows_.clear();
    sums_.reset();
  }
  bool KeepsOldBytes() const override { return false; }
  void AddRow(const ResultRow& row) override { rows_.push_back(row); }
  void AddSumRows(const ResultRow& title, const ResultRow& totals) override {
    sums_.emplace(title, totals);
  }

  const std::vector<ResultRow>& Rows() const { return rows_; }
  // Absent when the run ended early.
  const std::optional<std::pair<ResultRow, ResultRow>>& Sums() const { return sums_; }

 private:
  std::vector<ResultRow> rows_;
  std::optional<std::pair<ResultRow, ResultRow>> sums_;
};

}  // namespace vk::cli
