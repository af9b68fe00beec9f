// The HTML code replacement done the slow, obvious way: search from the start of the text after
// every replacement, remove the found bytes and insert the replacement. The tests hold the fast
// engine against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/html_code_list.h"

namespace vk::test {

// 1-based position of the first case-insensitive occurrence of `pattern` in `text`, 0 when
// none; both end at their first NUL byte and an empty pattern never matches. Compares byte by
// byte through CaseFoldTable at every start position.
std::size_t ReferenceFindNoCase(std::string_view pattern, std::string_view text);

struct ReferenceResult {
  std::string text;
  std::int64_t count = 0;
  int yields = 0;
};

// Applies the pairs of `list` to `text` one replacement at a time.
ReferenceResult ReferenceReplaceHtmlCode(std::string text, const HtmlCodeList& list);

}  // namespace vk::test
