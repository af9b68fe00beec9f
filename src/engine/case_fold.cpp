#include "engine/case_fold.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vk {
namespace {

std::array<unsigned char, 256> BuildCaseFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b);
  for (int b = 'A'; b <= 'Z'; ++b) table[b] = static_cast<unsigned char>(b + 32);
  for (int b = 0xC0; b <= 0xDE; ++b) {
    if (b != 0xD7)
      table[b] = static_cast<unsigned char>(b + 0x20);  // the multiplication sign stays
  }
  table[0x8A] = 0x9A;  // S with caron
  table[0x8C] = 0x9C;  // OE ligature
  table[0x8E] = 0x9E;  // Z with caron
  table[0x9F] = 0xFF;  // Y with diaeresis
  return table;
}

std::string_view UpToNul(std::string_view s) {
  const void* nul = std::memchr(s.data(), 0, s.size());
  return nul ? s.substr(0, static_cast<const char*>(nul) - s.data()) : s;
}

// Every byte folds to itself or to one other byte, so at most two bytes fold to `folded`.
void BytesFoldingTo(unsigned char folded, unsigned char (&bytes)[2]) {
  bytes[0] = bytes[1] = folded;
  const auto& fold = CaseFoldTable();
  for (int b = 0; b < 256; ++b) {
    if (fold[b] == folded && b != folded) bytes[1] = static_cast<unsigned char>(b);
  }
}

}  // namespace

const std::array<unsigned char, 256>& CaseFoldTable() {
  static const std::array<unsigned char, 256> table = BuildCaseFoldTable();
  return table;
}

std::string FoldCase(std::string_view text) {
  const auto& fold = CaseFoldTable();
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    out[i] = static_cast<char>(fold[static_cast<unsigned char>(text[i])]);
  }
  return out;
}

FoldedFinder::FoldedFinder(std::string_view pattern) : folded_(FoldCase(pattern)) {
  if (folded_.empty()) return;
  BytesFoldingTo(static_cast<unsigned char>(folded_.front()), first_);
  BytesFoldingTo(static_cast<unsigned char>(folded_.back()), last_);
}

std::size_t FoldedFinder::Find(std::string_view text, std::size_t from) const {
  const std::size_t m = folded_.size();
  if (m == 0 || from > text.size() || text.size() - from < m) return npos;
#if defined(__SSE2__)
  // Most HTML patterns begin with '<' and end with '>', which have no other case: those ends
  // need one comparison instead of two.
  const bool firstTwin = first_[0] != first_[1];
  const bool lastTwin = last_[0] != last_[1];
  if (firstTwin) {
    return lastTwin ? FindInBlocks<true, true>(text, from) : FindInBlocks<true, false>(text, from);
  }
  return lastTwin ? FindInBlocks<false, true>(text, from) : FindInBlocks<false, false>(text, from);
#else
  return FindOneByOne(text, from);
#endif
}

// HTML is full of '<', so stopping at every occurrence of the first byte is slow; instead 32
// start positions at a time are filtered on the pattern's first and last byte (in both cases),
// and only the few that pass are compared byte by byte.
template <bool kFirstTwin, bool kLastTwin>
std::size_t FoldedFinder::FindInBlocks(std::string_view text, std::size_t from) const {
#if defined(__SSE2__)
  const std::size_t m = folded_.size();
  const char* s = text.data();
  const std::size_t starts = text.size() - m + 1;  // start positions that can match
  const __m128i f0 = _mm_set1_epi8(static_cast<char>(first_[0]));
  const __m128i f1 = _mm_set1_epi8(static_cast<char>(first_[1]));
  const __m128i l0 = _mm_set1_epi8(static_cast<char>(last_[0]));
  const __m128i l1 = _mm_set1_epi8(static_cast<char>(last_[1]));
  // Both ends of the pattern compared at 16 start positions; one bit per position that passes.
  auto candidates = [&](std::size_t at) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at + m - 1));
    __m128i firstHits = _mm_cmpeq_epi8(a, f0);
    if constexpr (kFirstTwin) firstHits = _mm_or_si128(firstHits, _mm_cmpeq_epi8(a, f1));
    __m128i lastHits = _mm_cmpeq_epi8(b, l0);
    if constexpr (kLastTwin) lastHits = _mm_or_si128(lastHits, _mm_cmpeq_epi8(b, l1));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(firstHits, lastHits)));
  };
  std::size_t i = from;
  for (; i + 32 <= starts; i += 32) {
    std::uint32_t mask = candidates(i) | (candidates(i + 16) << 16);
    while (mask != 0) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
      if (InnerMatches(s + at)) return at;
      mask &= mask - 1;
    }
  }
  // Fewer than 32 start positions left, as in every search in the small window around an
  // inserted text.
  return FindOneByOne(text, i);
#else
  return FindOneByOne(text, from);
#endif
}

std::size_t FoldedFinder::FindOneByOne(std::string_view text, std::size_t from) const {
  const unsigned char* fold = fold_;
  const std::size_t m = folded_.size();
  const char* s = text.data();
  const unsigned char first = static_cast<unsigned char>(folded_.front());
  const unsigned char last = static_cast<unsigned char>(folded_.back());
  for (std::size_t i = from; i + m <= text.size(); ++i) {
    if (fold[static_cast<unsigned char>(s[i])] == first &&
        fold[static_cast<unsigned char>(s[i + m - 1])] == last && InnerMatches(s + i)) {
      return i;
    }
  }
  return npos;
}

// The bytes between the first and the last, which the filter has already checked.
bool FoldedFinder::InnerMatches(const char* p) const {
  const unsigned char* fold = fold_;
  for (std::size_t k = 1; k + 1 < folded_.size(); ++k) {
    if (fold[static_cast<unsigned char>(p[k])] != static_cast<unsigned char>(folded_[k])) {
      return false;
    }
  }
  return true;
}

std::size_t FindNoCase(std::string_view pattern, std::string_view text) {
  const std::size_t pos = FoldedFinder(UpToNul(pattern)).Find(UpToNul(text));
  return pos == FoldedFinder::npos ? 0 : pos + 1;
}

}  // namespace vk
