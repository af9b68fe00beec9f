// The transformations of one page in a batch run: replace -> convert -> compress as the flags
// say. Results, messages and what reaches the disk are those of running the three file
// functions one after the other on the file; a writable page gets there with one write. The
// page's encoding is decided once, on its bytes before the first step, and holds for all three.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/memory_page.h"
#include "engine/encoding.h"
#include "engine/feedback.h"
#include "engine/file_access.h"
#include "engine/html_code_list.h"
#include "fs/disk_file_access.h"

namespace vk {

struct PageJob {
  ProcessFlags flags;
  bool ignoreMetaTags = false;
  bool dryRun = false;
  // Loads the code list; messages of the load go to the feedback it is given.
  std::function<HtmlCodeList(Feedback&)> loadList;
};

struct PageOutcome {
  std::int64_t specialCount = 0;
  std::int64_t htmlCount = 0;  // 0 when the flags hold no replacement
  // The size after the run: measured on disk, or in a dry run the size the page would have.
  std::int64_t sizeAfter = -1;
  // What the page's bytes were read as; none for a page that could not be read.
  std::optional<PageEncoding> encoding;
};

// One page's run split at its single write, so that the caller may do the write elsewhere (on
// a helper thread) while it goes on with the next page:
//   Prepare -> [write Content() when NeedsWrite()] -> Finish.
// Everything but the write happens on the caller's thread; the messages are kept back until
// Finish, which shows them in the order the step-by-step run shows them.
class PageRun {
 public:
  // `job` and `disk` must outlive the run. `disk` is where pages are read and written (tests
  // put failing writes there); whether a page may be written at all is asked of the file system.
  PageRun(std::string path, const PageJob& job, FileAccess& disk = DiskFileAccess());

  // Runs the steps; yields and status texts go to `feedback` at once, messages are kept. A page
  // that cannot be written or read, and a dry run, never needs a write. An exception from the
  // list loader passes on; ReleaseMessages then shows what was kept.
  void Prepare(Feedback& feedback);
  bool NeedsWrite() const { return needsWrite_; }
  // The page's new content; valid while NeedsWrite().
  const std::string& Content() const;

  // `written`: the outcome of writing Content(), when NeedsWrite(). On success the kept
  // messages are shown; on failure the page (on disk as it was) is run step by step instead,
  // showing that run's messages. Measures the page and returns the outcome.
  PageOutcome Finish(const FileStatus* written, Feedback& feedback);

  // Shows the kept messages (after an exception from Prepare).
  void ReleaseMessages(Feedback& feedback);

 private:
  class KeptFeedback;
  HtmlCodeListLoader LoaderFor(Feedback& feedback);
  // Decides the encoding on the page as `files` has it now (a page that cannot be read has
  // none).
  void DecideEncoding(FileAccess& files);
  PageOutcome RunSteps(Feedback& feedback, FileAccess& files);

  std::string path_;
  const PageJob& job_;
  FileAccess& disk_;
  std::optional<MemoryPage> page_;
  std::optional<PageEncoding> encoding_;
  bool needsWrite_ = false;
  PageOutcome outcome_;
  std::vector<std::string> kept_;
  // The list as loaded the first time, and the messages of that load: a redo after a failed
  // write must not load again (the first load may have repaired the stored list, and a real run
  // loads once per file).
  std::optional<HtmlCodeList> list_;
  std::vector<std::string> loadMessages_;
};

}  // namespace vk
