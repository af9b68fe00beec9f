// An undo shown as a run is shown: a row per page of the run through the run's BatchSink, then
// the two sums rows, so the window's results list and velkaro-batch present it like a run.
//   "Dateiname"      the page's file name (the row's path is its whole path)
//   "Größe"          its size before the undo
//   "Neue Größe"     its size after the undo (the old size again)
//   "Einsparung %"   computed from the two as a run does (negative where the run saved bytes)
//   "Sonderzeichen", "HTML-Code"   empty; their counts are 0
// A page left as it is has the same size in both, and its message, which goes to the feedback
// as a run's messages do.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "batch/batch_run.h"
#include "engine/feedback.h"
#include "journal/undo_journal.h"

namespace vk {

// UndoRun, reported to `sink` and `feedback`. The message of a status that undid nothing is the
// caller's to show. `stop`, when given and set, stops it before the next page.
UndoResult UndoRunToSink(const std::string& runsFolder, const std::optional<std::string>& id,
                         BatchSink& sink, Feedback& feedback,
                         const std::atomic<bool>* stop = nullptr);

// A run in one line, for a caption or a question:
// "31.12.2024 23:59:58, Dateien komprimieren, 12 Datei(en)".
std::string RunDescription(const RunSummary& run);

// The Edit menu's caption of the operation at `index`; "" outside 0..6.
std::string OperationCaption(int index);

}  // namespace vk
