#include "engine/compress_tags.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VK_WIDE_TAGS 1
#endif

#include "engine/case_fold.h"
#include "engine/wide_filters.h"

namespace vk::compress_detail {
namespace {

#if defined(VK_WIDE_TAGS)
// The filter of FindPageTags on 32 positions at a time (AVX2), from `pos` while the two bytes
// behind the last of them exist; hands each position that passes to `examine` and returns
// where it stopped.
template <class Examine>
__attribute__((target("avx2"))) std::size_t FindTagsWide(const char* base, std::size_t n,
                                                         std::size_t pos, Examine& examine) {
  const __m256i lt = _mm256_set1_epi8('<');
  const __m256i slash = _mm256_set1_epi8('/');
  const __m256i lowerBit = _mm256_set1_epi8(0x20);
  const __m256i s = _mm256_set1_epi8('s');
  const __m256i p = _mm256_set1_epi8('p');
  for (; pos + 34 <= n; pos += 32) {
    const auto load = [&](std::size_t at) __attribute__((target("avx2"))) {
      return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + at));
    };
    const auto namesStart = [&](__m256i bytes) __attribute__((target("avx2"))) {
      const __m256i lowered = _mm256_or_si256(bytes, lowerBit);
      return _mm256_or_si256(_mm256_cmpeq_epi8(lowered, s), _mm256_cmpeq_epi8(lowered, p));
    };
    const __m256i b1 = load(pos + 1);
    const __m256i behind = _mm256_or_si256(
        namesStart(b1), _mm256_and_si256(_mm256_cmpeq_epi8(b1, slash), namesStart(load(pos + 2))));
    auto mask = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(load(pos), lt), behind)));
    while (mask != 0) {
      examine(pos + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
  return pos;
}
#endif

}  // namespace

PageTags FindPageTags(std::string_view text) {
  PageTags tags;
  const auto& fold = CaseFoldTable();
  const char* base = text.data();
  const std::size_t n = text.size();
  // Whether the bytes from `at` spell `lower` (lower-case ASCII) in any letter case.
  auto spells = [&](std::size_t at, std::string_view lower) {
    if (n - at < lower.size()) return false;
    for (std::size_t k = 0; k < lower.size(); ++k) {
      if (fold[static_cast<unsigned char>(base[at + k])] != static_cast<unsigned char>(lower[k])) {
        return false;
      }
    }
    return true;
  };
  // The '<' at `at` may begin one of the four names: look at it closely.
  auto examine = [&](std::size_t at) {
    // Most tags are told apart by the byte or two behind the '<'.
    std::size_t name = at + 1;
    if (name >= n) return;
    const bool isEnd = base[name] == '/';
    if (isEnd && ++name >= n) return;
    const unsigned char first = fold[static_cast<unsigned char>(base[name])];
    if (first == 's' && spells(name + 1, "cript")) {
      const std::size_t length = name + 6 - at;
      tags.names.push_back({at, length});
      if (!isEnd) {
        tags.scriptStarts.push_back(at);
      } else if (at + length < n && base[at + length] == '>') {
        tags.scriptEnds.push_back(at);
      }
    } else if (first == 'p' && spells(name + 1, "re")) {
      const std::size_t length = name + 3 - at;
      tags.names.push_back({at, length});
      if (!isEnd) {
        tags.preStarts.push_back(at);
      } else if (at + length < n && base[at + length] == '>') {
        tags.preEnds.push_back(at);
      }
    }
  };
  std::size_t pos = 0;
#if defined(VK_WIDE_TAGS)
  if (WideFiltersAvailable()) pos = FindTagsWide(base, n, pos, examine);
#endif
#if defined(__SSE2__)
  // Pages are full of '<'; only one with 's' or 'p' behind it, or behind "</", goes further.
  // Sixteen positions at a time, while the two bytes behind the last of them exist.
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i lowerBit = _mm_set1_epi8(0x20);
  const __m128i s = _mm_set1_epi8('s');
  const __m128i p = _mm_set1_epi8('p');
  const auto load = [&](std::size_t at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
  };
  const auto namesStart = [&](__m128i bytes) {
    const __m128i lowered = _mm_or_si128(bytes, lowerBit);
    return _mm_or_si128(_mm_cmpeq_epi8(lowered, s), _mm_cmpeq_epi8(lowered, p));
  };
  for (; pos + 18 <= n; pos += 16) {
    const __m128i b0 = load(pos);
    const __m128i opens = _mm_cmpeq_epi8(b0, lt);
    if (_mm_movemask_epi8(opens) == 0) continue;
    const __m128i b1 = load(pos + 1);
    const __m128i b2 = load(pos + 2);
    const __m128i behind =
        _mm_or_si128(namesStart(b1), _mm_and_si128(_mm_cmpeq_epi8(b1, slash), namesStart(b2)));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(opens, behind)));
    while (mask != 0) {
      examine(pos + static_cast<unsigned>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  while (pos < n) {
    const void* hit = std::memchr(base + pos, '<', n - pos);
    if (hit == nullptr) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    pos = at + 1;
    examine(at);
  }
  return tags;
}

}  // namespace vk::compress_detail
