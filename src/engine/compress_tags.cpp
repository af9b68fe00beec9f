#include "engine/compress_tags.h"

#include <cstring>

#include "engine/case_fold.h"

namespace vk::compress_detail {
PageTags FindPageTags(std::string_view text) {
  PageTags tags;
  const auto& fold = CaseFoldTable();
  const char* base = text.data();
  const std::size_t n = text.size();
  // Whether the bytes from `at` spell `lower` (lower-case ASCII) in any letter case.
  auto spells = [&](std::size_t at, std::string_view lower) {
    if (n - at < lower.size()) return false;
    for (std::size_t k = 0; k < lower.size(); ++k) {
      if (fold[static_cast<unsigned char>(base[at + k])] != static_cast<unsigned char>(lower[k])) {
        return false;
      }
    }
    return true;
  };
  std::size_t pos = 0;
  while (pos < n) {
    const void* hit = std::memchr(base + pos, '<', n - pos);
    if (hit == nullptr) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    pos = at + 1;
    // Most tags are told apart by the byte or two behind the '<'.
    std::size_t name = at + 1;
    if (name >= n) break;
    const bool isEnd = base[name] == '/';
    if (isEnd && ++name >= n) break;
    const unsigned char first = fold[static_cast<unsigned char>(base[name])];
    if (first == 's' && spells(name + 1, "cript")) {
      const std::size_t length = name + 6 - at;
      tags.names.push_back({at, length});
      if (!isEnd) {
        tags.scriptStarts.push_back(at);
      } else if (at + length < n && base[at + length] == '>') {
        tags.scriptEnds.push_back(at);
      }
    } else if (first == 'p' && spells(name + 1, "re")) {
      const std::size_t length = name + 3 - at;
      tags.names.push_back({at, length});
      if (!isEnd) {
        tags.preStarts.push_back(at);
      } else if (at + length < n && base[at + length] == '>') {
        tags.preEnds.push_back(at);
      }
    }
  }
  return tags;
}

}  // namespace vk::compress_detail
