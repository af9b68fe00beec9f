#include "fs/disk_file_access.h"

#include <sys/mman.h>

#include <cstdint>

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
  void Reserve(std::string& buffer, std::size_t size) override {
    buffer.reserve(size);
#if defined(MADV_HUGEPAGE)
    // Only whole huge pages inside the buffer; the request is a hint, and when it fails
    // nothing changes.
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    if (size >= 2 * kHugePage) {
      const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
      const std::uintptr_t first = (begin + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
      const std::uintptr_t last = (begin + size) & ~std::uintptr_t{kHugePage - 1};
      if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
  }
};

}  // namespace

FileAccess& DiskFileAccess() {
  static DiskAccess access;
  return access;
}

}  // namespace vk
