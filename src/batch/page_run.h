// The transformations of one page in a batch run: replace -> convert -> compress as the flags
// say. Results, messages and what reaches the disk are those of running the three file
// functions one after the other on the file; a writable page gets there with one write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "batch/batch_run.h"
#include "engine/feedback.h"
#include "engine/file_io.h"
#include "engine/html_code_list.h"

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
};

// Runs the job on the page at `path`; messages go to `feedback` in the order the step-by-step
// run shows them. An exception from the list loader passes on after the messages shown so far.
// `disk` is where pages are read and written (tests put failing writes there); whether a page
// may be written at all is asked of the file system.
PageOutcome ProcessPage(const std::string& path, const PageJob& job, Feedback& feedback,
                        FileAccess& disk = DiskFileAccess());

// The same job run plainly against `disk`, one file function after the other: the reference
// the single-write run must match.
PageOutcome ProcessPageStepByStep(const std::string& path, const PageJob& job,
                                  Feedback& feedback, FileAccess& disk = DiskFileAccess());

}  // namespace vk
