#include "engine/compress_block.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/compress.h"
#include "engine/compress_tags.h"
#include "engine/wide_filters.h"

namespace vk {
namespace compress_detail {
namespace {

// The rules are defined as passes that each rewrite the whole block: blanks collapsed, then
// CR LF, lone CR and lone LF each removed (a blank put in their place before most bytes), then
// tab runs removed (a blank put in their place between two bytes that are not blanks), then
// the blank between two tags deleted where no inline element stands beside it, then the end
// trimmed. All of that is done here in one walk over the source; the comments say why each
// shortcut gives the same bytes as the passes would.
//
// Two facts carry most of the shortcuts. No pass adds or removes a byte other than a blank, a
// tab or a line break. And none makes two other bytes meet that were kept apart by those:
// a line break leaves nothing only before a blank, '<', '=', '>' or the end, and a tab run
// leaves nothing only beside a blank or an end. So the name of a tag, the byte behind a '<'
// and which '<' or '>' stands nearest to another can all be read from the source.

enum Kind : unsigned char { kOrdinary = 0, kTab, kCr, kLf };

constexpr std::array<unsigned char, 256> MakeKinds() {
  std::array<unsigned char, 256> kinds{};
  kinds['\t'] = kTab;
  kinds['\r'] = kCr;
  kinds['\n'] = kLf;
  return kinds;
}
constexpr std::array<unsigned char, 256> kKinds = MakeKinds();

inline bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// The passes that remove line breaks run in this order; a break only "sees" the breaks of its
// own or a later pass as bytes still standing behind it.
enum BreakPass : int { kPassCrLf = 0, kPassCr = 1, kPassLf = 2 };

// The tag-gap scan yields at every 50th position of the text it leaves behind.
constexpr std::size_t kGapYieldStep = 50;
// Source bytes walked between two catch-ups on those yields.
constexpr std::size_t kChunk = 64 * 1024;

// Word-at-a-time tests on eight bytes (the byte at the lowest address in the lowest bits).
constexpr bool kLittleEndian = std::endian::native == std::endian::little;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
// 0x80 in every byte of `x` that is 0, nothing elsewhere.
inline std::uint64_t ZeroBytes(std::uint64_t x) {
  const std::uint64_t low7 = ~kHigh;
  return ~(((x & low7) + low7) | x | low7);
}
// 0x80 in every byte of `x` below 14 (tab, LF, CR and a few rare control bytes).
inline std::uint64_t LowBytes(std::uint64_t x) { return ~((x | kHigh) - kOnes * 14) & ~x & kHigh; }

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VK_WIDE_WALK 1
// The same tests on 32 bytes at once (AVX2), one bit per byte, lowest address lowest.
struct WideMasks {
  std::uint32_t low;  // below 14
  std::uint32_t blanks;
  std::uint32_t opens;   // '<'
  std::uint32_t closes;  // '>'
};

__attribute__((target("avx2"))) WideMasks WideMasksAt(const unsigned char* p) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const auto bits = [](__m256i hits) __attribute__((target("avx2"))) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
  };
  const __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(x, _mm256_set1_epi8(13)), x);
  return {bits(low), bits(_mm256_cmpeq_epi8(x, _mm256_set1_epi8(' '))),
          bits(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('<'))),
          bits(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('>')))};
}

bool WideWalk() { return WideFiltersAvailable(); }
#endif

class BlockPass {
 public:
  BlockPass(const unsigned char* src, std::size_t n, unsigned char* dst, Feedback& feedback)
      : src_(src), n_(n), dst_(dst), feedback_(feedback) {}

