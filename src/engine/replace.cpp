#include "engine/replace.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/case_fold.h"

namespace vk {
namespace {

constexpr std::size_t npos = NoCaseSearcher::npos;

// Finds a non-empty pattern ignoring case, like NoCaseSearcher. HTML is full of '<', so
// stopping at every occurrence of the first byte is slow; instead 32 start positions at a time
// are filtered on the pattern's first and last byte (in both cases), and only the few that
// pass are compared byte by byte.
class FoldedFinder {
 public:
  explicit FoldedFinder(std::string_view pattern) : folded_(FoldCase(pattern)) {
    BytesFoldingTo(static_cast<unsigned char>(folded_.front()), first_);
    BytesFoldingTo(static_cast<unsigned char>(folded_.back()), last_);
  }

  // 0-based position of the first occurrence starting at or after `from`, or npos.
  std::size_t Find(std::string_view text, std::size_t from) const {
    const std::size_t m = folded_.size();
    if (from > text.size() || text.size() - from < m) return npos;
#if defined(__SSE2__)
    // Most HTML patterns begin with '<' and end with '>', which have no other case: those ends
    // need one comparison instead of two.
    const bool firstTwin = first_[0] != first_[1];
    const bool lastTwin = last_[0] != last_[1];
    if (firstTwin) {
      return lastTwin ? FindInBlocks<true, true>(text, from)
                      : FindInBlocks<true, false>(text, from);
    }
    return lastTwin ? FindInBlocks<false, true>(text, from)
                    : FindInBlocks<false, false>(text, from);
#else
    return FindOneByOne(text, from);
#endif
  }

 private:
#if defined(__SSE2__)
  template <bool kFirstTwin, bool kLastTwin>
  std::size_t FindInBlocks(std::string_view text, std::size_t from) const {
    const std::size_t m = folded_.size();
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
  }
#endif

  std::size_t FindOneByOne(std::string_view text, std::size_t from) const {
    const std::size_t m = folded_.size();
    const char* s = text.data();
    const unsigned char first = static_cast<unsigned char>(folded_.front());
    const unsigned char last = static_cast<unsigned char>(folded_.back());
    for (std::size_t i = from; i + m <= text.size(); ++i) {
      if (fold_[static_cast<unsigned char>(s[i])] == first &&
          fold_[static_cast<unsigned char>(s[i + m - 1])] == last && InnerMatches(s + i)) {
        return i;
      }
    }
    return npos;
  }

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

// One pair working through a stream of text: the bytes of the previous pair's result come in
// piece by piece, and the stage passes on every byte it has settled.
//
// The pair's rule is "search the whole text from its start; go on while the first occurrence
// starts at or behind the end of the last inserted text". After a replacement at p, an
// occurrence that starts before that end must overlap the bytes from p on: everything ahead of
// p was free of occurrences before and is unchanged. So the only place to look is a window of
// find-size-minus-one bytes on either side of the inserted text; if it holds no occurrence, the
// next one is the first occurrence in the untouched rest, which a plain forward search finds.
// That needs nothing from the text but the last few bytes passed on, so the pair can work on
// a stream.
class PairStage {
 public:
  // `find` is not empty and holds no NUL byte.
  PairStage(std::string_view find, std::string_view replace, bool inputMayHoldNul)
      : finder_(find),
        replace_(replace),
        m_(find.size()),
        replaceHasNul_(HasNul(replace)),
        inputMayHoldNul_(inputMayHoldNul) {}

  // Where the bytes for this stage go; it keeps what it could not settle yet at the front.
  std::string& Input() { return input_; }

  // Works through Input() and appends every settled byte to `out`. `final`: the text ends
  // with what is in Input() now.
  void Process(bool final, std::string& out) {
    std::size_t pos = 0;  // bytes of Input() ahead of it are passed on
    if (!done_) {
      // Nothing behind the first NUL byte is ever searched.
      std::size_t limit = input_.size();
      bool hasNul = false;
      if (inputMayHoldNul_) {
        if (const void* nul = std::memchr(input_.data(), 0, input_.size())) {
          limit = static_cast<std::size_t>(static_cast<const char*>(nul) - input_.data());
          hasNul = true;
        }
      }
      const std::string_view searchable(input_.data(), limit);
      const bool complete = final || hasNul;  // no searchable byte will be added
      while (true) {
        const std::size_t p = finder_.Find(searchable, pos);
        if (p == npos) {
          if (complete) {
            done_ = true;
            break;
          }
          // An occurrence may still begin in the last find-size-minus-one bytes.
          const std::size_t keep = std::min(m_ - 1, limit - pos);
          PassOn(searchable.substr(pos, limit - keep - pos), out);
          pos = limit - keep;
          break;
        }
        if (!complete && p + 2 * m_ - 1 > limit) {
          // The check behind the replacement needs bytes that have not come yet.
          PassOn(searchable.substr(pos, p - pos), out);
          pos = p;
          break;
        }
        PassOn(searchable.substr(pos, p - pos), out);
        window_.assign(recent_);
        window_.append(replace_);
        window_.append(searchable.substr(p + m_, std::min(m_ - 1, limit - (p + m_))));
        PassOn(replace_, out);
        ++count_;
        pos = p + m_;
        // A NUL in the inserted text ends every later search ahead of the last end. Otherwise
        // the window is too short on either side to hold an occurrence that starts behind the
        // inserted text or ends ahead of it, so any hit there starts before the last end.
        if (replaceHasNul_ || finder_.Find(window_, 0) != npos) {
          done_ = true;
          break;
        }
      }
    }
    if (done_) {
      out.append(input_, pos);
      input_.clear();
    } else {
      input_.erase(0, pos);
    }
  }

