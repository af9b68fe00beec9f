#include "engine/replace.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "engine/case_fold.h"
#include "engine/compress.h"
#include "engine/cp1252.h"
#include "engine/texts.h"

namespace vk {
namespace {

constexpr std::size_t npos = FoldedFinder::npos;

bool HasNul(std::string_view s) { return std::memchr(s.data(), 0, s.size()) != nullptr; }

// The search for a pattern stops at its first NUL byte, like the search in the text does.
std::string_view UpToNul(std::string_view s) {
  const void* nul = std::memchr(s.data(), 0, s.size());
  return nul ? s.substr(0, static_cast<const char*>(nul) - s.data()) : s;
}

constexpr const char* kCannotAccess =
    QT_TRANSLATE_NOOP("vk::Replacement", "Konnte %1 nicht öffnen, schreiben oder Fehler in Datei!");

std::string CannotAccessMessage(const std::string& fileName) {
  return FormatText(Translate("vk::Replacement", kCannotAccess), {fileName});
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
//
// On a UTF-8 page a find text that is not plain ASCII is matched on characters, and reading a
// character takes up to three bytes on either side of it. So the stage cuts its input only
// where a character begins, searches no closer to the end of what has come than three bytes
// (a sequence may still be cut short there), and widens the window by three bytes on either
// side. One more thing can happen there: deleting an occurrence may join a stray lead byte
// ahead of it and stray continuation bytes behind it into one new character; the window sees
// it, and the search goes on behind it.
class PairStage {
 public:
  // `find` is not empty and holds no NUL byte; both texts are in the page's encoding.
  PairStage(std::string_view find, std::string_view replace, PageEncoding encoding,
            bool inputMayHoldNul)
      : finder_(find, encoding),
        replace_(replace),
        m_(finder_.size()),
        onCharacters_(finder_.OnCharacters()),
        context_(onCharacters_ ? m_ - 1 + kCharacterContext : m_ - 1),
        replaceHasNul_(HasNul(replace)),
        inputMayHoldNul_(inputMayHoldNul),
        replaceHoldsFind_(!onCharacters_ && finder_.Find(replace) != npos),
        replaceEndMayBegin_(!onCharacters_ && ReplaceEndMayBegin()) {}

  // Where the previous stage puts the bytes for this one; Settle() takes them from there.
  std::string& Input() { return input_; }

  // Works through Input(), appends every settled byte to `out` and keeps the rest at the
  // front. `final`: the text ends with what is in Input() now.
  void Settle(bool final, std::string& out) { input_.erase(0, Process(input_, final, out)); }

  // Works through `input`, the bytes that came and are not settled yet, appends every settled
  // byte to `out` and returns how many of them it settled; the rest comes again in front of
  // the next bytes. `final`: the text ends with `input`.
  std::size_t Process(std::string_view input, bool final, std::string& out) {
    std::size_t pos = 0;  // bytes of `input` ahead of it are passed on
    if (!done_) {
      // Nothing behind the first NUL byte is ever searched.
      std::size_t limit = input.size();
      bool hasNul = false;
      if (inputMayHoldNul_) {
        if (const void* nul = std::memchr(input.data(), 0, input.size())) {
          limit = static_cast<std::size_t>(static_cast<const char*>(nul) - input.data());
          hasNul = true;
        }
      }
      const std::string_view searchable(input.data(), limit);
      const bool complete = final || hasNul;  // no searchable byte will be added
      // Every character ahead of `settledEnd` is whole.
      const std::size_t settledEnd =
          complete || !onCharacters_
              ? limit
              : CharacterStartAtOrBefore(searchable, limit - std::min(limit, kCharacterContext));
      while (true) {
        const std::size_t searchEnd = std::max(settledEnd, pos);
        std::size_t length;
        const std::size_t p = finder_.Find(searchable.substr(0, searchEnd), pos, &length);
        if (p == npos) {
          if (complete) {
            done_ = true;
            break;
          }
          // An occurrence may still begin in the last find-size-minus-one bytes.
          std::size_t keepFrom = searchEnd - std::min(m_ - 1, searchEnd - pos);
          if (onCharacters_)
            keepFrom = std::max(pos, CharacterStartAtOrBefore(searchable, keepFrom));
          PassOn(searchable.substr(pos, keepFrom - pos), out);
          pos = keepFrom;
          break;
        }
        if (!complete && p + length + context_ > limit) {
          // The check behind the replacement needs bytes that have not come yet.
          PassOn(searchable.substr(pos, p - pos), out);
          pos = p;
          break;
        }
        PassOn(searchable.substr(pos, p - pos), out);
        // A NUL in the inserted text ends every later search ahead of the last end.
        const bool ends = replaceHasNul_ || ReachesIntoInserted(searchable, p + length, limit);
        PassOn(replace_, out);
        ++count_;
        pos = p + length;
        if (ends) {
          done_ = true;
          break;
        }
        if (onCharacters_) {
          // The window was made, and bytes behind the inserted text may have joined a
          // character that began in it.
          std::size_t joined = lastEnd_;
          while (joined < window_.size() && !StartsCharacter(window_, joined)) ++joined;
          PassOn(searchable.substr(pos, joined - lastEnd_), out);
          pos += joined - lastEnd_;
        }
      }
    }
    if (done_) {
      out.append(input.substr(pos));
      return input.size();
    }
    KeepRecent();
    return pos;
  }

  std::int64_t count() const { return count_; }

 private:
  // The bytes it takes to read a character on either side of a position.
  static constexpr std::size_t kCharacterContext = 3;

  // The last position at or before `at` where a character begins; `text` begins with one.
  static std::size_t CharacterStartAtOrBefore(std::string_view text, std::size_t at) {
    while (at > 0 && at < text.size() && !StartsCharacter(text, at)) --at;
    return at;
  }

  // Whether an occurrence starts before the end of the replacement about to be passed on for
  // the occurrence that ends at searchable[after]: the window of the bytes passed on last, the
  // replacement and the bytes behind the occurrence is searched for one. An occurrence matched
  // on bytes that starts there lies inside the replacement, which is known from the start, or
  // begins in the window with the pattern's first byte; when neither can be, the window is not
  // even made.
  bool ReachesIntoInserted(std::string_view searchable, std::size_t after, std::size_t limit) {
    // An occurrence in the window that starts before the last end overlaps the inserted text,
    // or a character it made; none can start further ahead.
    const std::string_view recent = Recent();
    const std::size_t windowFrom = recent.size() - std::min(recent.size(), m_ - 1);
    if (!onCharacters_) {
      if (replaceHoldsFind_) return true;
      bool mayBegin = replaceEndMayBegin_;
      for (std::size_t k = windowFrom; k < recent.size() && !mayBegin; ++k) {
        mayBegin = finder_.MayBeginWith(static_cast<unsigned char>(recent[k]));
      }
      if (!mayBegin) return false;
    }
    window_.assign(recent);
    lastEnd_ = window_.size() + replace_.size();
    window_.append(replace_);
    window_.append(searchable.substr(after, std::min(context_, limit - after)));
    return finder_.Find(window_, windowFrom) < lastEnd_;
  }

  // Whether an occurrence matched on bytes may begin in the last size()-minus-one bytes of the
  // replacement, where it would reach behind it.
  bool ReplaceEndMayBegin() const {
    for (std::size_t k = replace_.size() - std::min(replace_.size(), m_ - 1); k < replace_.size();
         ++k) {
      if (finder_.MayBeginWith(static_cast<unsigned char>(replace_[k]))) return true;
    }
    return false;
  }

  // Appends and remembers the last bytes passed on, the part of the window ahead of an
  // inserted text. A piece long enough is remembered where it lies (the input or the
  // replacement), so most pieces are copied only once; KeepRecent() copies it before the input
  // goes.
  void PassOn(std::string_view piece, std::string& out) {
    out.append(piece);
    const std::size_t keep = context_;
    if (piece.size() >= keep) {
      recentView_ = piece.substr(piece.size() - keep);
      recentIsView_ = true;
    } else {
      KeepRecent();
      recent_.append(piece);
      if (recent_.size() > keep) recent_.erase(0, recent_.size() - keep);
    }
  }

  std::string_view Recent() const {
    return recentIsView_ ? recentView_ : std::string_view(recent_);
  }

  void KeepRecent() {
    if (!recentIsView_) return;
    recent_.assign(recentView_);
    recentIsView_ = false;
  }

  const FoldedFinder finder_;
  const std::string_view replace_;
  const std::size_t m_;  // the longest an occurrence can be
  const bool onCharacters_;
  const std::size_t context_;  // bytes kept on either side of an inserted text
  const bool replaceHasNul_;
  const bool inputMayHoldNul_;
  // On bytes: an occurrence lies inside the replacement; one may begin in its last bytes.
  const bool replaceHoldsFind_;
  const bool replaceEndMayBegin_;
  bool done_ = false;  // the pair has ended; the rest passes through
  std::int64_t count_ = 0;
  std::string input_;
  std::string recent_;
  std::string_view recentView_;  // the last bytes passed on, where recentIsView_
  bool recentIsView_ = false;
  std::string window_;
  std::size_t lastEnd_ = 0;  // where the inserted text ends in window_
};

constexpr std::size_t kPairsPerYield = 5;
constexpr std::size_t kPieceBytes = 64 * 1024;

// Runs every pair over `text` into `result` at once: the text goes through the pairs' stages in
// pieces small enough to stay in the processor's cache, and only the last stage writes the big
// result, so a page costs its bytes and one result however long the list is. It yields before
// every fifth pair's share of the text, as pairs taken one after the other would before each
// fifth pair. Returns the number of replacements.
std::int64_t ApplyPairs(std::string_view text, std::string& result, const HtmlCodeList& list,
                        PageEncoding encoding, Feedback& feedback, std::size_t pieceBytes) {
  const std::size_t pairs = std::min(list.find.size(), list.replace.size());
  // The list is stored in Windows-1252; a UTF-8 page gets its texts in UTF-8. The stages keep
  // views into these, so the vector never grows beyond its room.
  std::vector<std::string> converted;
  if (encoding == PageEncoding::kUtf8) converted.reserve(2 * pairs);
  auto inPageEncoding = [&](std::string_view stored) -> std::string_view {
    if (encoding != PageEncoding::kUtf8) return stored;
    return converted.emplace_back(Cp1252ToUtf8(stored));
  };
  bool nulPossible = HasNul(text);
  std::vector<PairStage> stages;
  stages.reserve(pairs);
  for (std::size_t i = 0; i < pairs; ++i) {
    const std::string_view find = UpToNul(list.find[i]);
    if (find.empty()) continue;  // never matches
    const std::string_view replace = inPageEncoding(list.replace[i]);
    stages.emplace_back(inPageEncoding(find), replace, encoding, nulPossible);
    nulPossible = nulPossible || HasNul(replace);
  }
  const std::size_t yields = (pairs + kPairsPerYield - 1) / kPairsPerYield;
  std::size_t yielded = 0;
  auto yieldUpTo = [&](std::size_t at) {
    // Yield g is due once the text up to g / yields of its length has gone through.
    while (yielded < yields && (yielded == 0 || yielded * text.size() <= at * yields)) {
      feedback.Yield();
      ++yielded;
    }
  };
  if (stages.empty()) {
    yieldUpTo(text.size());
    return 0;
  }

  // A result buffer with room is used as it is; fresh pages cost more than the copying itself.
  // A result that outgrows even the room given still works, it just reallocates.
  result.clear();
  if (result.capacity() < text.size() + 64) result.reserve(text.size() + text.size() / 4 + 64);

  // The first stage reads the text where it is; the others take what the one ahead settled.
  std::size_t unsettled = 0;  // of the text, for the first stage
  for (std::size_t at = 0;; at += pieceBytes) {
    yieldUpTo(at);
    const bool final = text.size() - at <= pieceBytes;
    const std::size_t end = final ? text.size() : at + pieceBytes;
    auto outputOf = [&](std::size_t k) -> std::string& {
      return k + 1 < stages.size() ? stages[k + 1].Input() : result;
    };
    unsettled +=
        stages.front().Process(text.substr(unsettled, end - unsettled), final, outputOf(0));
    for (std::size_t k = 1; k < stages.size(); ++k) stages[k].Settle(final, outputOf(k));
    if (final) break;
  }
  yieldUpTo(text.size());

  std::int64_t count = 0;
  for (const PairStage& stage : stages) count += stage.count();
  return count;
}

}  // namespace

namespace replace_detail {

std::int64_t ReplaceHtmlCodeTextInPieces(std::string& text, const HtmlCodeList& list,
                                         PageEncoding encoding, Feedback& feedback,
                                         std::size_t pieceBytes) {
  std::string result;
  const std::int64_t count =
      ApplyPairs(text, result, list, encoding, feedback, std::max<std::size_t>(pieceBytes, 1));
  if (count > 0) text.swap(result);
  return count;
}

}  // namespace replace_detail

std::int64_t ReplaceHtmlCodeText(std::string& text, const HtmlCodeList& list, PageEncoding encoding,
                                 Feedback& feedback) {
  return replace_detail::ReplaceHtmlCodeTextInPieces(text, list, encoding, feedback, kPieceBytes);
}

std::int64_t ReplaceHtmlCode(const std::string& fileName, const HtmlCodeListLoader& load,
                             Feedback& feedback, FileAccess& files,
                             std::optional<PageEncoding> encoding) {
  const SharedHtmlCodeList shared = load();
  if (!shared || shared->empty()) return 0;
  const HtmlCodeList& list = *shared;

  std::int64_t count = 0;
  std::string storage;
  std::string text;
  try {
    std::string_view page;
    if (!files.ReadView(fileName, &storage, &page).ok()) {
      feedback.Error(CannotAccessMessage(fileName));
      return 0;
    }
    if (page.empty()) return 0;
    if (HasNul(page)) {
      feedback.Error(NulBytesMessage(fileName));
      return 0;
    }
    feedback.Yield();
    // Room for the result, with some to grow.
    files.Reserve(text, page.size() + page.size() / 4 + 64);
    count = ApplyPairs(page, text, list, encoding ? *encoding : DecidePageEncoding(page), feedback,
                       kPieceBytes);
  } catch (const std::bad_alloc&) {
    // Too big to hold twice: nothing has been written, the file stays as it is.
    feedback.Error(CannotAccessMessage(fileName));
    return 0;
  } catch (const std::length_error&) {
    feedback.Error(CannotAccessMessage(fileName));
    return 0;
  }

  // Written even when the replacements gave back the same bytes.
  std::string().swap(storage);
  if (count > 0 && !files.Give(fileName, text).ok()) {
    feedback.Error(CannotAccessMessage(fileName));
  }
  return count;
}

}  // namespace vk
