// velkaro-batch --diff: the unified diff of every page the run changed (or, in a dry run, would
// change), printed as the run reports the page, so that `patch -p1` in a copy of the folder
// given on the command line turns its pages into exactly the new ones.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "batch/batch_run.h"
#include "selection/folder_scan.h"

namespace vk::cli {

class DiffPrinter : public BatchSink {
 public:
  explicit DiffPrinter(std::ostream& out) : out_(out) {}

  // The pages of rows[from..] were found under `base` (a folder given on the command line, or
  // the folder of a file given): their diffs name them relative to it. A page listed twice
  // keeps the name it was first given.
  void NameRows(const std::string& base, const std::vector<FileListRow>& rows, std::size_t from);

  void PageChanged(const std::string& path, std::string_view oldBytes, std::string_view newBytes,
                   PageEncoding encoding) override;
  void AddRow(const ResultRow&) override {}
  void AddSumRows(const ResultRow&, const ResultRow&) override {}

 private:
  std::ostream& out_;
  std::unordered_map<std::string, std::string> names_;  // a page's path -> its name in the diff
  std::string text_;                                    // one page's diff, reused
};

}  // namespace vk::cli
