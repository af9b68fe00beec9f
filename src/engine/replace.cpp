#include "engine/replace.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/case_fold.h"

namespace vk {
namespace {

constexpr std::size_t npos = NoCaseSearcher::npos;

// Finds a non-empty pattern ignoring case, like NoCaseSearcher. HTML is full of '<', so
// stopping at every occurrence of the first byte is slow; instead 16 start positions at a time
// are filtered on the pattern's first and last byte (in both cases), and only the few that
// pass are compared byte by byte.
class FoldedFinder {
 public:
  explicit FoldedFinder(std::string_view pattern)
      : plain_(pattern), folded_(FoldCase(pattern)) {
    BytesFoldingTo(static_cast<unsigned char>(folded_.front()), first_);
    BytesFoldingTo(static_cast<unsigned char>(folded_.back()), last_);
  }

  // 0-based position of the first occurrence starting at or after `from`, or npos.
  std::size_t Find(std::string_view text, std::size_t from) const {
#if defined(__SSE2__)
    const std::size_t m = folded_.size();
    if (from > text.size() || text.size() - from < m) return npos;
    const char* s = text.data();
    const std::size_t starts = text.size() - m + 1;  // start positions that can match
    const __m128i f0 = _mm_set1_epi8(static_cast<char>(first_[0]));
    const __m128i f1 = _mm_set1_epi8(static_cast<char>(first_[1]));
    const __m128i l0 = _mm_set1_epi8(static_cast<char>(last_[0]));
    const __m128i l1 = _mm_set1_epi8(static_cast<char>(last_[1]));
    // Both ends of the pattern compared at 16 start positions; one bit per position that
    // passes.
    auto candidates = [&](std::size_t at) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at + m - 1));
      const __m128i firstHits = _mm_or_si128(_mm_cmpeq_epi8(a, f0), _mm_cmpeq_epi8(a, f1));
      const __m128i lastHits = _mm_or_si128(_mm_cmpeq_epi8(b, l0), _mm_cmpeq_epi8(b, l1));
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
    // Fewer than 32 start positions left (and every search in the small window around an
    // inserted text): one by one, which beats setting up a memchr for a few bytes.
    const unsigned char first = static_cast<unsigned char>(folded_.front());
    const unsigned char last = static_cast<unsigned char>(folded_.back());
    for (; i < starts; ++i) {
      if (fold_[static_cast<unsigned char>(s[i])] == first &&
          fold_[static_cast<unsigned char>(s[i + m - 1])] == last && InnerMatches(s + i)) {
        return i;
      }
    }
    return npos;
#else
    return plain_.Find(text, from);
#endif
  }

 private:
  // The bytes between the first and the last, which the filter has already checked.
  bool InnerMatches(const char* p) const {
    for (std::size_t k = 1; k + 1 < folded_.size(); ++k) {
      if (fold_[static_cast<unsigned char>(p[k])] != static_cast<unsigned char>(folded_[k])) {
        return false;
      }
    }
    return true;
  }

  // Every byte folds to itself or to one other byte, so at most two bytes fold to `folded`.
  static void BytesFoldingTo(unsigned char folded, unsigned char (&bytes)[2]) {
    bytes[0] = bytes[1] = folded;
    const auto& fold = CaseFoldTable();
    for (int b = 0; b < 256; ++b) {
      if (fold[b] == folded && b != folded) bytes[1] = static_cast<unsigned char>(b);
    }
  }

  const unsigned char* fold_ = CaseFoldTable().data();
  NoCaseSearcher plain_;
  std::string folded_;
  unsigned char first_[2];
  unsigned char last_[2];
};

bool HasNul(std::string_view s) { return std::memchr(s.data(), 0, s.size()) != nullptr; }

// The search for a pattern stops at its first NUL byte, like the search in the text does.
std::string_view UpToNul(std::string_view s) {
  const void* nul = std::memchr(s.data(), 0, s.size());
  return nul ? s.substr(0, static_cast<const char*>(nul) - s.data()) : s;
}

std::string CannotAccessMessage(const std::string& fileName) {
  return "Konnte " + fileName + " nicht öffnen, schreiben oder Fehler in Datei!";
}

std::string NulBytesMessage(const std::string& fileName) {
  return "Die Datei " + fileName + " enthält Null-Bytes und wird nicht verändert!";
}

