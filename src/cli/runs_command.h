// velkaro-batch --runs and --undo: the runs kept for undo, and taking one of them back, with
// the table or JSON and the exit status of a run.
#pragma once

#include <ostream>

#include "cli/batch_options.h"

namespace vk::cli {

// The table (or with --json: {"runs": [{"id", "time", "operation", "folder", "pages",
// "page_bytes", "bytes", "complete", "undone", "busy"}]}), newest first. Exit 0.
int ListRunsCommand(const CommandLine& line, std::ostream& out, std::ostream& err);

// Undoes the run and prints its rows as a run's: the table, or with --json
//   {"undo": {"id", "time", "operation", "folder"} or null,
//    "result": <the object a run prints>, "undone": bool, "error": text or null}
// Page messages and the reason nothing was undone go to `err`. Exit 0 when every page was
// restored, 1 when a page was left with a message or nothing could be undone, 2 for an ID that
// names no run.
int UndoCommand(const CommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace vk::cli
