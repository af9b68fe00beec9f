// One page held in memory while the batch run chains its transformations: the engine reads and
// writes it through FileAccess exactly as it would the file on disk, and the run decides
// afterwards whether and how the result reaches the disk.
#pragma once

#include <string>
#include <string_view>

#include "batch/page_buffers.h"
#include "engine/file_access.h"

namespace vk {

class MemoryPage : public FileAccess {
 public:
  // The page at `path` as it was read: `loadStatus` and, when that is Ok, its bytes `original`
  // (kept by the caller for as long as the page lives; no copy is made until a write). A failed
  // read is what every Read of the page returns, as reading the unchanged file again would.
  // Every Write fails with `writeRefusal` when that is not Ok (a read-only page, or a write
  // that failed on disk); otherwise it changes the page in memory.
  // With `buffers`, the steps' buffers come from there and go back there when the page goes.
  MemoryPage(std::string path, FileStatus loadStatus, std::string_view original,
             FileStatus writeRefusal = FileStatus::Ok(), PageBuffers* buffers = nullptr);
  ~MemoryPage() override;
  MemoryPage(const MemoryPage&) = delete;
  MemoryPage& operator=(const MemoryPage&) = delete;

  // The page's current content. Another path is refused with kNotFound: a step touches only
  // its page.
  FileStatus Read(const std::string& path, std::string* content) override;
  // Keeps `content` as the page's content and notes that the page was written.
  FileStatus Write(const std::string& path, std::string_view content) override;
  // The page's current content, without a copy; valid until the next Write or Give.
  FileStatus ReadView(const std::string& path, std::string* storage,
                      std::string_view* view) override;
  // Write taking over `content`'s buffer; the page's former buffer is kept for a later Reserve.
  FileStatus Give(const std::string& path, std::string& content) override;
  // The steps of a page hand their buffers on: a buffer given back or written over is the room
  // of the next step's output, so a page costs its bytes, its content and one working copy.
  void Reserve(std::string& buffer, std::size_t size) override;
  void Recycle(std::string& buffer) override;

  const FileStatus& LoadStatus() const { return loadStatus_; }
  bool Written() const { return written_; }
  std::string_view Content() const { return written_ ? std::string_view(content_) : original_; }

 private:
  std::string path_;
  FileStatus loadStatus_;
  std::string_view original_;
  FileStatus writeRefusal_;
  std::string content_;
  std::string spare_;  // a buffer no step uses now
  PageBuffers* buffers_;
  bool written_ = false;
};

}  // namespace vk
