// The results as one JSON object for scripts, written while the run reports them:
//   {"operation": N, "dry_run": bool,
//    "files": [{"path", ["path_bytes",] "name", "size_before", "size_after", "saving_percent",
//               "special_chars", "html_code", "encoding", "messages": [..]}],
//    "sums": {"files", "size_before", "size_after", "saving_percent", "special_chars",
//             "html_code"},
//    "cancelled": bool, "messages": [..]}
// "path_bytes" (base64 of the path's bytes) comes only with a path that is not well-formed UTF-8;
// "path" and "name" show such bytes as their Windows-1252 characters. Sizes are byte counts (-1
// for a missing file). "encoding" is what the page's bytes were read
// as, "utf-8" or "windows-1252", and null for a page that could not be read. "saving_percent"
// of the sums is null when the old total is 0. A file the run did not finish has null in its
// after-run fields, and "sums" is null when the run ended early. The last "messages" are those
// that belong to no file (a settings file that cannot be used, a folder that cannot be listed,
// the error that ended the run, the note of a cancelled run); "operation" is null when the run
// never got to know it. "cancelled" is true when a signal stopped the run before its last row.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_run.h"

namespace vk::cli {

// A sink of the run that prints as it goes: the opening when it is made, each file's object as
// its row arrives (flushed, so a reader at the other end of a pipe sees it at once), and the
// sums and the closing in Finish, which ends the object also after a run that ended early.
class JsonPrinter : public BatchSink {
 public:
  JsonPrinter(std::ostream& out, std::optional<int> operation, bool dryRun);

  bool KeepsOldBytes() const override { return false; }
  void AddRow(const ResultRow& row) override;
  void AddSumRows(const ResultRow& title, const ResultRow& totals) override;
  // A message that belongs to no file.
  void AddMessage(const std::string& text) { messages_.push_back(text); }
  void Finish(bool cancelled = false);

 private:
  std::ostream& out_;
  std::size_t rows_ = 0;
  std::optional<ResultRow> totals_;
  std::vector<std::string> messages_;
};

// `text` as a JSON string literal. Valid UTF-8 passes as it is; a byte that is not part of a
// valid UTF-8 sequence (a file name from a Windows-1252 site) is taken as its Windows-1252
// character.
std::string JsonString(std::string_view text);

}  // namespace vk::cli