  std::int64_t count() const { return count_; }

 private:
  // Appends and remembers the last find-size-minus-one bytes passed on, the part of the window
  // ahead of an inserted text.
  void PassOn(std::string_view piece, std::string& out) {
    out.append(piece);
    const std::size_t keep = m_ - 1;
    if (piece.size() >= keep) {
      recent_.assign(piece.substr(piece.size() - keep));
    } else {
      recent_.append(piece);
      if (recent_.size() > keep) recent_.erase(0, recent_.size() - keep);
    }
  }

  const FoldedFinder finder_;
  const std::string_view replace_;
  const std::size_t m_;
  const bool replaceHasNul_;
  const bool inputMayHoldNul_;
  bool done_ = false;  // the pair has ended; the rest passes through
  std::int64_t count_ = 0;
  std::string input_;
  std::string recent_;
  std::string window_;
};

// Runs up to five pairs over `text` at once: the text goes through the stages in pieces small
// enough to stay in the processor's cache, and only the last stage writes the big result.
// `nulPossible` says whether the text may hold a NUL byte and is raised when a pair inserts
// one. Returns the number of replacements.
std::int64_t ApplyPairs(std::string& text, std::string& result, const HtmlCodeList& list,
                        std::size_t first, std::size_t end, bool& nulPossible,
                        std::size_t pieceBytes) {
  std::vector<PairStage> stages;
  stages.reserve(end - first);
  for (std::size_t i = first; i < end; ++i) {
    const std::string_view find = UpToNul(list.find[i]);
    if (find.empty()) continue;  // never matches
    stages.emplace_back(find, list.replace[i], nulPossible);
    nulPossible = nulPossible || HasNul(list.replace[i]);
  }
  if (stages.empty()) return 0;

  // The two big buffers take turns from group to group. Fresh pages cost more than the
  // copying itself, so a buffer is only replaced when the text no longer fits, and then by one
  // with room to grow; a result that outgrows even that still works, it just reallocates.
  result.clear();
  if (result.capacity() < text.size() + 64) result.reserve(text.size() + text.size() / 4 + 64);

  for (std::size_t at = 0;; at += pieceBytes) {
    const bool final = text.size() - at <= pieceBytes;
    stages.front().Input().append(text, at, pieceBytes);
    for (std::size_t k = 0; k < stages.size(); ++k) {
      stages[k].Process(final, k + 1 < stages.size() ? stages[k + 1].Input() : result);
    }
    if (final) break;
  }

  std::int64_t count = 0;
  for (const PairStage& stage : stages) count += stage.count();
  if (count > 0) text.swap(result);
  return count;
}

constexpr std::size_t kPairsPerYield = 5;
constexpr std::size_t kPieceBytes = 64 * 1024;

}  // namespace

namespace replace_detail {

std::int64_t ReplaceHtmlCodeTextInPieces(std::string& text, const HtmlCodeList& list,
                                         Feedback& feedback, std::size_t pieceBytes) {
  const std::size_t pairs = std::min(list.find.size(), list.replace.size());
  bool nulPossible = HasNul(text);
  std::string result;
  std::int64_t count = 0;
  for (std::size_t first = 0; first < pairs; first += kPairsPerYield) {
    feedback.Yield();
    const std::size_t end = std::min(pairs, first + kPairsPerYield);
    count += ApplyPairs(text, result, list, first, end, nulPossible,
                        std::max<std::size_t>(pieceBytes, 1));
  }
  return count;
}

}  // namespace replace_detail

std::int64_t ReplaceHtmlCodeText(std::string& text, const HtmlCodeList& list, Feedback& feedback) {
  return replace_detail::ReplaceHtmlCodeTextInPieces(text, list, feedback, kPieceBytes);
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
