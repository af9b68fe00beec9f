// The results as one JSON object, for scripts:
//   {"operation": N, "dry_run": bool,
//    "files": [{"path", "name", "size_before", "size_after", "saving_percent",
//               "special_chars", "html_code", "encoding", "messages": [..]}],
//    "sums": {"files", "size_before", "size_after", "saving_percent", "special_chars",
//             "html_code"}}
// Sizes are byte counts (-1 for a missing file). "encoding" is what the page's bytes were read
// as, "utf-8" or "windows-1252", and null for a page that could not be read. "saving_percent"
// of the sums is null when the old total is 0. A file the run did not finish has null in its
// after-run fields, and "sums" is null when the run ended early.
#pragma once

#include <string>
#include <string_view>

#include "cli/results_collector.h"

namespace vk::cli {

std::string RenderJson(const ResultsCollector& results, int operation, bool dryRun);

// `text` as a JSON string literal. Valid UTF-8 passes as it is; a byte that is not part of a
// valid UTF-8 sequence (a file name from a Windows-1252 site) is taken as its Windows-1252
// character.
std::string JsonString(std::string_view text);

}  // namespace vk::cli
