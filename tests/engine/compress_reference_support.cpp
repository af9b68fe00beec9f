#include <cstring>
#include <new>
#include <set>

#include "engine/case_fold.h"
#include "engine/compress_reference.h"

namespace vk::reference {
namespace {

const char kBlockFailure[] = "Exception während der Komprimierung des HTML Blocks!";

// 1-based position of `pattern` in `text`, 0 when absent.
std::size_t Find(const std::string& pattern, const std::string& text) {
  return FindNoCase(pattern, text);
}

bool IsWhite(char c) { return static_cast<unsigned char>(c) <= 32; }

void TrimLeft(std::string& s) {
  while (!s.empty() && IsWhite(s.front())) s.erase(0, 1);
}

void TrimRight(std::string& s) {
  while (!s.empty() && IsWhite(s.back())) s.pop_back();
}

// Every occurrence of `tag` (any case) is written as `tag`; the search goes on behind it.
void LowerEverywhere(std::string& text, const std::string& tag) {
  std::size_t from = 0;
  while (true) {
    const std::size_t p = Find(tag, text.substr(from));
    if (p == 0) return;
    const std::size_t at = from + p - 1;
    text.replace(at, tag.size(), tag);
    from = at + tag.size();
  }
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiAlnum(char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9'); }

// The name of the tag that begins at the '<' at `at`: behind it and one optional '/', the run
// of ASCII letters and digits, in lower case.
std::string TagName(const std::string& s, std::size_t at) {
  std::size_t p = at + 1;
  if (p < s.size() && s[p] == '/') ++p;
  std::string name;
  for (; p < s.size() && IsAsciiAlnum(s[p]); ++p) name += static_cast<char>(FoldByte(s[p]));
  return name;
}

bool BeginsInlineTag(const std::string& s, std::size_t at) {
  static const std::set<std::string> kInline = {
      "a",     "abbr", "acronym",  "b",    "bdi",  "bdo",    "big",   "button", "cite",   "code",
      "data",  "del",  "dfn",      "em",   "font", "i",      "img",   "input",  "ins",    "kbd",
      "label", "mark", "q",        "s",    "samp", "select", "small", "span",   "strike", "strong",
      "sub",   "sup",  "textarea", "time", "tt",   "u",      "var"};
  return s[at] == '<' && kInline.count(TagName(s, at)) > 0;
}

// Whether the '>' at `at` closes a tag: the nearest '<' before it exists, no other '>' lies
// between them, and a letter, '/' or '!' follows that '<'. Gives that '<' in *open.
bool ClosesTag(const std::string& s, std::size_t at, std::size_t* open) {
  if (at == 0) return false;
  const std::size_t lt = s.rfind('<', at - 1);
  if (lt == std::string::npos) return false;
  if (s.find('>', lt) < at) return false;
  const char next = s[lt + 1];
  if (!IsAsciiLetter(next) && next != '/' && next != '!') return false;
  *open = lt;
  return true;
}

}  // namespace

bool CompressHtmlBlock(std::string& text, Feedback& feedback, RuleChoice choice) {
  const bool current = choice.rules == Rules::kCurrent;
  bool ignored = false;
  bool& spacingCase = choice.spacingCase != nullptr ? *choice.spacingCase : ignored;
  try {
    std::string s = text;
    bool changed = false;
    // 1. Runs of blanks.
    if (Find("  ", s) > 0) {
      changed = true;
      for (std::size_t p; (p = Find("  ", s)) > 0;) s.erase(p - 1, 1);
    }
    // 2. Line breaks, one pass per kind.
    for (const char* lineBreak : {"\r\n", "\r", "\n"}) {
      if (Find(lineBreak, s) == 0) continue;
      changed = true;
      feedback.Yield();
      for (std::size_t p; (p = Find(lineBreak, s)) > 0;) {
        const std::size_t at = p - 1;
        s.erase(at, std::strlen(lineBreak));
        if (at >= s.size()) continue;
        const bool inlineTag = BeginsInlineTag(s, at);
        if (!current && inlineTag) spacingCase = true;
        if (std::strchr(" <=>", s[at]) == nullptr || (current && inlineTag)) {
          s.insert(at, 1, ' ');
        }
      }
    }
    // 3. Tabs, a run at a time.
    if (Find("\t", s) > 0) {
      changed = true;
      feedback.Yield();
      for (std::size_t p; (p = Find("\t", s)) > 0;) {
        const std::size_t at = p - 1;
        std::size_t end = at;
        while (end < s.size() && s[end] == '\t') ++end;
        const bool between = at > 0 && end < s.size() && s[at - 1] != ' ' && s[end] != ' ';
        s.erase(at, end - at);
        if (between && current) s.insert(at, 1, ' ');
        if (between && !current) spacingCase = true;
      }
    }
    // 5. The blank between two tags; i is the 1-based position.
    for (std::size_t i = 1; i <= s.size(); ++i) {
      if (i % 50 == 0) feedback.Yield();
      if (i > 1 && i < s.size() && s[i - 1] == ' ' && s[i - 2] == '>' && s[i] == '<' &&
          (i + 1 >= s.size() || s[i + 1] != 'a')) {
        // The blank stays when the '>' closes no tag or an inline element stands on either side.
        std::size_t open = 0;
        const bool keep =
            !ClosesTag(s, i - 2, &open) || BeginsInlineTag(s, open) || BeginsInlineTag(s, i);
        if (keep && current) continue;
        if (keep) spacingCase = true;
        s.erase(i - 1, 1);
        changed = true;
      }
    }
    // 6. White space at the end.
    TrimRight(s);
    text = s;
    return changed;
  } catch (const std::bad_alloc&) {
    feedback.Error(kBlockFailure);
    return false;
  }
}

bool CompressPreBlocks(const std::string& piece, std::string& result, const std::string& fileName,
                       Feedback& feedback, RuleChoice choice) {
  std::string rest = piece;
  std::string out;
  for (std::size_t p; (p = Find("<pre", rest)) > 0;) {
    const std::string behind = rest.substr(p - 1);
    const std::size_t q = Find("</pre>", behind);
    if (q == 0) {
      feedback.Error("In " + fileName +
                     " fehlt das Ende des Pre-Bereichs! Bearbeitung abgebrochen!");
      return false;
    }
    std::string before = rest.substr(0, p - 1);
    const std::string block = behind.substr(0, q - 1 + 6);
    rest = behind.substr(q - 1 + 6);
    reference::CompressHtmlBlock(before, feedback, choice);
    out += before;
    out += block;
  }
  if (!rest.empty()) {
    reference::CompressHtmlBlock(rest, feedback, choice);
    out += rest;
  }
  result = out;
  return true;
}

bool CompressScriptBlocks(const std::string& fileText, std::string& output, bool& writeNeeded,
                          const std::string& fileName, Feedback& feedback, RuleChoice choice) {
  auto compressPiece = [&](std::string& piece) {
    if (Find("<pre", piece) > 0) {
      std::string compressed;
      if (!reference::CompressPreBlocks(piece, compressed, fileName, feedback, choice))
        return false;
      if (compressed != piece) writeNeeded = true;
      piece = compressed;
    } else if (reference::CompressHtmlBlock(piece, feedback, choice)) {
      writeNeeded = true;
    }
    return true;
  };
  std::string rest = fileText;
  for (std::size_t p; (p = Find("<script", rest)) > 0;) {
    const std::string behind = rest.substr(p - 1);
    const std::size_t q = Find("</script>", behind);
    if (q == 0) {
      feedback.Error("In " + fileName + " fehlt das Ende des Scripts! Bearbeitung abgebrochen!");
      return false;
    }
    std::string before = rest.substr(0, p - 1);
    const std::string script = behind.substr(0, q - 1 + 9);
    rest = behind.substr(q - 1 + 9);
    if (!compressPiece(before)) return false;
    TrimLeft(before);
    TrimRight(before);
    output += before;
    output += script;
  }
  if (!rest.empty()) {
    if (!compressPiece(rest)) return false;
    TrimLeft(rest);
    output += rest;
  }
  return true;
}

CompressOutcome CompressHtmlText(const std::string& fileText, std::string& output,
                                 const std::string& fileName, Feedback& feedback,
                                 RuleChoice choice) {
  if (fileText.empty()) return CompressOutcome::kUnchanged;
  std::string text = fileText;
  if (Find("<script", text) > 0 || Find("<pre", text) > 0) {
    for (const char* tag : {"<script", "</script", "<pre", "</pre"}) LowerEverywhere(text, tag);
    std::string out;
    bool writeNeeded = false;
    if (!reference::CompressScriptBlocks(text, out, writeNeeded, fileName, feedback, choice)) {
      return CompressOutcome::kAborted;
    }
    if (!writeNeeded) return CompressOutcome::kUnchanged;
    output = out;
    return CompressOutcome::kChanged;
  }
  if (!reference::CompressHtmlBlock(text, feedback, choice)) return CompressOutcome::kUnchanged;
  output = text;
  return CompressOutcome::kChanged;
}

}  // namespace vk::reference
