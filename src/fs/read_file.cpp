#include "fs/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>
#include <stdexcept>

#include "fs/fd.h"
#include "fs/large_buffer.h"

namespace vk {

using Code = FileStatus::Code;

namespace {

// A big file is read through a buffer of the thread's own and appended from there: the room
// reserved for it is then written once, where filling it with zeros first and reading into it
// would write every byte twice. Small files are read in place.
constexpr std::size_t kStagedFrom = std::size_t{1} << 20;
constexpr std::size_t kStageBytes = 256 * 1024;

// Reads to the end into `data`, which has room for `capacity` bytes.
FileStatus ReadInto(int fd, std::size_t capacity, std::int64_t maxSize, std::string& data) {
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
  return FileStatus::Ok();
}

FileStatus ReadStaged(int fd, std::int64_t maxSize, std::string& data) {
  thread_local std::unique_ptr<char[]> stage;
  if (!stage) stage = std::make_unique<char[]>(kStageBytes);
  for (;;) {
    const ssize_t n = ::read(fd, stage.get(), kStageBytes);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileStatus::Error(Code::kIoError, errno);
    }
    if (n == 0) break;
    if (static_cast<std::uint64_t>(data.size()) + static_cast<std::uint64_t>(n) >
        static_cast<std::uint64_t>(maxSize)) {
      return FileStatus::Error(Code::kTooLarge, EFBIG);
    }
    data.append(stage.get(), static_cast<std::size_t>(n));
  }
  return FileStatus::Ok();
}

}  // namespace

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
  data.swap(*content);  // room the caller gave the content is used
  try {
    if (static_cast<std::uint64_t>(st.st_size) > data.max_size()) {
      return FileStatus::Error(Code::kTooLarge, EFBIG);
    }
    // One byte more than the size so that reaching the end needs no further allocation.
    const std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
    ReserveLarge(data, capacity);
    const FileStatus status = capacity <= kStagedFrom ? ReadInto(fd, capacity, maxSize, data)
                                                      : ReadStaged(fd, maxSize, data);
    if (!status.ok()) return status;
  } catch (const std::bad_alloc&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  } catch (const std::length_error&) {
    return FileStatus::Error(Code::kTooLarge, ENOMEM);
  }
  *content = std::move(data);
  return FileStatus::Ok();
}

}  // namespace vk
