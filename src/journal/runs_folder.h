// The folder of the run journals: where it is, which journals it holds, and which of them go
// when a new run starts. A journal is "<id>.vkj"; a run or an undo at work holds a lock on its
// journal (flock), so no other process removes or undoes it meanwhile.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_access.h"
#include "journal/journal_reader.h"

namespace vk {

// How many journals are kept, and how many bytes they may take together. Either 0 turns the
// journal off.
struct KeepLimits {
  int runs = 20;
  std::int64_t bytes = std::int64_t{1} << 30;
};

inline constexpr const char* kJournalSuffix = ".vkj";

// "$XDG_STATE_HOME/Velkaro/runs/" when XDG_STATE_HOME is an absolute path, else
// "$HOME/.local/state/Velkaro/runs/"; "" when neither is set (no journal then). Ends with '/'.
std::string RunsFolder();

// A journal file in the folder and its run record only (no pages read).
struct JournalFile {
  std::string path;
  std::string id;
  std::int64_t timeNs = 0;
  int operation = 0;
  std::int64_t bytes = 0;
};

// The journals of `folder` with a readable run record, oldest first (by time, then id). Files
// with the journal suffix and no run record go to *unreadable when it is given.
std::vector<JournalFile> JournalFiles(const std::string& folder,
                                      std::vector<std::string>* unreadable = nullptr);

// Every run kept in `folder`, read whole (pages, undone or not, busy or not), newest first.
std::vector<RunSummary> ListRuns(const std::string& folder);

// Removes the journal at `path` unless a run or an undo holds it. True when it is gone.
bool RemoveJournal(const std::string& path);

// True when a run or an undo holds the journal open at `fd`.
bool JournalBusy(int fd);

// The run's time as the lists show it: "31.12.2024 23:59:58", local time.
std::string RunTimeText(std::int64_t timeNs);
// The same for scripts: "2024-12-31T23:59:58+01:00".
std::string RunTimeIso(std::int64_t timeNs);

}  // namespace vk
