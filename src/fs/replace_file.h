// Replacing a file's content in one call, without ever leaving it half-written: the writer of
// the settings file and of the engine's own file functions, on top of StagedFile. The new
// content goes to a new file in the same folder, which is synced, given the old file's owner,
// mode and extended attributes and renamed over it, provided the old file is still the one
// found at the start; then the folder is synced. A failure at any step removes the new file
// and leaves the old one byte for byte as it was.
#pragma once

#include <string>
#include <string_view>

#include "engine/file_access.h"

namespace vk {

struct ReplaceRules {
  // Create the file when it is missing (0666 less the umask) instead of refusing with
  // kNotFound; through a link that leads nowhere, its target.
  bool createMissing = false;
};

// A page: never created.
inline ReplaceRules PageRules() { return ReplaceRules{}; }

// A file that may be missing yet: the settings file.
inline ReplaceRules CreatingRules() { return ReplaceRules{.createMissing = true}; }

// Replaces the content of the file at `path` by `content`, byte for byte.
// - A symbolic link is written through to its target by the rule for links (ResolveWritePath:
//   otherwise kLinkRefused); the link stays a link.
// - A file with several hard links becomes a file of its own; its other names keep the old
//   content.
// - A file that is not writable for the user (see IsWritableFile) is never touched:
//   kReadOnly with EACCES. A folder gives kIsDirectory, anything else that is not a regular
//   file kIoError with EINVAL.
// - A folder in which no new file can be made gives kNoNewFile, an extended attribute that
//   cannot be kept kAttributesLost, a file changed since the call began kChanged; hitting the
//   file size limit gives kTooLarge, other failures their errno's code (FileStatus::FromErrno).
FileStatus ReplaceFile(const std::string& path, std::string_view content,
                       const ReplaceRules& rules);

}  // namespace vk
