#include "batch/memory_page.h"

#include <cerrno>
#include <utility>

#include "fs/large_buffer.h"

namespace vk {

MemoryPage::MemoryPage(std::string path, FileStatus loadStatus, std::string_view original,
                       FileStatus writeRefusal, PageBuffers* buffers)
    : path_(std::move(path)),
      loadStatus_(loadStatus),
      original_(loadStatus.ok() ? original : std::string_view()),
      writeRefusal_(writeRefusal),
      buffers_(buffers) {}

MemoryPage::~MemoryPage() {
  if (buffers_ == nullptr) return;
  buffers_->Keep(std::move(content_));
  buffers_->Keep(std::move(spare_));
}

FileStatus MemoryPage::Read(const std::string& path, std::string* content) {
  content->clear();
  if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound, ENOENT);
  if (!loadStatus_.ok()) return loadStatus_;
  ReserveLarge(*content, Content().size());
  content->assign(Content());
  return FileStatus::Ok();
}

FileStatus MemoryPage::ReadView(const std::string& path, std::string* storage,
                                std::string_view* view) {
  storage->clear();
  *view = std::string_view();
  if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound, ENOENT);
  if (!loadStatus_.ok()) return loadStatus_;
  *view = Content();
  return FileStatus::Ok();
}

FileStatus MemoryPage::Give(const std::string& path, std::string& content) {
  if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound, ENOENT);
  if (!writeRefusal_.ok()) return writeRefusal_;
  content_.swap(content);
  Recycle(content);
  written_ = true;
  return FileStatus::Ok();
}

void MemoryPage::Reserve(std::string& buffer, std::size_t size) {
  if (buffer.capacity() < size && spare_.capacity() >= size) {
    buffer.swap(spare_);
    buffer.clear();
  } else if (buffer.capacity() < size && buffers_ != nullptr) {
    std::string kept = buffers_->Take(size);
    if (kept.capacity() >= size) buffer.swap(kept);
  }
  ReserveLarge(buffer, size);
}

void MemoryPage::Recycle(std::string& buffer) {
  if (buffer.capacity() > spare_.capacity()) spare_.swap(buffer);
  if (buffers_ != nullptr) buffers_->Keep(std::move(buffer));
}

FileStatus MemoryPage::Write(const std::string& path, std::string_view content) {
  if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound, ENOENT);
  if (!writeRefusal_.ok()) return writeRefusal_;
  content_.assign(content);
  written_ = true;
  return FileStatus::Ok();
}

}  // namespace vk