// Applies one pair to `text` and returns its number of replacements. `textHasNul` says whether
// the text holds a NUL byte (the search never looks behind the first one); it is raised when
// the pair inserted one.
//
// The pair's rule is "search the whole text from its start; go on while the first occurrence
// starts at or behind the end of the last inserted text". After a replacement at p, an
// occurrence that starts before that end must overlap the bytes from p on: everything ahead of
// p was free of occurrences before and is unchanged. So the only place to look is a window of
// find-size-minus-one bytes on either side of the inserted text; if it holds no occurrence, the
// next one is the first occurrence in the untouched rest, which a plain forward search finds.
// That makes one pass over the text per pair instead of one search from the start per
// replacement.
std::int64_t ReplacePair(std::string& text, std::string& scratch, std::string_view findEntry,
                         std::string_view replace, bool& textHasNul) {
  const std::string_view find = UpToNul(findEntry);
  if (find.empty()) return 0;
  const FoldedFinder searcher(find);
  const std::size_t m = find.size();
  const std::size_t r = replace.size();

  // Only the bytes ahead of the first NUL can be searched.
  const std::string_view searchable = textHasNul ? UpToNul(text) : std::string_view(text);
  std::size_t p = searcher.Find(searchable, 0);
  if (p == npos) return 0;

  const bool replaceHasNul = HasNul(replace);
  const std::size_t limit = searchable.size();
  // The two buffers take turns from pair to pair. Fresh pages cost more than the copying
  // itself, so a buffer is only replaced when the text no longer fits, and then by one with
  // room to grow; a result that outgrows even that still works, it just reallocates.
  scratch.clear();
  if (scratch.capacity() < text.size() + 64) scratch.reserve(text.size() + text.size() / 4 + 64);

  std::int64_t count = 0;
  std::size_t src = 0;  // first byte of `text` not yet copied to `scratch`
  std::string window;
  while (true) {
    scratch.append(text, src, p - src);
    const std::size_t insertedAt = scratch.size();
    scratch.append(replace);
    ++count;
    src = p + m;
    // A NUL in the inserted text ends every later search ahead of the last end.
    if (replaceHasNul) break;

    const std::size_t before = std::min(m - 1, insertedAt);
    const std::size_t after = std::min(m - 1, limit - src);
    window.assign(scratch, insertedAt - before, before + r);
    window.append(text, src, after);
    // The window is too short on either side to hold an occurrence that starts behind the
    // inserted text or ends ahead of it, so any hit starts before the last end.
    if (searcher.Find(window, 0) != npos) break;

    p = searcher.Find(searchable, src);
    if (p == npos) break;
  }
  scratch.append(text, src, npos);
  text.swap(scratch);
  if (replaceHasNul) textHasNul = true;
  return count;
}

}  // namespace

std::int64_t ReplaceHtmlCodeText(std::string& text, const HtmlCodeList& list,
                                 Feedback& feedback) {
  const std::size_t pairs = std::min(list.find.size(), list.replace.size());
  bool textHasNul = HasNul(text);
  std::string scratch;
  std::int64_t count = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    if (i % 5 == 0) feedback.Yield();
    count += ReplacePair(text, scratch, list.find[i], list.replace[i], textHasNul);
  }
  return count;
}

std::int64_t ReplaceHtmlCode(const std::string& fileName, const HtmlCodeListLoader& load,
                             Feedback& feedback, FileAccess& files) {
  const HtmlCodeList list = load();
  if (list.empty()) return 0;

  std::int64_t count = 0;
  std::string text;
  try {
    if (!files.Read(fileName, &text).ok()) {
      feedback.Error(CannotAccessMessage(fileName));
      return 0;
    }
    if (text.empty()) return 0;
    if (HasNul(text)) {
      feedback.Error(NulBytesMessage(fileName));
      return 0;
    }
    feedback.Yield();
    count = ReplaceHtmlCodeText(text, list, feedback);
  } catch (const std::bad_alloc&) {
    // Too big to hold twice: nothing has been written, the file stays as it is.
    feedback.Error(CannotAccessMessage(fileName));
    return 0;
  } catch (const std::length_error&) {
    feedback.Error(CannotAccessMessage(fileName));
    return 0;
  }

  // Written even when the replacements gave back the same bytes.
  if (count > 0 && !files.Write(fileName, text).ok()) {
    feedback.Error(CannotAccessMessage(fileName));
  }
  return count;
}

}  // namespace vk
