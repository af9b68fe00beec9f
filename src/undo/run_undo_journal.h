// The undo journal as a batch run sees it: a RunJournal that records each page the run is about
// to replace in the run's journal file (JournalWriter) and syncs it when the run asks. Started
// before a real run (never for a dry run or a preview), after the older journals beyond the
// limits of the options are removed; a run that recorded no page leaves no journal.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "batch/batch_run.h"
#include "batch/run_journal.h"
#include "journal/journal_writer.h"
#include "journal/undo_coverage.h"
#include "settings/options.h"

namespace vk {

class RunUndoJournal final : public RunJournal {
 public:
  explicit RunUndoJournal(std::unique_ptr<JournalWriter> writer);
  // Removes the journal when no page was recorded.
  ~RunUndoJournal() override;

  // Records the page (from any thread). A journal that cannot be written keeps the page
  // unchanged (its status is the page's failure): no page is replaced that undo would not know
  // of.
  FileStatus Record(const Page& page) override;
  std::unique_ptr<Packed> Pack(const std::string& path, std::string_view oldBytes) override;
  FileStatus Sync() override;

  const JournalWriter& Writer() const { return *writer_; }

 private:
  std::unique_ptr<JournalWriter> writer_;
  std::atomic<std::int64_t> recorded_{0};
};

// What a real run gets before it starts: its journal, and whether it can be undone
// completely. kPartial when the pages' old bytes may not fit under the limits of the options
// (judged from their sizes now) and also when no journal can be made (the run then goes on
// without one); kOff when the options keep no journal.
struct RunUndo {
  UndoCoverage coverage;  // for kPartial: velkaro-batch's message, the window's question
  std::unique_ptr<RunUndoJournal> journal;
};

// Starts the journal of a run of `operation` (the Edit menu's index) over `folder` (raw bytes)
// and the ticked rows of `rows` in `runsFolder`, removing the oldest journals beyond the limits
// of `options`.
RunUndo PrepareRunUndo(const Options& options, int operation, const std::string& folder,
                       const BatchRows& rows, const std::string& runsFolder = RunsFolder());

}  // namespace vk
