// Closing files away from the thread that used them. Closing the last reference to a file that a
// rename has replaced frees its blocks, and on a disk mounted with online discard that waits for
// the disk for a millisecond or more; a run that replaces thousands of pages would spend most of
// its time there. The releaser closes such descriptors on a few threads of its own, where those
// waits overlap each other and the run's work.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vk {

class FileReleaser {
 public:
  FileReleaser() = default;
  // Waits until every descriptor handed over is closed.
  ~FileReleaser();
  FileReleaser(const FileReleaser&) = delete;
  FileReleaser& operator=(const FileReleaser&) = delete;

  // Takes `fd` to close; waits while many are waiting already, so the descriptors held stay
  // few. A negative fd is ignored.
  void Close(int fd);

 private:
  static constexpr int kThreads = 8;
  static constexpr std::size_t kMostWaiting = 256;
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable room_;
  std::deque<int> waiting_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;  // started with the first descriptor
};

}  // namespace vk
