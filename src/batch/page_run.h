// The transformations of one page in a batch run: replace -> convert -> compress as the flags
// say. The page is read once, with what it was (its snapshot, for the check before its rename),
// and the three steps run on it in memory; results and messages are those of running the three
// file functions one after the other on the file. The page's encoding is decided once, on its
// bytes before the first step, and holds for all three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/memory_page.h"
#include "batch/page_buffers.h"
#include "batch/run_journal.h"
#include "engine/encoding.h"
#include "engine/feedback.h"
#include "engine/file_access.h"
#include "engine/html_code_list.h"
#include "fs/file_snapshot.h"

namespace vk {

struct PageJob {
  ProcessFlags flags;
  bool ignoreMetaTags = false;
  bool dryRun = false;
  // Loads the code list; messages of the load go to the feedback it is given.
  std::function<SharedHtmlCodeList(Feedback&)> loadList;
  // Where the read and the steps take their buffers from and leave them; none: fresh ones.
  PageBuffers* buffers = nullptr;
  // Whether nobody asks for a page's old bytes once the steps are done (no backup, no sink that
  // shows them): the run then lets go of them as soon as a step has changed the page, and its
  // buffer becomes room for the next step. `packOld`, where given, first keeps them in another
  // form (the journal's); when it returns null the bytes are kept.
  bool mayLetGoOfOld = false;
  std::function<std::unique_ptr<RunJournal::Packed>(const std::string& path, std::string_view)>
      packOld;
};

struct PageOutcome {
  std::int64_t specialCount = 0;
  std::int64_t htmlCount = 0;  // 0 when the flags hold no replacement
  // The size after the run: measured on disk, or in a dry run the size the page would have.
  std::int64_t sizeAfter = -1;
  // What the page's bytes were read as; none for a page that could not be read.
  std::optional<PageEncoding> encoding;
};

// How the page's way to the disk ended.
struct WriteResult {
  // The page's write: Ok, or the failure that left the page as it was.
  FileStatus status = FileStatus::Ok();
  // The backup asked for could not be made (`backupPath`), so the page was not touched.
  bool backupFailed = false;
  std::string backupPath;
};

// One page's run split around its write, so that the caller may stage, sync and rename the new
// content elsewhere (on a helper thread, in a group of pages) while it goes on with the next
// page:
//   Prepare -> [write Content() when NeedsWrite()] -> Finish.
// The messages are kept back until Finish, which shows them in the order the step-by-step run
// shows them.
class PageRun {
 public:
  // `job` must outlive the run. `expectedSize`, the page's size when it was listed (-1: not
  // known), picks a buffer for the read.
  PageRun(std::string path, const PageJob& job, std::int64_t expectedSize = -1);

  // Reads the page once and runs the steps in memory; yields and status texts go to `feedback`
  // at once, messages are kept. A page that cannot be written or read, and a dry run, never
  // needs a write; a link that the rule for links refuses is not read at all. An exception from
  // the list loader passes on; ReleaseMessages then shows what was kept.
  void Prepare(Feedback& feedback);
  bool NeedsWrite() const { return needsWrite_; }
  // Whether the steps changed the page (in a dry run too); Content() is then the new content,
  // until Finish.
  bool Changed() const { return page_ && page_->Written(); }
  // What the page's bytes were read as; none for a page that could not be read.
  std::optional<PageEncoding> Encoding() const { return encoding_; }
  // The page's new content; valid while NeedsWrite() or Changed().
  std::string_view Content() const;
  // The page as it was read, and its bytes; only when WasRead(). The bytes are empty once the
  // run let go of them (see PageJob::mayLetGoOfOld); PackedOld() then holds them where the job
  // packs them.
  bool WasRead() const { return readStatus_.ok(); }
  const FileSnapshot& Snapshot() const { return snapshot_; }
  std::string_view Original() const { return original_; }
  RunJournal::Packed* PackedOld() const { return packedOld_.get(); }
  // What the page costs in memory while it is in hand: its bytes, its new content and one
  // working copy of a step, estimated from its size before it is read.
  static std::size_t BytesInHand(std::int64_t size);

  // `written`: how the write (and the backup) ended; null when none was tried. When the page
  // needed a write that did not happen, the messages are those of the step-by-step run whose
  // writes fail with the write's status, produced in memory without touching the disk again;
  // a refusal of its own (the page changed meanwhile, no new file in its folder, attributes
  // that cannot be kept, a backup that could not be made) gives the kept messages and its own
  // one message instead. Measures the page and returns the outcome.
  PageOutcome Finish(const WriteResult* written, Feedback& feedback);

  // Shows the kept messages (after an exception from Prepare).
  void ReleaseMessages(Feedback& feedback);

 private:
  class KeptFeedback;
  HtmlCodeListLoader LoaderFor(Feedback& feedback);
  // The steps on `files`; `page` is the page the run keeps (letting go of the old bytes after
  // a step that changed it, where the job allows), null for a redo.
  PageOutcome RunSteps(Feedback& feedback, FileAccess& files, MemoryPage* page);
  void LetGoOfOld(MemoryPage& page);
  // The dry run's guess at a refusal the real run would meet: a folder without room for a new
  // file.
  std::optional<FileStatus> ProjectedRefusal() const;

  std::string path_;
  const PageJob& job_;
  FileSnapshot snapshot_;
  FileStatus readStatus_ = FileStatus::Ok();
  std::int64_t expectedSize_;
  std::string original_;
  bool oldLetGo_ = false;
  std::unique_ptr<RunJournal::Packed> packedOld_;
  std::optional<MemoryPage> page_;
  std::optional<PageEncoding> encoding_;
  bool needsWrite_ = false;
  std::optional<FileStatus> projected_;
  PageOutcome outcome_;
  std::vector<std::string> kept_;
  bool nulMessageShown_ = false;
  // The list as loaded the first time, and the messages of that load: a redo after a failed
  // write must not load again (the first load may have repaired the stored list, and a real run
  // loads once per file).
  std::optional<SharedHtmlCodeList> list_;
  std::vector<std::string> loadMessages_;
};

// The message for a write that a refusal of its own kept from the page (kChanged, kLinkRefused,
// kNoNewFile, kAttributesLost, kGroupLost, kNotJournaled); empty for any other status.
std::string RefusalMessage(const std::string& path, const FileStatus& status);

// "Konnte die Bak-Datei ... nicht schreiben! ... wird nicht verändert!"
std::string BackupFailedMessage(const std::string& backupPath, const std::string& path);

}  // namespace vk
