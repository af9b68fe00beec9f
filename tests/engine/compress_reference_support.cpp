#include <cstring>
#include <new>

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

}  // namespace

bool CompressHtmlBlock(std::string& text, Feedback& feedback) {
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
        if (at < s.size() && std::strchr(" <=>", s[at]) == nullptr) s.insert(at, 1, ' ');
      }
    }
    // 3. Tabs.
    if (Find("\t", s) > 0) {
      changed = true;
      feedback.Yield();
      for (std::size_t p; (p = Find("\t", s)) > 0;) s.erase(p - 1, 1);
    }
    // 5. The blank between two tags; i is the 1-based position.
    for (std::size_t i = 1; i <= s.size(); ++i) {
      if (i % 50 == 0) feedback.Yield();
      if (i > 1 && i < s.size() && s[i - 1] == ' ' && s[i - 2] == '>' && s[i] == '<' &&
          (i + 1 >= s.size() || s[i + 1] != 'a')) {
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
                       Feedback& feedback) {
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
    reference::CompressHtmlBlock(before, feedback);
    out += before;
    out += block;
  }
  if (!rest.empty()) {
    reference::CompressHtmlBlock(rest, feedback);
    out += rest;
  }
  result = out;
  return true;
}

bool CompressScriptBlocks(const std::string& fileText, std::string& output, bool& writeNeeded,
                          const std::string& fileName, Feedback& feedback) {
  auto compressPiece = [&](std::string& piece) {
    if (Find("<pre", piece) > 0) {
      std::string compressed;
      if (!reference::CompressPreBlocks(piece, compressed, fileName, feedback)) return false;
      if (compressed != piece) writeNeeded = true;
      piece = compressed;
    } else if (reference::CompressHtmlBlock(piece, feedback)) {
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
                                 const std::string& fileName, Feedback& feedback) {
  if (fileText.empty()) return CompressOutcome::kUnchanged;
  std::string text = fileText;
  if (Find("<script", text) > 0 || Find("<pre", text) > 0) {
    for (const char* tag : {"<script", "</script", "<pre", "</pre"}) LowerEverywhere(text, tag);
    std::string out;
    bool writeNeeded = false;
    if (!reference::CompressScriptBlocks(text, out, writeNeeded, fileName, feedback)) {
      return CompressOutcome::kAborted;
    }
    if (!writeNeeded) return CompressOutcome::kUnchanged;
    output = out;
    return CompressOutcome::kChanged;
  }
  if (!reference::CompressHtmlBlock(text, feedback)) return CompressOutcome::kUnchanged;
  output = text;
  return CompressOutcome::kChanged;
}

}  // namespace vk::reference
