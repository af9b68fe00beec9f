#include "engine/compress_tags.h"

#include <cstring>

#include "engine/case_fold.h"

namespace vk::compress_detail {
namespace {

// Inline element names, each packed into one number (first letter in the lowest byte) and
// kept in a small open-addressed table, so a lookup is a multiply and a compare or two.
constexpr std::string_view kInlineNames[] = {
    "a",     "abbr", "acronym",  "b",    "bdi",  "bdo",    "big",   "button", "cite",   "code",
    "data",  "del",  "dfn",      "em",   "font", "i",      "img",   "input",  "ins",    "kbd",
    "label", "mark", "q",        "s",    "samp", "select", "small", "span",   "strike", "strong",
    "sub",   "sup",  "textarea", "time", "tt",   "u",      "var",
};
constexpr std::size_t kLongestInlineName = 8;  // "textarea"

constexpr std::uint64_t Pack(std::string_view name) {
  std::uint64_t packed = 0;
  for (std::size_t k = 0; k < name.size(); ++k) {
    packed |= std::uint64_t{static_cast<unsigned char>(name[k])} << (8 * k);
  }
  return packed;
}

constexpr std::size_t kSlotBits = 7;
constexpr std::size_t Slot(std::uint64_t packed) {
  return static_cast<std::size_t>((packed * 0x9E3779B97F4A7C15ULL) >> (64 - kSlotBits));
}

// Empty slots hold 0, which no name packs to.
constexpr std::array<std::uint64_t, std::size_t{1} << kSlotBits> MakeInlineTable() {
  std::array<std::uint64_t, std::size_t{1} << kSlotBits> table{};
  for (std::string_view name : kInlineNames) {
    std::size_t slot = Slot(Pack(name));
    while (table[slot] != 0) slot = (slot + 1) % table.size();
    table[slot] = Pack(name);
  }
  return table;
}
constexpr auto kInlineTable = MakeInlineTable();

}  // namespace

bool BeginsInlineElement(const unsigned char* text, std::size_t size, std::size_t at) {
  std::size_t p = at + 1;
  if (p < size && text[p] == '/') ++p;
  std::uint64_t packed = 0;
  std::size_t length = 0;
  for (; p < size; ++p, ++length) {
    unsigned char c = text[p];
    const unsigned char letter = c | 0x20;
    if (letter >= 'a' && letter <= 'z') {
      c = letter;
    } else if (c < '0' || c > '9') {
      break;
    }
    if (length == kLongestInlineName) return false;
    packed |= std::uint64_t{c} << (8 * length);
  }
  if (length == 0) return false;
  for (std::size_t slot = Slot(packed);; slot = (slot + 1) % kInlineTable.size()) {
    if (kInlineTable[slot] == packed) return true;
    if (kInlineTable[slot] == 0) return false;
  }
}

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
