// Helpers of the diff tests: what is left of a text without its marked ranges, a text with its
// marked ranges in brackets, and a small fixed-seed generator.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "diff/char_diff.h"

namespace vk {
inline void PrintTo(const ByteRange& r, std::ostream* os) {
  *os << '[' << r.begin << ',' << r.end << ')';
}
}  // namespace vk

namespace vk::test {

// `text` without the bytes of `ranges`.
inline std::string Unmarked(std::string_view text, const std::vector<ByteRange>& ranges) {
  std::string out;
  std::size_t at = 0;
  for (const ByteRange& r : ranges) {
    out.append(text.substr(at, r.begin - at));
    at = r.end;
  }
  out.append(text.substr(at));
  return out;
}

// `text` with every range of `ranges` between `open` and `close`.
inline std::string Bracketed(std::string_view text, const std::vector<ByteRange>& ranges,
                             char open = '[', char close = ']') {
  std::string out;
  std::size_t at = 0;
  for (const ByteRange& r : ranges) {
    out.append(text.substr(at, r.begin - at));
    out += open;
    out.append(text.substr(r.begin, r.end - r.begin));
    out += close;
    at = r.end;
  }
  out.append(text.substr(at));
  return out;
}

// Ranges sorted, non-empty, apart (not touching) and inside a text of `size` bytes.
inline bool WellFormed(const std::vector<ByteRange>& ranges, std::size_t size) {
  std::size_t previousEnd = 0;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].begin >= ranges[i].end || ranges[i].end > size) return false;
    if (i > 0 && ranges[i].begin <= previousEnd) return false;
    previousEnd = ranges[i].end;
  }
  return true;
}

inline std::size_t Covered(const std::vector<ByteRange>& ranges) {
  std::size_t total = 0;
  for (const ByteRange& r : ranges) total += r.end - r.begin;
  return total;
}

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  std::string Text(std::size_t length, std::string_view alphabet) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += alphabet[Below(alphabet.size())];
    return out;
  }

 private:
  std::uint64_t state_;
};

}  // namespace vk::test
