#include "engine/case_fold.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VK_WIDE_BLOCKS 1
#endif

#include "engine/cp1252.h"
#include "engine/wide_filters.h"

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

std::size_t Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

unsigned char Utf8LeadByte(char32_t c) {
  const std::size_t length = Utf8Length(c);
  if (length == 1) return static_cast<unsigned char>(c);
  const unsigned marker = 0xFF00u >> length;  // 0xC0, 0xE0 or 0xF0
  return static_cast<unsigned char>(marker | (c >> (6 * (length - 1))));
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

char32_t FoldCharacter(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  switch (c) {
    case 0x160:  // S with caron
      return 0x161;
    case 0x152:  // OE ligature
      return 0x153;
    case 0x17D:  // Z with caron
      return 0x17E;
    case 0x178:  // Y with diaeresis
      return 0xFF;
    default:
      return c;
  }
}

FoldedFinder::FoldedFinder(std::string_view pattern, PageEncoding encoding)
    : folded_(FoldCase(pattern)) {
  if (folded_.empty()) return;
  const bool ascii = std::all_of(pattern.begin(), pattern.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (encoding == PageEncoding::kUtf8 && !ascii) {
    // Bytes below 0x80 are whole characters, so an ASCII pattern is searched as bytes.
    onCharacters_ = true;
    const char* end = pattern.data() + pattern.size();
    for (const char* p = pattern.data(); p < end;) {
      const Utf8PageChar c = Utf8PageCharAt(p, end);
      characters_.push_back(FoldCharacter(c.code));
      maxLength_ += Utf8Length(c.code);
      p += c.length;
    }
    // A character begins with its own byte (ASCII, or a stray byte) or with the lead byte of
    // its sequence. Each folds to itself or to one other, so there are at most four.
    const char32_t first = characters_.front();
    std::size_t found = 0;
    auto add = [&](unsigned char byte) {
      if (found < 4 && std::find(starts_, starts_ + found, byte) == starts_ + found) {
        starts_[found++] = byte;
      }
    };
    for (int b = 0; b < 256; ++b) {
      const char32_t c = Cp1252Char(static_cast<unsigned char>(b));
      if (FoldCharacter(c) != first) continue;
      add(static_cast<unsigned char>(b));
      if (c >= 0x80) add(Utf8LeadByte(c));
    }
    if (first >= 0x80) add(Utf8LeadByte(first));
    for (std::size_t i = found; i < 4; ++i) starts_[i] = starts_[0];
    return;
  }
  BytesFoldingTo(static_cast<unsigned char>(folded_.front()), first_);
  BytesFoldingTo(static_cast<unsigned char>(folded_.back()), last_);
  middleAt_ = folded_.size() / 2;
  BytesFoldingTo(static_cast<unsigned char>(folded_[middleAt_]), middle_);
}

std::size_t FoldedFinder::Find(std::string_view text, std::size_t from, std::size_t* length) const {
  if (onCharacters_) return FindCharacters(text, from, length);
  const std::size_t m = folded_.size();
  *length = m;
  if (m == 0 || from > text.size() || text.size() - from < m) return npos;
#if defined(__SSE2__)
  // Most HTML patterns begin with '<' and end with '>', which have no other case: those ends
  // need one comparison instead of two.
  const bool firstTwin = first_[0] != first_[1];
  const bool lastTwin = last_[0] != last_[1];
  if (firstTwin) {
    return lastTwin ? FindFiltered<true, true>(text, from) : FindFiltered<true, false>(text, from);
  }
  return lastTwin ? FindFiltered<false, true>(text, from) : FindFiltered<false, false>(text, from);
#else
  return FindOneByOne(text, from);
#endif
}

#if defined(VK_WIDE_BLOCKS)
namespace {
// Whether the processor filters 32 bytes at once (AVX2); asked once.
bool WideBlocks() { return WideFiltersAvailable(); }
}  // namespace
#endif

template <bool kFirstTwin, bool kLastTwin>
std::size_t FoldedFinder::FindFiltered(std::string_view text, std::size_t from) const {
#if defined(VK_WIDE_BLOCKS)
  // Short searches (the window around an inserted text) gain nothing from the wider filter.
  if (text.size() - from >= 256 && WideBlocks()) {
    return FindInWideBlocks<kFirstTwin, kLastTwin>(text, from);
  }
#endif
  return FindInBlocks<kFirstTwin, kLastTwin>(text, from);
}

#if defined(VK_WIDE_BLOCKS)
// FindInBlocks with 64 start positions filtered at a time; the rest goes on as there.
template <bool kFirstTwin, bool kLastTwin>
__attribute__((target("avx2"))) std::size_t FoldedFinder::FindInWideBlocks(std::string_view text,
                                                                           std::size_t from) const {
  const std::size_t m = folded_.size();
  const char* s = text.data();
  const std::size_t starts = text.size() - m + 1;  // start positions that can match
  const __m256i f0 = _mm256_set1_epi8(static_cast<char>(first_[0]));
  const __m256i f1 = _mm256_set1_epi8(static_cast<char>(first_[1]));
  const __m256i l0 = _mm256_set1_epi8(static_cast<char>(last_[0]));
  const __m256i l1 = _mm256_set1_epi8(static_cast<char>(last_[1]));
  const __m256i m0 = _mm256_set1_epi8(static_cast<char>(middle_[0]));
  const __m256i m1 = _mm256_set1_epi8(static_cast<char>(middle_[1]));
  auto candidates = [&](std::size_t at) __attribute__((target("avx2"))) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at + m - 1));
    __m256i firstHits = _mm256_cmpeq_epi8(a, f0);
    if constexpr (kFirstTwin) firstHits = _mm256_or_si256(firstHits, _mm256_cmpeq_epi8(a, f1));
    __m256i lastHits = _mm256_cmpeq_epi8(b, l0);
    if constexpr (kLastTwin) lastHits = _mm256_or_si256(lastHits, _mm256_cmpeq_epi8(b, l1));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at + middleAt_));
    const __m256i middleHits = _mm256_or_si256(_mm256_cmpeq_epi8(c, m0), _mm256_cmpeq_epi8(c, m1));
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_and_si256(firstHits, lastHits), middleHits)));
  };
  std::size_t i = from;
  for (; i + 64 <= starts; i += 64) {
    std::uint64_t mask = candidates(i) | (std::uint64_t{candidates(i + 32)} << 32);
    while (mask != 0) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
      if (InnerMatches(s + at)) return at;
      mask &= mask - 1;
    }
  }
  return FindInBlocks<kFirstTwin, kLastTwin>(text, i);
}
#endif

