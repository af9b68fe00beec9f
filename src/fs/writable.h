// Whether the user may rewrite a file, by one rule for pages, backups and the settings file.
#pragma once

#include <string>

#include "engine/file_access.h"

namespace vk {

// True when `path` is a regular file (through a link) that the user may write: some write
// permission bit is set, and the system grants writing by the effective ids (ACLs, an
// immutable flag and a read-only file system included). Root passes every access check, so a
// file without any write bit stays read-only for root as well.
bool IsWritableFile(const std::string& path);

// Adds the owner's write permission to the regular file at `path`. True when the bit is set
// afterwards.
bool MakeUserWritable(const std::string& path);

// Whether a file can be created at `path`, found out by creating it and removing it again.
// A path that already names something is not touched and gives EEXIST (kIoError).
FileStatus ProbeNewFile(const std::string& path);

}  // namespace vk
