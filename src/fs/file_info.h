// What the directory entry of a path says, without opening the file: kind, size, identity and
// permission bits. A symbolic link counts as what it leads to.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace vk {

struct FileInfo {
  enum class Kind { kFile, kFolder, kOther };  // kOther: a pipe, a device, a socket
  Kind kind = Kind::kOther;
  std::int64_t size = 0;
  dev_t device = 0;  // device and inode name the file whichever path leads to it
  ino_t inode = 0;
  mode_t mode = 0;  // permission bits, set-id and sticky bits
  bool operator==(const FileInfo&) const = default;
};

// The entry `path` leads to; nullopt when there is none (a link that leads nowhere included).
std::optional<FileInfo> InfoOf(const std::string& path);

// True when `path` names an entry of any kind, a link that leads nowhere included.
bool EntryExists(const std::string& path);

// True when `path` itself is a symbolic link.
bool IsLink(const std::string& path);

// The path of the entry `path` leads to, free of links, "." and ".."; `path` itself where that
// cannot be found out.
std::string ResolvedPath(const std::string& path);

// Size in bytes from the directory entry, so a file another program holds open is measured
// too; -1 when there is no file or the path names a folder.
std::int64_t FileSizeOf(const std::string& path);

}  // namespace vk
