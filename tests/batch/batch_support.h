// What the batch tests share: a file list held in a vector, a sink that records every call,
// and a feedback whose yields can run a piece of the test (a click during the run).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "engine/my_tools.h"
#include "support/test_support.h"

namespace vk::test {

class RecordingSink : public BatchSink {
 public:
  void ClearResults() override { events.push_back("clear"); }
  void FileStarted(const std::string& name) override { events.push_back("start " + name); }
  void PageChanged(const std::string& path, std::string_view oldBytes, std::string_view newBytes,
                   PageEncoding) override {
    changes.push_back({path.substr(path.rfind('/') + 1), std::string(oldBytes),
                       std::string(newBytes), rows.size()});
  }
  void AddRow(const ResultRow& row) override {
    events.push_back("row " + row.name);
    rows.push_back(row);
  }
  void AddSumRows(const ResultRow& title, const ResultRow& totals) override {
    events.push_back("sums");
    sums.push_back(title);
    sums.push_back(totals);
  }

  std::vector<std::string> events;
  std::vector<ResultRow> rows;
  std::vector<ResultRow> sums;
  struct Change {
    std::string name;
    std::string oldBytes;
    std::string newBytes;
    std::size_t rowsBefore;  // the rows reported before it
    bool operator==(const Change&) const = default;
  };
  std::vector<Change> changes;
};

// The six visible cells of a row, in column order.
inline std::vector<std::string> Cells(const ResultRow& row) {
  return {row.name, row.sizeBefore, row.sizeAfter, row.saving, row.specialChars, row.htmlCode};
}

class ScriptedFeedback : public RecordingFeedback {
 public:
  void Yield() override {
    RecordingFeedback::Yield();
    if (onYield) onYield(yields);
  }
  std::function<void(int)> onYield;  // gets the number of yields so far
};

inline const ProcessFlags& Flags(int operation) { return OperationKinds()[operation].flags; }

// A loader for the run made of one that gives the list by value.
template <typename Load>
std::function<SharedHtmlCodeList(Feedback&)> SharedList(Load load) {
  return [load](Feedback& feedback) -> SharedHtmlCodeList {
    return std::make_shared<const HtmlCodeList>(load(feedback));
  };
}

// A page of `size` bytes holding `marks` times the ten-byte mark the test list deletes.
inline std::string PageWithMarks(std::size_t size, int marks) {
  std::string page;
  for (int i = 0; i < marks; ++i) page += "0123456789" + std::string(90, 'x');
  page.resize(size, 'y');
  return page;
}

// A run whose code list deletes the mark; `loads` counts the loads.
inline BatchOptions DeleteMarks(int* loads = nullptr) {
  BatchOptions options;
  options.loadHtmlCodeList = SharedList([loads](Feedback&) {
    if (loads != nullptr) ++*loads;
    return HtmlCodeList{{"0123456789"}, {""}};
  });
  return options;
}

// A run's tests: a throwaway folder, a recording sink and feedback, the German separator.
class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override { MyTools().SetThousandsSeparator("."); }
  TempDir dir;
  RecordingSink sink;
  ScriptedFeedback feedback;
};

// Modification time in nanoseconds.
inline long long MTimeOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return -1;
  return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

// Sets the modification time far back, so any rewrite shows.
inline void AgeFile(const std::string& path) {
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace vk::test
