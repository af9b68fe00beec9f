// The checks every fault test ends with: each file holds its old or its new bytes, and no
// temporary file is left behind. The children the suite runs its cases in are
// support/child_process.h's.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/child_process.h"

namespace vk::test {

// Names of temporary files the program writes beside a page, a backup or a settings file
// (".<name>.vk-XXXXXX", ".vk-XXXXXX") anywhere below `folder`.
std::vector<std::string> TemporaryFilesBelow(const std::string& folder);

// "old" when the file at `path` holds exactly `before`, "new" for exactly `after`, else a
// short description of what it holds (so a failing check does not print whole pages).
std::string OldOrNew(const std::string& path, const std::string& before, const std::string& after);

// Gives the folder and everything below it to `uid`:`uid` (the unprivileged user's tests).
void GiveTree(const std::string& folder, uid_t uid);

}  // namespace vk::test
