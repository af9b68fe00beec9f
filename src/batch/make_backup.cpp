#include "batch/make_backup.h"

#include <optional>

#include "fs/file_info.h"
#include "fs/read_file.h"
#include "fs/replace_file.h"

namespace vk {

void MakeBackup(const std::string& path) {
  const std::optional<FileInfo> page = InfoOf(path);
  if (!page || page->kind != FileInfo::Kind::kFile) return;
  std::string content;
  if (!ReadWholeFile(path, &content).ok()) return;
  const std::string backup = path + ".bak";
  if (EntryExists(backup)) {
    ReplaceFile(backup, content, PageRules());
  } else {
    ReplaceFile(backup, content, CreatingRules(page->mode));
  }
}

}  // namespace vk
