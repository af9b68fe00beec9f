#include "fs/file_info.h"

#include <sys/stat.h>

#include <cstdlib>

namespace vk {

std::optional<FileInfo> InfoOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  FileInfo info;
  info.kind = S_ISREG(st.st_mode)   ? FileInfo::Kind::kFile
              : S_ISDIR(st.st_mode) ? FileInfo::Kind::kFolder
                                    : FileInfo::Kind::kOther;
  info.size = static_cast<std::int64_t>(st.st_size);
  info.device = st.st_dev;
  info.inode = st.st_ino;
  info.mode = st.st_mode & 07777;
  return info;
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string ResolvedPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

std::int64_t FileSizeOf(const std::string& path) {
  const std::optional<FileInfo> info = InfoOf(path);
  if (!info || info->kind == FileInfo::Kind::kFolder) return -1;
  return info->size;
}

}  // namespace vk
