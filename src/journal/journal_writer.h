// The undo journal of one run: before a page's new file is renamed into place, the run records
// the page's path, identity and old bytes (compressed) and the SHA-256 of its new bytes, and
// makes the record durable in the same sync as the group of pages it belongs to. The journals
// live in RunsFolder(); starting one removes the oldest beyond the keeping limits.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_access.h"
#include "fs/fd.h"
#include "journal/runs_folder.h"

namespace vk {

// A page's old bytes packed while they are still in memory, already in the record that Add
// completes (once: Add takes the record).
struct PackedBytes {
  std::int64_t size = 0;  // of the bytes themselves
  std::size_t factsSize = 0;
  std::size_t packedSize = 0;
  std::unique_ptr<char[]> record;
};

// A page as the run hands it to its journal, at the stage step.
struct PageRecord {
  std::string_view path;     // the page as the run names it (raw bytes; a link stays the link)
  std::uint64_t device = 0;  // the page as the run read it
  std::uint64_t inode = 0;
  std::string_view oldBytes;  // what the page held when it was read
  // Or those bytes packed beforehand (JournalWriter::Pack), when they are no longer in memory.
  PackedBytes* packedOld = nullptr;
  std::string_view newBytes;  // what its new file holds
  std::int64_t order = 0;     // its row: undo goes through the pages backwards in this order
};

// When and what a run was, for its journal's first record.
struct RunInfo {
  std::int64_t timeNs = 0;  // nanoseconds since 1970 (UTC); 0: now
  int operation = 0;        // the Edit menu's index
  std::string folder;       // raw bytes
};

// Writes the journal of one run. Add may be called from several threads at once: the
// compression and hashing run on the caller's thread, only the append is serialised. Sync may
// be called from any thread, at once with Add.
class JournalWriter {
 public:
  // Removes the oldest journals in `runsFolder` (made, mode 0700, where missing) beyond
  // limits.runs - 1 and those that leave no room under limits.bytes, then creates the new
  // journal (mode 0600) holding the run record; the first Sync makes it durable with its
  // folder entry. Journals of runs still at work elsewhere are never removed. Returns null with
  // *status Ok when the limits keep no run (journal off), null with the error when no journal can
  // be made.
  static std::unique_ptr<JournalWriter> Start(const std::string& runsFolder, const RunInfo& info,
                                              const KeepLimits& limits, FileStatus* status);
  ~JournalWriter();

  // Records a page whose new file is staged and not yet renamed. A page whose old bytes would
  // take the journals past their byte limit is recorded without them (undo then names it as
  // not kept). A failing write records nothing (the journal stays readable) and returns the
  // status; the page itself may go on.
  FileStatus Add(const PageRecord& page);
  // Packs a page's old bytes for a later Add (on the caller's thread), so that the caller may
  // let go of them before the page's new content is known. None when they cannot be packed.
  // `path` is the page's as Add will name it.
  static std::optional<PackedBytes> Pack(std::string_view path, std::string_view oldBytes);
  // Makes every record whose Add returned before this call durable (fdatasync), the first time
  // with the run record and the journal's folder entry. Without new records since the last
  // Sync it makes no system call.
  FileStatus Sync();

  const std::string& Id() const { return id_; }
  const std::string& Path() const { return path_; }
  // False once a page was recorded without its old bytes.
  bool Complete() const;
  // The journal file's size so far.
  std::int64_t Bytes() const;

 private:
  JournalWriter() = default;
  // Appends `record` (a whole record with its check) at the end, under the lock.
  FileStatus AppendLocked(std::string_view record);
  // Makes room for `size` more bytes by removing the oldest other journals; false when even
  // without them it would not fit.
  bool MakeRoomLocked(std::uint64_t size);

  std::string folder_;
  std::string id_;
  std::string path_;
  Fd fd_;
  std::int64_t byteLimit_ = 0;
  std::vector<std::pair<std::string, std::int64_t>> others_;  // oldest first: file, size
  std::int64_t othersBytes_ = 0;

  mutable std::mutex mutex_;
  std::uint64_t end_ = 0;  // the file's size: where the next record goes
  bool complete_ = true;
  std::atomic<std::uint64_t> appended_{0};  // end_ as the last append left it
  std::atomic<std::uint64_t> synced_{0};    // what the last Sync made durable
  bool named_ = false;                      // the journal's folder entry is durable (syncMutex_)
  std::mutex syncMutex_;
};

}  // namespace vk