  // `dropLeading`: leave out the white space at the start of the result too. It comes from
  // the white space at the start of the block, and from a tab run there that turns into a
  // blank because a control byte stands ahead of it; that stretch is walked for its flags and
  // yields, then its output is forgotten.
  BlockResult Run(bool dropLeading) {
    std::size_t i = 0;
    if (dropLeading) {
      std::size_t lead = 0;
      while (lead < n_ && IsTrimmable(src_[lead])) ++lead;
      if (lead > 0) {
        i = Walk(0, lead);
        dropped_ = w_;
        w_ = 0;
        last_ = 0;
        // The byte behind the white space is no blank: a tab run waiting for it is a blank.
        if (pendingTab_ && i < n_) ++dropped_;
        pendingTab_ = false;
      }
    }
    while (i < n_) {
      const std::size_t chunkEnd = std::min(n_, i + kChunk);
      i = Walk(i, chunkEnd);
      // The last byte written may still be a blank that the next '<' deletes: count only what
      // is final.
      YieldGapsUpTo(dropped_ + (w_ > 0 ? w_ - 1 : 0));
    }
    // A tab run at the very end has no byte behind it and leaves nothing.
    pendingTab_ = false;
    YieldGapsUpTo(dropped_ + w_);
    while (w_ > 0 && IsTrimmable(dst_[w_ - 1])) --w_;
    BlockResult result;
    result.written = w_;
    result.changed = twoBlanks_ || gapDeleted_ ||
                     std::any_of(seen_.begin(), seen_.end(), [](bool s) { return s; });
    // Without a change by the rules only the trim at the end can have shortened the block.
    // The white space left out at the start belongs to the rules' result unless the trim at
    // the end took everything.
    const std::size_t rulesLength = w_ > 0 ? dropped_ + w_ : 0;
    result.differs = result.changed || rulesLength != n_;
    return result;
  }

