#include "engine/compress_tags.h"

#include <cstring>

#include "engine/case_fold.h"

namespace vk::compress_detail {
namespace {

// Whether `text` begins with `lower` (lower-case ASCII), compared through the fold table.
bool StartsWithNoCase(std::string_view text, std::string_view lower) {
  if (text.size() < lower.size()) return false;
  for (std::size_t k = 0; k < lower.size(); ++k) {
    if (FoldByte(static_cast<unsigned char>(text[k])) != static_cast<unsigned char>(lower[k])) {
      return false;
    }
  }
  return true;
}

}  // namespace

PageTags FindPageTags(std::string_view text) {
  PageTags tags;
  const char* base = text.data();
  const std::size_t n = text.size();
  std::size_t pos = 0;
  while (pos < n) {
    const void* hit = std::memchr(base + pos, '<', n - pos);
    if (hit == nullptr) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    const std::string_view after = text.substr(at + 1);
    if (StartsWithNoCase(after, "script")) {
      tags.names.push_back({at, 7});
      tags.scriptStarts.push_back(at);
    } else if (StartsWithNoCase(after, "pre")) {
      tags.names.push_back({at, 4});
      tags.preStarts.push_back(at);
    } else if (StartsWithNoCase(after, "/script")) {
      tags.names.push_back({at, 8});
      if (after.size() > 7 && after[7] == '>') tags.scriptEnds.push_back(at);
    } else if (StartsWithNoCase(after, "/pre")) {
      tags.names.push_back({at, 5});
      if (after.size() > 4 && after[4] == '>') tags.preEnds.push_back(at);
    }
    pos = at + 1;
  }
  return tags;
}

}  // namespace vk::compress_detail
