// UTF-8 pages read the plain way, and the conversion, the search and the replacement on their
// characters done step by step: the fast engine and its page decision are held against these.
// Nothing here uses the engine's own reading of UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding.h"
#include "engine/html_code_list.h"
#include "engine/special_chars.h"
#include "replace_reference_support.h"

namespace vk::test {

struct ReferenceChar {
  char32_t code;       // a stray byte's Windows-1252 character
  std::size_t begin;   // first byte in the text
  std::size_t length;  // bytes
  bool stray;          // a byte of 0x80 or above that begins no well-formed sequence
};

// The text read from its start: each well-formed sequence of two to four bytes (no overlong
// form, no surrogate, nothing above U+10FFFF) is one character, every other byte one of its
// own.
std::vector<ReferenceChar> ReadUtf8Page(std::string_view text);

// The decision by counting those sequences and stray bytes (a BOM decides at once).
PageEncoding ReferenceDecideEncoding(std::string_view text);

// U+00A0..U+00FF to their entities, every other character kept as its bytes.
ConvertResult ReferenceConvertUtf8(std::string_view text);

// 1-based position and byte length of the first occurrence of `pattern` (read as a UTF-8 page
// too) among the characters of `text`, comparing characters through CaseFoldTable on their
// Windows-1252 bytes; 0 when none. Both end at their first NUL byte.
std::size_t ReferenceFindOnCharacters(std::string_view pattern, std::string_view text,
                                      std::size_t* length);

// The replacement on a UTF-8 page: the list's texts turned into UTF-8, then one replacement at
// a time, the page read again from its start for every search.
ReferenceResult ReferenceReplaceHtmlCodeUtf8(std::string text, const HtmlCodeList& list);

}  // namespace vk::test
