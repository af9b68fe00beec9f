#include "batch/page_buffers.h"

#include <utility>

namespace vk {

std::string PageBuffers::Take(std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t best = kept_.size();
  for (std::size_t i = 0; i < kept_.size(); ++i) {
    const std::size_t room = kept_[i].capacity();
    if (room >= size && (best == kept_.size() || room < kept_[best].capacity())) best = i;
  }
  if (best == kept_.size()) return std::string();
  std::string buffer = std::move(kept_[best]);
  kept_[best] = std::move(kept_.back());
  kept_.pop_back();
  bytes_ -= buffer.capacity();
  buffer.clear();
  return buffer;
}

void PageBuffers::Keep(std::string&& buffer) {
  // Small buffers are cheap to make afresh.
  constexpr std::size_t kWorthKeeping = 64 * 1024;
  const std::size_t room = buffer.capacity();
  if (room < kWorthKeeping) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (bytes_ + room > mostBytes_ || kept_.size() >= mostBuffers_) return;
  bytes_ += room;
  kept_.push_back(std::move(buffer));
}

}  // namespace vk