// HTML is full of '<', so stopping at every occurrence of the first byte is slow; instead 32
// start positions at a time are filtered on the pattern's first, middle and last byte (in both
// cases), and only the few that pass are compared byte by byte. The middle byte tells most tags
// of the same length apart ("</b>" from "</p>", "<br>" from "<td>").
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
  const __m128i m0 = _mm_set1_epi8(static_cast<char>(middle_[0]));
  const __m128i m1 = _mm_set1_epi8(static_cast<char>(middle_[1]));
  // Both ends of the pattern compared at 16 start positions; one bit per position that passes.
  auto candidates = [&](std::size_t at) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at + m - 1));
    __m128i firstHits = _mm_cmpeq_epi8(a, f0);
    if constexpr (kFirstTwin) firstHits = _mm_or_si128(firstHits, _mm_cmpeq_epi8(a, f1));
    __m128i lastHits = _mm_cmpeq_epi8(b, l0);
    if constexpr (kLastTwin) lastHits = _mm_or_si128(lastHits, _mm_cmpeq_epi8(b, l1));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at + middleAt_));
    const __m128i middleHits = _mm_or_si128(_mm_cmpeq_epi8(c, m0), _mm_cmpeq_epi8(c, m1));
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_and_si128(_mm_and_si128(firstHits, lastHits), middleHits)));
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

std::size_t FoldedFinder::FindCharacters(std::string_view text, std::size_t from,
                                         std::size_t* length) const {
  std::size_t i = from;
#if defined(__SSE2__)
  const char* s = text.data();
  const __m128i b0 = _mm_set1_epi8(static_cast<char>(starts_[0]));
  const __m128i b1 = _mm_set1_epi8(static_cast<char>(starts_[1]));
  const __m128i b2 = _mm_set1_epi8(static_cast<char>(starts_[2]));
  const __m128i b3 = _mm_set1_epi8(static_cast<char>(starts_[3]));
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, b0), _mm_cmpeq_epi8(a, b1)),
                                      _mm_or_si128(_mm_cmpeq_epi8(a, b2), _mm_cmpeq_epi8(a, b3)));
    auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
    while (mask != 0) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
      if (CharactersMatch(text, at, length)) return at;
      mask &= mask - 1;
    }
  }
#endif
  for (; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b == starts_[0] || b == starts_[1] || b == starts_[2] || b == starts_[3]) &&
        CharactersMatch(text, i, length)) {
      return i;
    }
  }
  return npos;
}

bool FoldedFinder::CharactersMatch(std::string_view text, std::size_t at,
                                   std::size_t* length) const {
  if (!StartsCharacter(text, at)) return false;
  const char* const begin = text.data() + at;
  const char* const end = text.data() + text.size();
  const char* p = begin;
  for (const char32_t wanted : characters_) {
    if (p == end) return false;
    const Utf8PageChar c = Utf8PageCharAt(p, end);
    if (FoldCharacter(c.code) != wanted) return false;
    p += c.length;
  }
  *length = static_cast<std::size_t>(p - begin);
  return true;
}

std::size_t FindNoCase(std::string_view pattern, std::string_view text) {
  const std::size_t pos = FoldedFinder(UpToNul(pattern)).Find(UpToNul(text));
  return pos == FoldedFinder::npos ? 0 : pos + 1;
}

}  // namespace vk
