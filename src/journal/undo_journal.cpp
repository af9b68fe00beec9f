#include "journal/undo_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <numeric>
#include <set>
#include <thread>
#include <vector>

#include "engine/texts.h"
#include "fs/fd.h"
#include "fs/file_info.h"
#include "fs/file_snapshot.h"
#include "fs/new_file.h"
#include "fs/replace_group.h"
#include "fs/writable.h"
#include "journal/journal_format.h"
#include "journal/runs_folder.h"
#include "journal/sha256.h"

namespace vk {
namespace {

using Code = FileStatus::Code;
using Outcome = UndoPage::Outcome;
using Status = UndoResult::Status;

constexpr const char* kContext = "vk::UndoRun";
// The messages of pages; %1 is the page's path.
constexpr const char* kChanged = QT_TRANSLATE_NOOP(
    "vk::UndoRun", "Die Datei %1 wurde nach dem Lauf geändert und wird nicht wiederhergestellt!");
constexpr const char* kMissing = QT_TRANSLATE_NOOP(
    "vk::UndoRun", "Die Datei %1 gibt es nicht mehr und wird nicht wiederhergestellt!");
constexpr const char* kNotKept = QT_TRANSLATE_NOOP(
    "vk::UndoRun",
    "Die alte Fassung der Datei %1 wurde nicht aufgehoben (Grenze für Rückgängig erreicht)!");
constexpr const char* kDamaged = QT_TRANSLATE_NOOP(
    "vk::UndoRun",
    "Die alte Fassung der Datei %1 ist im Protokoll beschädigt und wird nicht wiederhergestellt!");
constexpr const char* kForeignLink = QT_TRANSLATE_NOOP(
    "vk::UndoRun",
    "Die Datei %1 ist eine Verknüpfung eines anderen Benutzers und wird nicht wiederhergestellt!");
constexpr const char* kCannotRestore =
    QT_TRANSLATE_NOOP("vk::UndoRun", "Konnte %1 nicht wiederherstellen!");
// The messages of the whole undo; %1 is the run's id.
constexpr const char* kNoRun =
    QT_TRANSLATE_NOOP("vk::UndoRun", "Es gibt keinen Lauf, der rückgängig gemacht werden kann!");
constexpr const char* kUnknownRun =
    QT_TRANSLATE_NOOP("vk::UndoRun", "Einen Lauf %1 gibt es nicht!");
constexpr const char* kBusy = QT_TRANSLATE_NOOP(
    "vk::UndoRun", "Der Lauf %1 ist noch nicht beendet oder wird gerade rückgängig gemacht!");
constexpr const char* kDamagedJournal =
    QT_TRANSLATE_NOOP("vk::UndoRun",
                      "Das Protokoll des Laufs %1 ist beschädigt: %2 Datei(en) darin können nicht "
                      "wiederhergestellt werden!");
constexpr const char* kUnreadable =
    QT_TRANSLATE_NOOP("vk::UndoRun", "Das Protokoll des Laufs %1 kann nicht gelesen werden!");

// A group of restored pages shares one sync: as many as a run's group, in bytes somewhat more.
constexpr std::size_t kGroupPages = 256;
constexpr std::int64_t kGroupBytes = std::int64_t{64} << 20;

std::string Text(const char* text, const std::string& arg) {
  return FormatText(Translate(kContext, text), {arg});
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Reads the journal at `path` whole; nullopt when it cannot be read.
std::optional<RunSummary> ReadRun(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd.valid()) return std::nullopt;
  JournalReader reader;
  if (!reader.Read(fd.get()).ok()) return std::nullopt;
  RunSummary run = reader.Run();
  run.file = path;
  return run;
}

// The file a path leads to now, to keep two records of one file (under one name or two) out of
// the same group; a path that leads nowhere stands for itself.
std::string IdentityOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "path " + path;
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// The pages of one undo in groups: each group's pages are read, judged and staged on a few
// threads at once (the waits of creating and writing files overlap), then committed with one
// sync and reported in the order taken.
class Undo {
 public:
  Undo(const JournalReader& reader, UndoObserver& observer)
      : reader_(reader), observer_(observer) {}

  void Page(const JournalPage& page) {
    // A file reached twice must be read after the first of its restores is renamed.
    std::string identity = IdentityOf(page.path);
    if (!batchFiles_.insert(identity).second) {
      Flush();
      batchFiles_.insert(std::move(identity));
    }
    batch_.push_back(&page);
    if (page.kept) batchBytes_ += page.oldSize;
    if (batch_.size() >= kGroupPages || batchBytes_ >= kGroupBytes) Flush();
  }

