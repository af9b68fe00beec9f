#include "engine/encoding.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/cp1252.h"

namespace vk {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The first byte of 0x80 or above at or after `p`, or `end`.
const char* SkipAscii(const char* p, const char* end) {
  for (; end - p >= 8; p += 8) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    if (const std::uint64_t high = w & kHighBits; high != 0) {
      return p + (static_cast<unsigned>(__builtin_ctzll(high)) >> 3);
    }
  }
  while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return p;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "words are read lowest byte first");

}  // namespace

bool IsWellFormedUtf8(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while ((p = SkipAscii(p, end)) < end) {
    const std::size_t length = Utf8SequenceLength(p, end);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

namespace {

// What the walk over a page counts. A well-formed sequence consists of a lead byte and
// continuation bytes, and no lead byte is a continuation byte, so the walk that steps over
// sequences meets every position where one begins: the sequences are just those positions, and
// the stray bytes are the high bytes that no sequence covers. Each position can be judged from
// itself and the three bytes behind it, in any order.
struct HighByteCounts {
  std::size_t sequences = 0;
  std::size_t covered = 0;  // bytes of the sequences
  std::size_t high = 0;     // bytes of 0x80 or above

  void CountAt(const char* p, const char* end) {
    if (static_cast<unsigned char>(*p) < 0x80) return;
    ++high;
    if (const std::size_t length = Utf8SequenceLength(p, end); length > 0) {
      ++sequences;
      covered += length;
    }
  }
};

#if defined(__SSE2__)
// The counts of the positions [p, p + 16 * blocks), judged sixteen at a time without a branch
// per byte; the bytes up to three behind the last position are read too and must exist.
const char* CountBlocks(const char* p, const char* end, HighByteCounts& counts) {
  const __m128i zero = _mm_setzero_si128();
  const auto splat = [](int byte) { return _mm_set1_epi8(static_cast<char>(byte)); };
  const auto load = [](const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  };
  // x in [low, high], all unsigned.
  const auto inRange = [&](__m128i x, int low, int high) {
    const __m128i offset = _mm_sub_epi8(x, splat(low));
    return _mm_cmpeq_epi8(_mm_min_epu8(offset, splat(high - low)), offset);
  };
  const auto is = [&](__m128i x, int byte) { return _mm_cmpeq_epi8(x, splat(byte)); };
  const auto masked = [&](__m128i x, int mask, int byte) {
    return _mm_cmpeq_epi8(_mm_and_si128(x, splat(mask)), splat(byte));
  };
  // Lane counters of one byte each, emptied before any can overflow (a lane gains at most 4
  // per block).
  constexpr int kBlocksPerFlush = 60;
  __m128i sequences = zero;
  __m128i covered = zero;
  __m128i high = zero;
  int pending = 0;
  const auto flush = [&] {
    const auto sum = [&](__m128i lanes) {
      const __m128i sums = _mm_sad_epu8(lanes, zero);
      return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    };
    counts.sequences += sum(sequences);
    counts.covered += sum(covered);
    counts.high += sum(high);
    sequences = covered = high = zero;
    pending = 0;
  };
  for (; end - p >= 19; p += 16) {
    const __m128i b0 = load(p);
    if (_mm_movemask_epi8(b0) == 0) continue;
    const __m128i b1 = load(p + 1);
    const __m128i b2 = load(p + 2);
    const __m128i b3 = load(p + 3);
    const __m128i c1 = masked(b1, 0xC0, 0x80);
    const __m128i c2 = masked(b2, 0xC0, 0x80);
    const __m128i c3 = masked(b3, 0xC0, 0x80);
    const __m128i two = _mm_and_si128(inRange(b0, 0xC2, 0xDF), c1);
    // E0 needs A0 or above behind it (overlong), ED at most 9F (surrogates).
    const __m128i badThree = _mm_or_si128(_mm_and_si128(is(b0, 0xE0), masked(b1, 0xE0, 0x80)),
                                          _mm_and_si128(is(b0, 0xED), masked(b1, 0xE0, 0xA0)));
    const __m128i three =
        _mm_andnot_si128(badThree, _mm_and_si128(_mm_and_si128(inRange(b0, 0xE0, 0xEF), c1), c2));
    // F0 needs 90 or above behind it (overlong), F4 at most 8F (above U+10FFFF).
    const __m128i below90 = masked(b1, 0xF0, 0x80);
    const __m128i badFour =
        _mm_or_si128(_mm_and_si128(is(b0, 0xF0), below90), _mm_andnot_si128(below90, is(b0, 0xF4)));
    const __m128i four = _mm_andnot_si128(
        badFour, _mm_and_si128(_mm_and_si128(inRange(b0, 0xF0, 0xF4), c1), _mm_and_si128(c2, c3)));
    // Each mask is 0xFF (minus one) where it holds: subtracting counts one.
    sequences = _mm_sub_epi8(sequences, _mm_or_si128(_mm_or_si128(two, three), four));
    covered = _mm_add_epi8(covered, _mm_or_si128(_mm_or_si128(_mm_and_si128(two, splat(2)),
                                                              _mm_and_si128(three, splat(3))),
                                                 _mm_and_si128(four, splat(4))));
    high = _mm_sub_epi8(high, _mm_cmplt_epi8(b0, zero));
    if (++pending == kBlocksPerFlush) flush();
  }
  flush();
  return p;
}
#endif

}  // namespace

PageEncoding DecidePageEncoding(std::string_view page) {
  if (page.starts_with("\xEF\xBB\xBF")) return PageEncoding::kUtf8;
  HighByteCounts counts;
  const char* p = page.data();
  const char* const end = p + page.size();
#if defined(__SSE2__)
  p = CountBlocks(p, end, counts);
#endif
  for (; p < end; ++p) counts.CountAt(p, end);
  const std::size_t strays = counts.high - counts.covered;
  return counts.sequences > 0 && counts.sequences >= strays ? PageEncoding::kUtf8
                                                            : PageEncoding::kWindows1252;
}

std::string_view EncodingName(PageEncoding encoding) {
  return encoding == PageEncoding::kUtf8 ? "utf-8" : "windows-1252";
}

Utf8PageChar Utf8PageCharAt(const char* p, const char* end) {
  const auto lead = static_cast<unsigned char>(*p);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = Utf8SequenceLength(p, end);
  if (length == 0) return {Cp1252Char(lead), 1};
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    code = (code << 6) | (static_cast<unsigned char>(p[i]) & 0x3F);
  }
  return {code, length};
}

bool StartsCharacter(std::string_view text, std::size_t at) {
  if (!IsContinuationByte(text[at])) return true;
  // The nearest byte ahead that is no continuation byte is the only one that can begin a
  // sequence reaching this far.
  for (std::size_t back = 1; back <= 3 && back <= at; ++back) {
    if (IsContinuationByte(text[at - back])) continue;
    const char* lead = text.data() + at - back;
    return Utf8SequenceLength(lead, text.data() + text.size()) <= back;
  }
  return true;
}

}  // namespace vk
