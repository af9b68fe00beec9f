// The buffers the steps of a run's pages write into, kept from one page to the next: a fresh
// buffer costs the system a page fault for every few kilobytes it is filled with, more than the
// step that fills it, while a buffer used before costs nothing. Shared by the run's helpers.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace vk {

// The room a buffer for a page of `size` bytes gets: enough for any step's output in most pages,
// so that one buffer serves every step.
inline std::size_t PageRoom(std::size_t size) { return size + size / 4 + 64; }

class PageBuffers {
 public:
  // Keeps at most `mostBytes` of room in at most `mostBuffers` buffers.
  PageBuffers(std::size_t mostBytes, std::size_t mostBuffers)
      : mostBytes_(mostBytes), mostBuffers_(mostBuffers) {}

  // An empty buffer with room for at least `size` bytes when one is kept (the smallest such),
  // else an empty one.
  std::string Take(std::size_t size);
  // Keeps the room of `buffer` for a later Take, where it fits within the limits.
  void Keep(std::string&& buffer);

 private:
  std::mutex mutex_;
  const std::size_t mostBytes_;
  const std::size_t mostBuffers_;
  std::size_t bytes_ = 0;
  std::vector<std::string> kept_;
};

}  // namespace vk
