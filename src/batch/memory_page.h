// One page held in memory while the batch run chains its transformations: the engine reads and
// writes it through FileAccess exactly as it would the file on disk, and the run decides
// afterwards whether and how the result reaches the disk.
#pragma once

#include <string>
#include <string_view>

#include "engine/file_access.h"
#include "fs/disk_file_access.h"

namespace vk {

class MemoryPage : public FileAccess {
 public:
  // Reads the page at `path` from `disk` once. A failed read is remembered, and every later
  // Read of the page returns that failure, as reading the unchanged file again would. With
  // `writable` false, every Write is refused with kReadOnly, as the disk would refuse it.
  MemoryPage(std::string path, bool writable, FileAccess& disk = DiskFileAccess());

  // The page's current content; other paths go to `disk`.
  FileStatus Read(const std::string& path, std::string* content) override;
  // Keeps `content` as the page's content and notes that the page was written.
  FileStatus Write(const std::string& path, std::string_view content) override;

  const FileStatus& LoadStatus() const { return loadStatus_; }
  bool Written() const { return written_; }
  const std::string& Content() const { return content_; }

 private:
  std::string path_;
  bool writable_;
  FileAccess& disk_;
  FileStatus loadStatus_;
  std::string content_;
  bool written_ = false;
};

}  // namespace vk
