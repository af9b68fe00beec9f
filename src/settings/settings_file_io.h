// Reading the settings file whole and replacing it whole, so that a failed write never leaves
// a half-written file behind. POSIX only; errors are errno values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vk {

// A settings file bigger than this is not read (and therefore never rewritten).
inline constexpr std::int64_t kMaxSettingsFileSize = 64ll * 1024 * 1024;

// Reads the regular file at `path` (through a link) whole into *content. Returns 0, or the
// errno of the failure: ENOENT missing, EISDIR a folder, EINVAL neither file nor folder (a FIFO
// is not opened for long), EFBIG bigger than `maxSize`, or what open/read reported. On failure
// *content is empty.
int ReadSettingsFile(const std::string& path, std::string* content,
                     std::int64_t maxSize = kMaxSettingsFileSize);

// Replaces the file at `path` by `content`, creating it when missing. A link is written
// through to its target. The bytes go to a temporary file beside the target, which is synced,
// given the target's permission bits (and owner, where allowed) and renamed over it. Returns 0,
// or the errno of the failing step; then the old file is as it was and no temporary file is
// left. A target that exists but is not writable for the user is refused with EACCES.
int ReplaceSettingsFile(const std::string& path, std::string_view content);

// True when `path` is a regular file (through a link) that the user may write: some write
// permission bit is set (so root, too, respects a file marked read-only) and the system grants
// writing (not immutable, not on a read-only file system).
bool IsUserWritableFile(const std::string& path);

// Adds the user's write permission to the regular file at `path`. True when the bit is set
// afterwards.
bool MakeUserWritable(const std::string& path);

}  // namespace vk
