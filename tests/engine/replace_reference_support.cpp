#include "replace_reference_support.h"

#include <algorithm>

#include "engine/case_fold.h"

namespace vk::test {
namespace {

std::string_view CutAtNul(std::string_view s) {
  const std::size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

}  // namespace

std::size_t ReferenceFindNoCase(std::string_view pattern, std::string_view text) {
  pattern = CutAtNul(pattern);
  text = CutAtNul(text);
  if (pattern.empty()) return 0;
  const auto& fold = CaseFoldTable();
  for (std::size_t q = 0; q < text.size(); ++q) {
    std::size_t k = 0;
    while (k < pattern.size() && q + k < text.size() &&
           fold[static_cast<unsigned char>(pattern[k])] ==
               fold[static_cast<unsigned char>(text[q + k])]) {
      ++k;
    }
    if (k == pattern.size()) return q + 1;
  }
  return 0;
}

ReferenceResult ReferenceReplaceHtmlCode(std::string text, const HtmlCodeList& list) {
  ReferenceResult result;
  const std::size_t pairs = std::min(list.find.size(), list.replace.size());
  for (std::size_t i = 0; i < pairs; ++i) {
    if (i % 5 == 0) ++result.yields;
    const std::string& find = list.find[i];
    const std::string& replace = list.replace[i];
    const std::size_t findLength = CutAtNul(find).size();
    std::size_t lastEnd = 0;  // 1-based position right behind the last inserted text
    while (true) {
      const std::size_t p = ReferenceFindNoCase(find, text);
      if (p == 0 || p < lastEnd) break;
      text.erase(p - 1, findLength);
      text.insert(p - 1, replace);
      lastEnd = p + replace.size();
      ++result.count;
    }
  }
  result.text = std::move(text);
  return result;
}

}  // namespace vk::test
