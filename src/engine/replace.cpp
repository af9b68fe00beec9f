#include "engine/replace.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "engine/case_fold.h"

namespace vk {
namespace {

constexpr std::size_t npos = NoCaseSearcher::npos;

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
  const NoCaseSearcher searcher(find);
  const std::size_t m = find.size();
  const std::size_t r = replace.size();

  // Only the bytes ahead of the first NUL can be searched.
  const std::string_view searchable = textHasNul ? UpToNul(text) : std::string_view(text);
  std::size_t p = searcher.Find(searchable, 0);
  if (p == npos) return 0;

  const bool replaceHasNul = HasNul(replace);
  const std::size_t limit = searchable.size();
  // Room for the result without a second allocation in the common cases; untouched capacity
  // costs address space only.
  std::size_t expected = text.size();
  if (r > m) expected += std::min(text.size(), (limit / m) * std::min(r - m, text.size()));
  scratch.clear();
  scratch.reserve(expected + 64);

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
    if (searcher.Find(window) != npos) break;

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
  }

  // Written even when the replacements gave back the same bytes.
  if (count > 0 && !files.Write(fileName, text).ok()) {
    feedback.Error(CannotAccessMessage(fileName));
  }
  return count;
}

}  // namespace vk
