#include "fs/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>

#include "fs/fd.h"
#include "fs/large_buffer.h"

namespace vk {

using Code = FileStatus::Code;

FileStatus ReadWholeFile(const std::string& path, std::string* content, std::int64_t maxSize) {
  content->clear();
  // O_NONBLOCK keeps a named pipe from blocking the open; it is refused below.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return FileStatus::FromErrno(errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return FileStatus::FromErrno(errno);
  return ReadOpenFile(fd.get(), st, content, maxSize);
}

FileStatus ReadOpenFile(int fd, const struct stat& st, std::string* content, std::int64_t maxSize) {
  content->clear();
  if (S_ISDIR(st.st_mode)) return FileStatus::Error(Code::kIsDirectory, EISDIR);
  if (!S_ISREG(st.st_mode)) return FileStatus::Error(Code::kIoError, EINVAL);
  if (st.st_size > maxSize) return FileStatus::Error(Code::kTooLarge, EFBIG);

  std::string data;
  try {
    if (static_cast<std::uint64_t>(st.st_size) > data.max_size()) {
      return FileStatus::Error(Code::kTooLarge, EFBIG);
    }
    // One byte more than the size so that reaching the end needs no further allocation.
    std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
    ReserveLarge(data, capacity);
    data.resize(capacity);
    std::size_t used = 0;
    for (;;) {
      if (used == capacity) {  // the file grew while we read it
        capacity = capacity * 2;
        data.resize(capacity);
      }
      const ssize_t n = ::read(fd, data.data() + used, capacity - used);
      if (n < 0) {
        if (errno == EINTR) continue;
        return FileStatus::Error(Code::kIoError, errno);
      }
      if (n == 0) break;
      used += static_cast<std::size_t>(n);
      if (static_cast<std::uint64_t>(used) > static_cast<std::uint64_t>(maxSize)) {
        return FileStatus::Error(Code::kTooLarge, EFBIG);
      }
    }
    data.resize(used);
  } catch (const std::bad_alloc&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  } catch (const std::length_error&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  }
  *content = std::move(data);
  return FileStatus::Ok();
}

}  // namespace vk