 private:
  // Walks the source from `i` to at least `end`; returns where it stopped.
  std::size_t Walk(std::size_t i, std::size_t end) {
    const unsigned char* const src = src_;
    unsigned char* const dst = dst_;
    std::size_t w = w_;
    unsigned char last = last_;
    unsigned char prev = prev_;
    bool twoBlanks = twoBlanks_;
    bool pendingTab = pendingTab_;
    while (i < end) {
#if defined(VK_WIDE_WALK)
      // Thirty-two bytes at a time where the processor can, as the eight below.
      if (wide_ && i + 32 <= end && !pendingTab) {
        const WideMasks m = WideMasksAt(src + i);
        std::uint32_t stops =
            m.low | (m.blanks & (m.blanks >> 1)) | (m.opens & (m.blanks << 1) & (m.closes << 2));
        if (prev == ' ') stops |= m.blanks & 1;
        if (m.opens & 3) [[unlikely]] {
          const unsigned char before2 = w >= 2 ? dst[w - 2] : 0;
          if ((m.opens & 1) && last == ' ' && before2 == '>') stops |= 1;
          if ((m.opens & 2) && (m.blanks & 1) && last == '>') stops |= 2;
        }
        const std::size_t take =
            stops == 0 ? 32 : static_cast<std::size_t>(std::countr_zero(stops));
        // Bytes ahead of the first stop are copied as they are; a stop at 0 copies nothing.
        std::memcpy(dst + w, src + i, 32);
        if (take > 0) {
          w += take;
          i += take;
          last = prev = src[i - 1];
          if (take == 32) continue;
        }
      } else
#endif
        // Eight bytes at a time while none of them needs a decision: no tab, line break or
        // other control byte, no second blank of a run and no '<' that ends a "> <". A tab run
        // waiting for the byte behind it is decided one byte at a time.
        if (kLittleEndian && i + 8 <= end && !pendingTab) {
          std::uint64_t x;
          std::memcpy(&x, src + i, 8);
          const std::uint64_t blanks = ZeroBytes(x ^ (kOnes * ' '));
          const std::uint64_t opens = ZeroBytes(x ^ (kOnes * '<'));
          const std::uint64_t closes = ZeroBytes(x ^ (kOnes * '>'));
          std::uint64_t stops =
              LowBytes(x) | (blanks & (blanks >> 8)) | (opens & (blanks << 8) & (closes << 16));
          if (prev == ' ') stops |= blanks & 0x80;
          if (opens & 0x8080) [[unlikely]] {
            // A gap whose '>' or blank was written before this word.
            const unsigned char before2 = w >= 2 ? dst[w - 2] : 0;
            if ((opens & 0x80) && last == ' ' && before2 == '>') stops |= 0x80;
            if ((opens & 0x8000) && (blanks & 0x80) && last == '>') stops |= 0x8000;
          }
          // Bytes ahead of the first stop are copied as they are; a stop at 0 copies nothing.
          const std::size_t take =
              stops == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(stops)) / 8;
          std::memcpy(dst + w, &x, 8);
          if (take > 0) {
            w += take;
            i += take;
            last = prev = src[i - 1];
            if (take == 8) continue;
          }
        }
      const unsigned char c = src[i];
      if (kKinds[c] == kOrdinary) {
        if (pendingTab) [[unlikely]] {
          // A tab run between two bytes that are not blanks keeps them apart with one blank.
          pendingTab = false;
          if (c != ' ') {
            dst[w++] = ' ';
            last = ' ';
          }
        }
        if (c == '<' && last == ' ' && w >= 2 && dst[w - 2] == '>' && GapGoes(i)) {
          --w;
          gapDeleted_ = true;
        }
        // Only the first blank of a run is kept. A dropped blank follows a kept one, so `last`
        // is a blank already and may take `c` either way.
        const bool repeat = (c == ' ') & (prev == ' ');
        twoBlanks |= repeat;
        dst[w] = c;
        w += !repeat;
        last = c;
        prev = c;
        ++i;
        continue;
      }
      prev = c;  // a tab or a line break ends a run of blanks
      if (kKinds[c] == kTab) {
        See(kTabSeen);
        ++i;
        while (i < n_ && src[i] == '\t') ++i;
        // Ahead of the run stands the last byte written: line breaks are gone by the time tabs
        // are, and a blank the gap scan deletes later has a '<' behind it, not a tab. A run at
        // the start or behind a blank leaves nothing whatever follows it.
        if (w > 0 && last != ' ') pendingTab = true;
        continue;
      }
      std::size_t len = 1;
      BreakPass pass = kPassLf;
      if (c == '\r') {
        if (i + 1 < n_ && src[i + 1] == '\n') {
          len = 2;
          pass = kPassCrLf;
        } else {
          pass = kPassCr;
        }
      }
      See(pass);
      if (NeedsBlank(i + len, pass)) {
        // A tab run that waits has a blank behind it now, and leaves nothing.
        pendingTab = false;
        dst[w++] = ' ';
        last = ' ';
      }
      i += len;
    }
    w_ = w;
    last_ = last;
    prev_ = prev;
    twoBlanks_ = twoBlanks;
    pendingTab_ = pendingTab;
    return i;
  }

  // Whether the line break of `pass` that ends just before `next` leaves a blank: it does
  // when, at the time its pass runs, a byte stands behind it that is none of " <=>", or a '<'
  // that begins an inline element's tag. A break of its own or a later pass is still standing
  // then. A break of an earlier pass is gone; it left a blank (which silences this one) or
  // nothing, and nothing only where a byte followed it that silences this one as well.
  bool NeedsBlank(std::size_t next, BreakPass pass) const {
    if (next >= n_) return false;
    const unsigned char d = src_[next];
    switch (d) {
      case '\r': {
        const BreakPass nextPass = (next + 1 < n_ && src_[next + 1] == '\n') ? kPassCrLf : kPassCr;
        return nextPass >= pass;
      }
      case '\n':
        return true;
      case '<':
        return BeginsInlineElement(src_, n_, next);
      case ' ':
      case '=':
      case '>':
        return false;
      default:
        return true;
    }
  }

  // Whether the blank written between a '>' and the '<' at src_[lt] goes. It stays before a
  // '<' with a lower-case 'a' behind it, where the '>' closes no tag (the nearest '<' or '>'
  // ahead of it is none or another '>', or no letter, '/' or '!' follows that '<'), and where
  // the tag on either side is an inline element's. Deleting such a blank changes nothing the
  // next decision reads, so each is decided as its '<' arrives. The searches back run over
  // stretches free of '<' and '>' that no other gap's searches cover, so all of them together
  // stay linear in the block.
  bool GapGoes(std::size_t lt) const {
    if (lt + 1 < n_ && src_[lt + 1] == 'a') return false;
    if (BeginsInlineElement(src_, n_, lt)) return false;
    // Only white space lies between the '>' and this '<'.
    std::size_t gt = lt - 1;
    while (src_[gt] != '>') --gt;
    const std::size_t open = NearestAngleBefore(gt);
    if (open == kNone || src_[open] == '>') return false;
    const unsigned char first = src_[open + 1];
    if (!IsAsciiLetter(first) && first != '/' && first != '!') return false;
    return !BeginsInlineElement(src_, n_, open);
  }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The position of the last '<' or '>' ahead of `pos`, or kNone; eight bytes at a time.
  std::size_t NearestAngleBefore(std::size_t pos) const {
    std::size_t p = pos;
    if (kLittleEndian) {
      for (; p >= 8; p -= 8) {
        std::uint64_t x;
        std::memcpy(&x, src_ + p - 8, 8);
        const std::uint64_t angles = ZeroBytes(x ^ (kOnes * '<')) | ZeroBytes(x ^ (kOnes * '>'));
        if (angles != 0) return p - 8 + static_cast<std::size_t>(63 - std::countl_zero(angles)) / 8;
      }
    }
    while (p > 0) {
      --p;
      if (src_[p] == '<' || src_[p] == '>') return p;
    }
    return kNone;
  }

  enum Seen { kTabSeen = 3 };
  // Each line-break pass and the tab pass yields once when the block holds its kind of byte.
  void See(int kind) {
    if (seen_[kind]) return;
    seen_[kind] = true;
    feedback_.Yield();
  }

  void YieldGapsUpTo(std::size_t length) {
    const std::size_t due = length / kGapYieldStep;
    while (gapYields_ < due) {
      ++gapYields_;
      feedback_.Yield();
    }
  }

  const unsigned char* src_;
  std::size_t n_;
  unsigned char* dst_;
  Feedback& feedback_;
  std::size_t w_ = 0;
  std::size_t dropped_ = 0;  // bytes of the result left out at its start
  unsigned char last_ = 0;   // last byte written
  unsigned char prev_ = 0;   // last source byte walked
  bool twoBlanks_ = false;
  bool gapDeleted_ = false;
  // A tab run with a byte other than a blank ahead of it, waiting for the byte behind it.
  bool pendingTab_ = false;
