#include "diff/text_lines.h"

#include <algorithm>
#include <cstring>

namespace vk {

TextLines::TextLines(std::string_view text) {
  if (text.empty()) return;
  starts_.push_back(0);
  const char* const base = text.data();
  const char* p = base;
  const char* const end = base + text.size();
  while (p < end) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (!lf) break;
    p = static_cast<const char*>(lf) + 1;
    starts_.push_back(static_cast<std::size_t>(p - base));
  }
  if (starts_.back() != text.size()) {
    starts_.push_back(text.size());
    lastTerminated_ = false;
  }
}

std::size_t TextLines::LineOf(std::size_t offset) const {
  // The last start that is not behind `offset`.
  const auto it = std::upper_bound(starts_.begin(), starts_.end() - 1, offset);
  const std::size_t line = static_cast<std::size_t>(it - starts_.begin());
  return line == 0 ? 0 : std::min(line - 1, Count() - 1);
}

}  // namespace vk
