#include "settings/settings_file_io.h"

#include "fs/read_file.h"
#include "fs/replace_file.h"

namespace vk {

FileStatus ReadSettingsFile(const std::string& path, std::string* content, std::int64_t maxSize) {
  return ReadWholeFile(path, content, maxSize);
}

FileStatus ReplaceSettingsFile(const std::string& path, std::string_view content) {
  return ReplaceFile(path, content, CreatingRules());
}

}  // namespace vk
