// The settings file's rules for the file layer: a size limit for reading, a write that creates
// the file when it is missing, and the check a command makes before it relies on the file.
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
// less the umask. A link is written through to its target by the rule for links, also to a
// target that does not exist yet. An owner the new file cannot be given becomes the user's: the
// settings file is the user's own. New files a killed write left beside it go first.
FileStatus ReplaceSettingsFile(const std::string& path, std::string_view content);

// "Die Einstellungsdatei <path> ist größer als 64 MB und wird nicht gelesen!"
std::string SettingsFileTooBigMessage(const std::string& path);

// Why the settings file at `path` cannot be used, as the message the user reads: it does not
// exist (unless `mayBeMissing`: a first start), it is a folder, it cannot be read, or it is too
// big. Empty when it can be used.
std::string SettingsFileProblem(const std::string& path, bool mayBeMissing);

}  // namespace vk
