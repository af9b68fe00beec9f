// The window's sink of a run: fills the results list, keeps each changed page's old and new
// text for the diff dialog, and shows the file being worked on and the progress. Status text
// and progress bar follow a few times a second, not with every file: painting them per file
// costs more than a small page's whole run.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <string>

#include "batch/batch_run.h"

class QProgressBar;

namespace vk {

class PageChanges;
class ResultsView;

class ResultsSink : public BatchSink {
 public:
  ResultsSink(ResultsView& results, QProgressBar& progress, PageChanges& changes,
              std::function<void(const QString&)> status);

  void ClearResults() override;
  void FileStarted(const std::string& name) override;
  void PageChanged(const std::string& path, std::string_view oldBytes, std::string_view newBytes,
                   PageEncoding encoding) override;
  bool KeepsOldBytes() const override;
  void AddRow(const ResultRow& row) override;
  void AddSumRows(const ResultRow& title, const ResultRow& totals) override;

 private:
  // Shows the latest file and count when the last showing is long enough ago (or `now`).
  void Show(bool now);

  ResultsView& results_;
  QProgressBar& progress_;
  PageChanges& changes_;
  std::function<void(const QString&)> status_;
  QElapsedTimer shown_;
  std::string file_;       // the latest file started
  bool fileShown_ = true;  // the status text shows file_
  int rows_ = 0;           // file and sums rows added
  int done_ = 0;           // file rows added
};

}  // namespace vk
