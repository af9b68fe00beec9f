#include "batch/page_workers.h"

#include <utility>

namespace vk {

PageWorkers::PageWorkers(int threads) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

PageWorkers::~PageWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::future<void> PageWorkers::Submit(std::function<void()> work) {
  std::packaged_task<void()> task(std::move(work));
  std::future<void> result = task.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
  return result;
}

void PageWorkers::Work() {
  while (true) {
    std::packaged_task<void()> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      // Work already handed over is done even when stopping: the run's rows refer to it.
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace vk
