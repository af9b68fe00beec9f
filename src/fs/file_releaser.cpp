#include "fs/file_releaser.h"

#include <unistd.h>

namespace vk {

FileReleaser::~FileReleaser() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void FileReleaser::Close(int fd) {
  if (fd < 0) return;
  std::unique_lock<std::mutex> lock(mutex_);
  if (threads_.empty()) {
    for (int i = 0; i < kThreads; ++i) threads_.emplace_back([this] { Work(); });
  }
  room_.wait(lock, [this] { return waiting_.size() < kMostWaiting; });
  waiting_.push_back(fd);
  wake_.notify_one();
}

void FileReleaser::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (waiting_.empty()) return;  // stopping, and everything closed
    const int fd = waiting_.front();
    waiting_.pop_front();
    room_.notify_one();
    lock.unlock();
    ::close(fd);
    lock.lock();
  }
}

}  // namespace vk
