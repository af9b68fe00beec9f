// A run's journal made the way the batch run makes it, for the tests of undo: each page read
// with its identity, recorded (old bytes, hash of the new ones), the journal synced, then the
// new bytes staged and renamed over the pages in one group (owner, mode, extended attributes
// kept; a hard-linked page becomes a file of its own).
#pragma once

#include <string>
#include <vector>

#include "journal/journal_writer.h"

namespace vk::test {

struct RunPage {
  std::string path;
  std::string newBytes;
};

struct JournaledRun {
  std::string id;
  std::string journal;  // its file
};

// Journals every page in order (its index is its order), then rewrites the first `renamed`
// pages (all of them when negative), as a run killed after that many renames leaves them.
// Fails the test when a page cannot be read, recorded or rewritten.
JournaledRun JournalAndRewrite(const std::string& runsFolder, const std::vector<RunPage>& pages,
                               const RunInfo& info = {}, const KeepLimits& limits = {},
                               int renamed = -1);

}  // namespace vk::test
