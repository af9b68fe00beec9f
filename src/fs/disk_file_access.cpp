#include "fs/disk_file_access.h"

#include "fs/large_buffer.h"
#include "fs/read_file.h"
#include "fs/replace_file.h"

namespace vk {
namespace {

class DiskAccess : public FileAccess {
 public:
  FileStatus Read(const std::string& path, std::string* content) override {
    return ReadWholeFile(path, content);
  }
  FileStatus Write(const std::string& path, std::string_view content) override {
    return ReplaceFile(path, content, PageRules());
  }
  void Reserve(std::string& buffer, std::size_t size) override { ReserveLarge(buffer, size); }
};

}  // namespace

FileAccess& DiskFileAccess() {
  static DiskAccess access;
  return access;
}

}  // namespace vk
