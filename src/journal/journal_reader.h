// Reading a run's journal back: its run record, its pages and whether it was undone, up to its
// last complete record. A journal cut short by a kill, or with a damaged tail, reads as the
// records before the damage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_access.h"
#include "journal/journal_format.h"

namespace vk {

// A run as its journal tells it.
struct RunSummary {
  std::string id;
  std::string file;            // the journal's path
  std::int64_t timeNs = 0;     // when the run started, nanoseconds since 1970 (UTC)
  int operation = 0;           // the Edit menu's index, 0..6
  std::string folder;          // raw bytes, as the run was given it
  int pages = 0;               // the pages the run recorded, kept or not
  std::int64_t pageBytes = 0;  // their old sizes together
  std::int64_t bytes = 0;      // the journal file's size
  bool complete = true;        // the old bytes of every page were kept
  bool undone = false;         // a complete undo has taken the run back
  bool busy = false;           // the run, or an undo of it, is still at work (ListRuns)
  int damaged = 0;             // records that fail their check in the middle of the journal
};

// One page of a run.
struct JournalPage : journal::PageFacts {
  bool kept = true;               // false: the limit left no room for its old bytes
  std::uint64_t frameOffset = 0;  // where its compressed old bytes are in the file
  std::uint64_t frameLength = 0;
};

class JournalReader {
 public:
  JournalReader() = default;
  JournalReader(const JournalReader&) = delete;
  JournalReader& operator=(const JournalReader&) = delete;

  // Reads the journal open at `fd` (which stays the caller's, and open while OldBytes is used);
  // without `wholeJournal` only its run record. A file that does not start with a journal's
  // magic and run record gives kIoError with EINVAL, a failing read its errno.
  FileStatus Read(int fd, bool wholeJournal = true);

  const RunSummary& Run() const { return run_; }
  // In the order they were recorded.
  const std::vector<JournalPage>& Pages() const { return pages_; }
  // Where the last complete record ends: the rest of the file is a torn record or damage.
  std::uint64_t ValidEnd() const { return validEnd_; }

  // The page's old bytes. A page not kept gives kNotFound; a record that does not give back
  // exactly the bytes that were compressed gives kIoError with EBADMSG. Safe from several
  // threads at once.
  FileStatus OldBytes(const JournalPage& page, std::string* bytes) const;

 private:
  int fd_ = -1;
  RunSummary run_;
  std::vector<JournalPage> pages_;
  std::uint64_t validEnd_ = 0;
};

}  // namespace vk