  // Takes the batch's pages, commits those staged and reports their rows.
  void Flush() {
    if (batch_.empty()) return;
    for (const JournalPage* page : batch_) observer_.PageStarted(page->path);
    std::vector<Item> items(batch_.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
      for (std::size_t i = next++; i < items.size(); i = next++) Prepare(*batch_[i], i, items[i]);
    };
    std::vector<std::thread> helpers;
    const std::size_t helperCount = std::min<std::size_t>(kHelpers, items.size()) - 1;
    for (std::size_t h = 0; h < helperCount; ++h) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();

    for (const ReplaceGroup::Result& result : group_.Commit()) {
      UndoPage& row = items[static_cast<std::size_t>(result.order)].row;
      if (result.outcome == ReplaceGroup::Outcome::kReplaced) {
        row.outcome = Outcome::kRestored;
      } else if (result.outcome == ReplaceGroup::Outcome::kChangedMeanwhile) {
        Left(row, kChanged, FileSizeOf(row.path));
      } else {
        Failed(row, row.sizeBefore);
      }
    }
    for (const Item& item : items) Report(item.row);
    batch_.clear();
    batchFiles_.clear();
    batchBytes_ = 0;
  }

  // The renames of the last group durable, before the journal says the run is undone.
  void SyncRenames() { group_.SyncRenames(); }

  int restored() const { return restored_; }
  int left() const { return left_; }
  bool failed() const { return failed_; }

 private:
  // Threads that read, judge and stage a group's pages: creating and writing files mostly
  // waits, so more of them than cores.
  static constexpr std::size_t kHelpers = 4;

  struct Item {
    UndoPage row;
  };

  // Judges the page at `index` of the batch; stages its old bytes when it still holds the
  // run's. Safe on several threads at once: each item is its own, the group and the reader
  // take pages from several threads.
  void Prepare(const JournalPage& page, std::size_t index, Item& item) {
    UndoPage& row = item.row;
    row.path = page.path;
    if (!page.kept) {
      Left(row, kNotKept, FileSizeOf(page.path));
      return;
    }
    std::string current;
    FileSnapshot snapshot;
    FileStatus read = ReadFileWithSnapshot(page.path, &current, &snapshot);
    // A page the user may not write is never replaced, even in a folder the user may write.
    if (read.ok() && !IsWritableFile(snapshot.writePath)) {
      read = FileStatus::Error(Code::kReadOnly, EACCES);
    }
    if (!read.ok()) {
      const std::int64_t size = FileSizeOf(page.path);
      if (read.code() == Code::kNotFound) {
        Left(row, kMissing, size);
      } else if (read.code() == Code::kLinkRefused) {
        Left(row, kForeignLink, size);
      } else {
        Failed(row, size);
      }
      return;
    }
    const auto size = static_cast<std::int64_t>(current.size());
    const bool runsBytes = Sha256(current) == page.newHash;
    std::string old;
    if (runsBytes || size == page.oldSize) {
      const FileStatus unpacked = reader_.OldBytes(page, &old);
      if (!unpacked.ok()) {
        if (unpacked.err() == EBADMSG) {
          Left(row, kDamaged, size);
        } else {
          Failed(row, size);
        }
        return;
      }
    }
    if (!runsBytes) {
      if (size == page.oldSize && current == old) {
        row.outcome = Outcome::kWasRestored;
        row.sizeBefore = row.sizeAfter = size;
      } else {
        Left(row, kChanged, size);
      }
      return;
    }
    current = std::string();  // memory back before the new file is written
    if (!group_.Stage(snapshot, old, static_cast<std::int64_t>(index)).ok()) {
      Failed(row, size);
      return;
    }
    row.sizeBefore = size;
    row.sizeAfter = page.oldSize;
  }

  static void Left(UndoPage& row, const char* text, std::int64_t size) {
    row.outcome = Outcome::kLeft;
    row.message = Text(text, row.path);
    row.sizeBefore = row.sizeAfter = size;
  }
  static void Failed(UndoPage& row, std::int64_t size) {
    row.outcome = Outcome::kFailed;
    row.message = Text(kCannotRestore, row.path);
    row.sizeBefore = row.sizeAfter = size;
  }
  void Report(const UndoPage& row) {
    if (row.outcome == Outcome::kRestored || row.outcome == Outcome::kWasRestored) {
      ++restored_;
    } else {
      ++left_;
      failed_ = failed_ || row.outcome == Outcome::kFailed;
    }
    observer_.PageDone(row);
  }

