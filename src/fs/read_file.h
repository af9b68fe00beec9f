// Reading a file whole: the one reader of pages, backups and the settings file.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <limits>
#include <string>

#include "engine/file_access.h"

namespace vk {

inline constexpr std::int64_t kNoSizeLimit = std::numeric_limits<std::int64_t>::max();

// Reads the whole file at `path` (following a symbolic link) into *content. On failure
// *content is left empty. A folder gives kIsDirectory, a missing path kNotFound, anything else
// that is not a regular file (a pipe, a device) kIoError with EINVAL; a pipe is never waited
// for. A file bigger than `maxSize` (also one that grows past it while it is read) gives
// kTooLarge with EFBIG, one too big for memory kTooLarge with ENOMEM.
FileStatus ReadWholeFile(const std::string& path, std::string* content,
                         std::int64_t maxSize = kNoSizeLimit);

// The same for a file already open for reading at its start, whose fstat is `info`.
FileStatus ReadOpenFile(int fd, const struct stat& info, std::string* content,
                        std::int64_t maxSize = kNoSizeLimit);

}  // namespace vk
