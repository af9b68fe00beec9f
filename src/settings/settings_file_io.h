// The settings file's rules for the file layer: a size limit for reading, and a write that
// creates the file when it is missing and never keeps it in place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_access.h"

namespace vk {

// A settings file bigger than this is not read (and therefore never rewritten).
inline constexpr std::int64_t kMaxSettingsFileSize = 64ll * 1024 * 1024;

// ReadWholeFile with the settings file's size limit (`maxSize`, for tests).
FileStatus ReadSettingsFile(const std::string& path, std::string* content,
                            std::int64_t maxSize = kMaxSettingsFileSize);

// Replaces the file at `path` by `content` (ReplaceFile), creating it when missing with 0666
// less the umask. A link is written through to its target, also to a target that does not
// exist yet. An owner the new file cannot be given becomes the user's: the settings file is
// the user's own.
FileStatus ReplaceSettingsFile(const std::string& path, std::string_view content);

}  // namespace vk
