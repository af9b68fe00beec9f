#include "batch/memory_page.h"

#include <cerrno>
#include <utility>

namespace vk {

MemoryPage::MemoryPage(std::string path, FileStatus loadStatus, std::string_view original,
                       FileStatus writeRefusal)
    : path_(std::move(path)),
      loadStatus_(loadStatus),
      original_(loadStatus.ok() ? original : std::string_view()),
      writeRefusal_(writeRefusal) {}

FileStatus MemoryPage::Read(const std::string& path, std::string* content) {
  content->clear();
  if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound, ENOENT);
  if (!loadStatus_.ok()) return loadStatus_;
  content->assign(Content());
  return FileStatus::Ok();
}

FileStatus MemoryPage::Write(const std::string& path, std::string_view content) {
  if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound, ENOENT);
  if (!writeRefusal_.ok()) return writeRefusal_;
  content_.assign(content);
  written_ = true;
  return FileStatus::Ok();
}

}  // namespace vk
