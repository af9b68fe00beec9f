// Helper threads for the batch run: they transform pages and stage their new files while the
// run goes on with the next row. A synced write mostly waits for the disk; with several pages in
// flight the file system commits their syncs together, and the transformations use every core.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace vk {

class PageWorkers {
 public:
  explicit PageWorkers(int threads);
  // Finishes the work handed over, then stops the threads.
  ~PageWorkers();
  PageWorkers(const PageWorkers&) = delete;
  PageWorkers& operator=(const PageWorkers&) = delete;

  // Runs `work` on a helper; an exception it throws comes out of the future's get().
  std::future<void> Submit(std::function<void()> work);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vk
