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
// reading and writing the file itself; the size is measured on disk afterwards. A page shows
// the NUL-byte message once, however many steps find the NUL byte.
PageOutcome ProcessPageStepByStep(const std::string& path, const PageJob& job, Feedback& feedback,
                                  FileAccess& disk = DiskFileAccess());

// PageRun: Prepare, the write of its content when it needs one, Finish. On the disk itself the
// write is the run's (PageWrite: staged, synced, checked, renamed); another `disk` gets the
// content through its Write, and its outcome is the write's.
PageOutcome ProcessPage(const std::string& path, const PageJob& job, Feedback& feedback,
                        FileAccess& disk = DiskFileAccess());

}  // namespace vk::test
