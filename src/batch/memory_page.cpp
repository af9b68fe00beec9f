#include "batch/memory_page.h"

#include <utility>

namespace vk {

MemoryPage::MemoryPage(std::string path, bool writable, FileAccess& disk)
    : path_(std::move(path)), writable_(writable), disk_(disk), loadStatus_(FileStatus::Ok()) {
  loadStatus_ = disk_.Read(path_, &content_);
}

FileStatus MemoryPage::Read(const std::string& path, std::string* content) {
  if (path != path_) return disk_.Read(path, content);
  if (!loadStatus_.ok()) {
    content->clear();
    return loadStatus_;
  }
  *content = content_;
  return FileStatus::Ok();
}

FileStatus MemoryPage::Write(const std::string& path, std::string_view content) {
  if (path != path_) return disk_.Write(path, content);
  if (!writable_) return FileStatus::Error(FileStatus::Code::kReadOnly);
  content_.assign(content);
  written_ = true;
  return FileStatus::Ok();
}

}  // namespace vk
