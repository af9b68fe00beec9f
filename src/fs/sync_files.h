// Making many new files durable at once, as a database commits a group: one syncfs for each file
// system the files lie on, which costs about what one fsync costs, instead of one fsync per
// file. Where a file system's syncfs is not worth the name (network and user-space file systems,
// whose syncfs may not reach the server), each file is synced on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_access.h"

namespace vk {

// Makes the content of every open file in `fds` (and, for a folder's descriptor, its entries)
// durable. Returns the first failure; the files after a failing one may not be synced.
FileStatus SyncFiles(const std::vector<int>& fds);

// Makes the entries of the folders at `paths` durable the same way (renames into them, new
// names). Folders that cannot be opened are passed over: their files are safe by then, only an
// entry may be lost.
FileStatus SyncFolders(const std::vector<std::string>& paths);

// SyncFiles and SyncFolders with one sync per file system for both.
FileStatus SyncFilesAndFolders(const std::vector<int>& fds, const std::vector<std::string>& paths);

// Whether syncfs on the file system of `fd` makes what was written there durable.
bool SyncfsTrusted(int fd);

// The syncs SyncFiles made in this process so far, by kind: for tests that count them.
struct SyncCounts {
  std::int64_t fileSystems = 0;  // syncfs calls
  std::int64_t files = 0;        // fsync calls of single files or folders
};
SyncCounts SyncCountsSoFar();

}  // namespace vk
