// Replacing a file's content without ever leaving it half-written: the one writer of pages,
// backups and the settings file. The new content goes to a new file in the same folder, which
// is synced, given the old file's owner and permission bits and renamed over it; then the
// folder is synced. A failure at any step removes the new file and leaves the old one byte for
// byte as it was.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/file_access.h"

namespace vk {

// Where the three kinds of file differ.
struct ReplaceRules {
  // Create the file when it is missing instead of refusing with kNotFound (through a link that
  // leads nowhere: its target).
  bool createMissing = false;
  // The permission bits of a created file; none: 0666 less the umask.
  std::optional<mode_t> newFileMode;
  // Keep the file itself (its inode) where a new file could not stand in for it unchanged: a
  // file with several hard links, one in a folder where no new file can be created, one whose
  // owner the new file cannot be given. Such a file is rewritten in place after its new size
  // has been reserved; when the space cannot be reserved, or the new content would pass the
  // file size limit, it is left as it was.
  bool keepInPlace = false;
};

// A page, and a backup that exists: never created, kept in place where a new file would
// change it.
inline ReplaceRules PageRules() {
  ReplaceRules rules;
  rules.keepInPlace = true;
  return rules;
}

// A file that may be missing yet: the settings file, and a new backup with the page's `mode`.
inline ReplaceRules CreatingRules(std::optional<mode_t> mode = std::nullopt) {
  ReplaceRules rules;
  rules.createMissing = true;
  rules.newFileMode = mode;
  return rules;
}

// Replaces the content of the file at `path` by `content`, byte for byte.
// - A symbolic link is written through to its target; the link stays a link.
// - A file that is not writable for the user (see IsWritableFile) is never touched:
//   kReadOnly with EACCES. A folder gives kIsDirectory, anything else that is not a regular
//   file kIoError with EINVAL.
// - Hitting the file size limit gives kTooLarge, other failures their errno's code
//   (FileStatus::FromErrno).
FileStatus ReplaceFile(const std::string& path, std::string_view content,
                       const ReplaceRules& rules);

}  // namespace vk
