// The backup a run writes before it changes a page: the page's bytes in "<page>.bak" beside it.
#pragma once

#include <string>

namespace vk {

// Copies the file at `path` to `path + ".bak"`, overwriting an earlier backup; nothing happens
// when no file exists at `path`. A new backup gets the page's permission bits; an earlier one
// is replaced by the page rules of ReplaceFile, so a read-only backup is left alone and a link
// stays a link. The outcome is ignored: a backup that cannot be written is simply not made.
void MakeBackup(const std::string& path);

}  // namespace vk
