// A page's job run two ways for the page tests: the reference, the three file functions one
// after the other on disk, and PageRun with its single write done on the calling thread.
#pragma once

#include <string>

#include "batch/page_run.h"
#include "engine/feedback.h"
#include "engine/file_access.h"
#include "fs/disk_file_access.h"

namespace vk::test {

// The job run plainly against `disk`: replace, convert, compress as the flags say, each
// reading and writing the file itself; the size is measured on disk afterwards.
PageOutcome ProcessPageStepByStep(const std::string& path, const PageJob& job, Feedback& feedback,
                                  FileAccess& disk = DiskFileAccess());

// PageRun: Prepare, the write of its content to `disk` when it needs one, Finish.
PageOutcome ProcessPage(const std::string& path, const PageJob& job, Feedback& feedback,
                        FileAccess& disk = DiskFileAccess());

}  // namespace vk::test