  const JournalReader& reader_;
  UndoObserver& observer_;
  ReplaceGroup group_;
  std::vector<const JournalPage*> batch_;
  std::set<std::string> batchFiles_;
  std::int64_t batchBytes_ = 0;
  int restored_ = 0;
  int left_ = 0;
  bool failed_ = false;
};

// Cuts off a torn tail and appends the record that marks the run undone, durable.
FileStatus MarkUndone(int fd, std::uint64_t validEnd) {
  if (::ftruncate(fd, static_cast<off_t>(validEnd)) != 0) return FileStatus::FromErrno(errno);
  std::string record(journal::kHeaderSize, '\0');
  journal::BodyWriter writer(record);
  writer.I64(NowNs());
  journal::PutHeader(record.data(), journal::RecordType::kUndone,
                     record.size() - journal::kHeaderSize);
  record.resize(record.size() + journal::kCheckSize);
  journal::PutCheck(record.data(), record.size() - journal::kCheckSize,
                    record.data() + record.size() - journal::kCheckSize);
  if (FileStatus written = WriteAll(fd, record, static_cast<off_t>(validEnd)); !written.ok()) {
    return written;
  }
  while (::fdatasync(fd) != 0) {
    if (errno != EINTR) return FileStatus::FromErrno(errno);
  }
  return FileStatus::Ok();
}

}  // namespace

std::optional<RunSummary> NewestRunToUndo(const std::string& runsFolder) {
  const std::vector<JournalFile> files = JournalFiles(runsFolder);
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    std::optional<RunSummary> run = ReadRun(it->path);
    if (run && !run->undone) return run;
  }
  return std::nullopt;
}

UndoResult UndoRun(const std::string& runsFolder, const std::optional<std::string>& id,
                   UndoObserver& observer) {
  UndoResult result;
  std::string path;
  if (id) {
    for (const JournalFile& file : JournalFiles(runsFolder)) {
      if (file.id == *id) path = file.path;
    }
    if (path.empty()) {
      result.status = Status::kUnknownRun;
      result.message = Text(kUnknownRun, *id);
      return result;
    }
  } else {
    const std::optional<RunSummary> newest = NewestRunToUndo(runsFolder);
    if (!newest) {
      result.status = Status::kNoRun;
      result.message = Translate(kContext, kNoRun);
      return result;
    }
    path = newest->file;
  }

  Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  JournalReader reader;
  if (!fd.valid() || !reader.Read(fd.get(), /*wholeJournal=*/false).ok()) {
    result.status = Status::kUnreadable;
    result.message = Text(kUnreadable, id.value_or(path));
    return result;
  }
  result.run = reader.Run();
  result.run.file = path;
  // Held until the journal is closed: a second undo of the run, or a pruning, waits its turn.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    result.status = Status::kBusy;
    result.message = Text(kBusy, result.run.id);
    return result;
  }
  if (!reader.Read(fd.get()).ok()) {
    result.status = Status::kUnreadable;
    result.message = Text(kUnreadable, result.run.id);
    return result;
  }
  result.run = reader.Run();
  result.run.file = path;
  // A run named that was undone before is undone again: pages that hold its bytes once more
  // (a run undone before the one that changed them after it) get their old bytes.

  const std::vector<JournalPage>& pages = reader.Pages();
  std::vector<std::size_t> order(pages.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return pages[a].order != pages[b].order ? pages[a].order > pages[b].order : a > b;
  });
  Undo undo(reader, observer);
  for (const std::size_t index : order) {
    if (observer.Stopped()) {
      result.stopped = true;
      break;
    }
    undo.Page(pages[index]);
  }
  undo.Flush();
  undo.SyncRenames();

  result.restored = undo.restored();
  result.left = undo.left();
  result.status = undo.left() == 0 ? Status::kUndone : Status::kPagesLeft;
  if (result.run.damaged > 0) {
    // The pages of the damaged records are not known, so they cannot even be named.
    result.status = Status::kPagesLeft;
    result.message = FormatText(Translate(kContext, kDamagedJournal),
                                {result.run.id, std::to_string(result.run.damaged)});
  }
  if (!result.stopped && !undo.failed() && MarkUndone(fd.get(), reader.ValidEnd()).ok()) {
    result.markedUndone = true;
    result.run.undone = true;
  }
  return result;
}

}  // namespace vk
