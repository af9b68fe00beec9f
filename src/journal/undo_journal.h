// Taking a run back from its journal. A page is restored only while its bytes are still the ones
// the run wrote (their SHA-256); a page changed since is left as it is, with a message, so a
// later edit is never lost. Restoring is a safe rewrite (ReplaceGroup: new file, synced,
// renamed, owner, mode and extended attributes kept), so an undo killed at any instant leaves
// every page as the run left it or restored, and running it again finishes the work: a page
// already restored holds the old bytes again and counts as done.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "journal/journal_reader.h"

namespace vk {

// One page of an undo.
struct UndoPage {
  enum class Outcome {
    kRestored,     // now holds its old bytes again
    kWasRestored,  // held its old bytes already (an earlier undo, or a run killed before it)
    kLeft,         // changed since the run, gone, or not kept: left for good, with a message
    kFailed,       // could not be restored now (read-only, disk full): with a message
  };
  Outcome outcome = Outcome::kFailed;
  std::string path;
  // The page's size before the undo and after it; -1 for a page that is not there.
  std::int64_t sizeBefore = -1;
  std::int64_t sizeAfter = -1;
  std::string message;  // German, as the user reads it; empty for the first two outcomes
};

class UndoObserver {
 public:
  virtual ~UndoObserver() = default;
  // Before the page is looked at.
  virtual void PageStarted(const std::string& /*path*/) {}
  // Once its outcome is known (after its group's renames), in the order the pages are taken.
  virtual void PageDone(const UndoPage& page) = 0;
  // Asked before each page: once true, the pages not reached yet are left as they are and the
  // run stays to be undone, so that the next undo finishes it.
  virtual bool Stopped() const { return false; }
};

struct UndoResult {
  enum class Status {
    kUndone,      // every page restored, or restored already
    kPagesLeft,   // some pages left or failed, each with its message; or a damaged journal
    kNoRun,       // no run that is not undone
    kUnknownRun,  // no run with the id given
    kBusy,        // the run is still at work, or being undone elsewhere
    kUnreadable,  // the journal cannot be read
  };
  Status status = Status::kNoRun;
  RunSummary run;        // the run taken (empty for kNoRun and kUnknownRun)
  std::string message;   // German, for every status but the first two, and a damaged journal
  int restored = 0;      // kRestored and kWasRestored
  int left = 0;          // kLeft and kFailed
  bool stopped = false;  // the observer stopped it before every page was reached
  // Marked undone: no page failed (pages left for good do not stand in the way), so the next
  // undo takes the next older run. After a failure the run stays as it is, to be tried again.
  bool markedUndone = false;
};

// Undoes the run `id` of `runsFolder`, or without one the newest run not undone. Pages are taken
// backwards in the run's order (a page the run reached twice goes back in two steps). A run
// named that was undone before is undone again, for the pages that hold its bytes once more.
UndoResult UndoRun(const std::string& runsFolder, const std::optional<std::string>& id,
                   UndoObserver& observer);

// The run UndoRun would take without an id; none when there is nothing to undo.
std::optional<RunSummary> NewestRunToUndo(const std::string& runsFolder);

}  // namespace vk
