#include "utf8_reference_support.h"

#include <algorithm>
#include <array>
#include <map>

#include "engine/case_fold.h"
#include "engine/cp1252.h"

namespace vk::test {
namespace {

std::string_view CutAtNul(std::string_view s) {
  const std::size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// The well-formed sequence at text[at], or nothing (length 0).
ReferenceChar Sequence(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead >= 0xC0 && lead < 0xE0) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead < 0xF8) {
    length = 4, value = lead & 0x07;
  } else {
    return {0, at, 0, false};
  }
  if (text.size() - at < length) return {0, at, 0, false};
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if (next < 0x80 || next > 0xBF) return {0, at, 0, false};
    value = (value << 6) | (next & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return {0, at, 0, false};
  }
  return {value, at, length, false};
}

// The characters of the 256 bytes, read from the edge conversion's UTF-8.
const std::array<char32_t, 256>& ByteCharacters() {
  static const std::array<char32_t, 256> characters = [] {
    std::array<char32_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
      const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
      table[b] = utf8.size() == 1 ? static_cast<unsigned char>(utf8[0]) : Sequence(utf8, 0).code;
    }
    return table;
  }();
  return characters;
}

// A character folded: through CaseFoldTable when a byte has it, else itself.
char32_t Folded(char32_t c) {
  static const std::map<char32_t, char32_t> folds = [] {
    std::map<char32_t, char32_t> table;
    for (int b = 0; b < 256; ++b) {
      table[ByteCharacters()[b]] = ByteCharacters()[CaseFoldTable()[b]];
    }
    return table;
  }();
  const auto it = folds.find(c);
  return it == folds.end() ? c : it->second;
}

}  // namespace

std::vector<ReferenceChar> ReadUtf8Page(std::string_view text) {
  std::vector<ReferenceChar> characters;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    ReferenceChar c = Sequence(text, at);
    if (c.length == 0) c = {ByteCharacters()[byte], at, 1, byte >= 0x80};
    characters.push_back(c);
    at += c.length;
  }
  return characters;
}

PageEncoding ReferenceDecideEncoding(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") return PageEncoding::kUtf8;
  std::size_t sequences = 0;
  std::size_t strays = 0;
  for (const ReferenceChar& c : ReadUtf8Page(text)) {
    sequences += c.length > 1;
    strays += c.stray;
  }
  return sequences > 0 && sequences >= strays ? PageEncoding::kUtf8 : PageEncoding::kWindows1252;
}

ConvertResult ReferenceConvertUtf8(std::string_view text) {
  ConvertResult result;
  for (const ReferenceChar& c : ReadUtf8Page(text)) {
    if (c.code >= 0xA0 && c.code <= 0xFF) {
      result.text += EntityTable()[c.code - 0xA0];
      ++result.count;
    } else {
      result.text += text.substr(c.begin, c.length);
    }
  }
  return result;
}

std::size_t ReferenceFindOnCharacters(std::string_view pattern, std::string_view text,
                                      std::size_t* length) {
  const std::vector<ReferenceChar> wanted = ReadUtf8Page(CutAtNul(pattern));
  const std::vector<ReferenceChar> page = ReadUtf8Page(CutAtNul(text));
  if (wanted.empty()) return 0;
  for (std::size_t i = 0; i + wanted.size() <= page.size(); ++i) {
    std::size_t k = 0;
    while (k < wanted.size() && Folded(page[i + k].code) == Folded(wanted[k].code)) ++k;
    if (k == wanted.size()) {
      const ReferenceChar& last = page[i + k - 1];
      *length = last.begin + last.length - page[i].begin;
      return page[i].begin + 1;
    }
  }
  return 0;
}

ReferenceResult ReferenceReplaceHtmlCodeUtf8(std::string text, const HtmlCodeList& list) {
  ReferenceResult result;
  const std::size_t pairs = std::min(list.find.size(), list.replace.size());
  for (std::size_t i = 0; i < pairs; ++i) {
    if (i % 5 == 0) ++result.yields;
    const std::string find = Cp1252ToUtf8(CutAtNul(list.find[i]));
    const std::string replace = Cp1252ToUtf8(list.replace[i]);
    std::size_t lastEnd = 0;  // 1-based position right behind the last inserted text
    while (true) {
      std::size_t length = 0;
      const std::size_t p = ReferenceFindOnCharacters(find, text, &length);
      if (p == 0 || p < lastEnd) break;
      text.erase(p - 1, length);
      text.insert(p - 1, replace);
      lastEnd = p + replace.size();
      ++result.count;
    }
  }
  result.text = std::move(text);
  return result;
}

}  // namespace vk::test
