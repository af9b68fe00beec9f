// Helper threads for the batch run: they transform pages and write them while the run goes on
// with the next row. A synced write mostly waits for the disk; with several pages in flight
// the file system commits their syncs together, and the transformations use every core.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/file_access.h"

namespace vk {

class PageWorkers {
 public:
  // What a page's work reports: the outcome of its write, or nothing when it needed none.
  using Result = std::optional<FileStatus>;

  explicit PageWorkers(int threads);
  // Finishes the work handed over, then stops the threads.
  ~PageWorkers();
  PageWorkers(const PageWorkers&) = delete;
  PageWorkers& operator=(const PageWorkers&) = delete;

  // Runs `work` on a helper; an exception it throws comes out of the future's get().
  std::future<Result> Submit(std::function<Result()> work);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<Result()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vk
