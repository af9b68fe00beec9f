#include "fs/fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vk {

Fd::~Fd() { Reset(); }

void Fd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

int Fd::Sync() const {
  while (::fsync(fd_) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int Fd::Close() {
  if (fd_ < 0) return 0;
  return ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
}

void SyncFolder(const std::string& path) {
  Fd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) folder.Sync();
}

}  // namespace vk
