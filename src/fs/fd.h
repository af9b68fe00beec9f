// The file layer's one file descriptor wrapper: closes on every path out of a function, and
// says when a close or sync fails, where that is the first sign of a lost write.
#pragma once

#include <string>
#include <utility>

namespace vk {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd();
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Takes `fd` in, closing what was held before.
  void Reset(int fd = -1);
  // fsync, retried when a signal interrupts it. Returns 0 or the errno.
  int Sync() const;
  // Hands the descriptor over without closing it.
  int Release() { return std::exchange(fd_, -1); }
  // Closes now. Returns 0 or the errno of a failing close; Linux releases the descriptor even
  // then, so it is never retried.
  int Close();

 private:
  int fd_ = -1;
};

// Syncs the folder at `path`, so that a rename or a new entry in it survives a crash. Errors
// are ignored: the content is safe by then, only the entry may be lost.
void SyncFolder(const std::string& path);

}  // namespace vk