#if defined(VK_WIDE_WALK)
  const bool wide_ = WideWalk();
#endif
  std::array<bool, 4> seen_{};  // CR LF, lone CR, lone LF, tab
  std::size_t gapYields_ = 0;
};

}  // namespace

BlockResult CompressBlockTo(std::string_view block, char* dst, bool dropLeading,
                            Feedback& feedback) {
  try {
    BlockPass pass(reinterpret_cast<const unsigned char*>(block.data()), block.size(),
                   reinterpret_cast<unsigned char*>(dst), feedback);
    return pass.Run(dropLeading);
  } catch (const std::bad_alloc&) {
    feedback.Error(Translate("vk::Compression", kBlockFailure));
    if (!block.empty()) std::memcpy(dst, block.data(), block.size());
    BlockResult unchanged;
    unchanged.written = block.size();
    return unchanged;
  }
}

}  // namespace compress_detail

bool CompressHtmlBlock(std::string& text, Feedback& feedback) {
  std::string result;
  try {
    result.resize(text.size());
  } catch (const std::bad_alloc&) {
    feedback.Error(Translate("vk::Compression", compress_detail::kBlockFailure));
    return false;
  }
  const compress_detail::BlockResult outcome =
      compress_detail::CompressBlockTo(text, result.data(), /*dropLeading=*/false, feedback);
  result.resize(outcome.written);
  text.swap(result);
  return outcome.changed;
}

}  // namespace vk
