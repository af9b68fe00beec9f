// Where a page's <script> and <pre> tags stand, found in one walk over the page, and which tags
// belong to inline elements. The cutting of a page at its protected blocks and the lowering of
// the tag names work from the lists, so no search has to run over the page again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vk::compress_detail {

struct PageTags {
  // Start of every "<script", "</script", "<pre" and "</pre" (any letter case) and its length.
  struct Name {
    std::size_t pos;
    std::size_t length;
  };
  std::vector<Name> names;
  std::vector<std::size_t> scriptStarts;  // "<script"
  std::vector<std::size_t> scriptEnds;    // "</script>", exactly these nine bytes
  std::vector<std::size_t> preStarts;     // "<pre", also the start of "<PREVIEW" and the like
  std::vector<std::size_t> preEnds;       // "</pre>"

  bool HasOpeningTag() const { return !scriptStarts.empty() || !preStarts.empty(); }
};

// All positions are 0-based and ascending. A tag can only start at a '<', and none of the
// four names contains another '<', so each '<' starts at most one of them.
PageTags FindPageTags(std::string_view text);

// Walks one ascending position list forward: each call asks for the first position at or
// after `from`, and `from` never decreases between calls.
class PositionCursor {
 public:
  static constexpr std::size_t npos = std::string_view::npos;
  explicit PositionCursor(const std::vector<std::size_t>& positions) : positions_(positions) {}
  // The first position p with from <= p < to, or npos.
  std::size_t Next(std::size_t from, std::size_t to) {
    while (index_ < positions_.size() && positions_[index_] < from) ++index_;
    if (index_ < positions_.size() && positions_[index_] < to) return positions_[index_];
    return npos;
  }

 private:
  const std::vector<std::size_t>& positions_;
  std::size_t index_ = 0;
};

namespace inline_names {

// Inline element names, each packed into one number (first letter in the lowest byte) and
// kept in a small open-addressed table, so a lookup is a multiply and a compare or two.
constexpr std::string_view kNames[] = {
    "a",     "abbr", "acronym",  "b",    "bdi",  "bdo",    "big",   "button", "cite",   "code",
    "data",  "del",  "dfn",      "em",   "font", "i",      "img",   "input",  "ins",    "kbd",
    "label", "mark", "q",        "s",    "samp", "select", "small", "span",   "strike", "strong",
    "sub",   "sup",  "textarea", "time", "tt",   "u",      "var",
};
constexpr std::size_t kLongest = 8;  // "textarea"

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
constexpr std::array<std::uint64_t, std::size_t{1} << kSlotBits> MakeTable() {
  std::array<std::uint64_t, std::size_t{1} << kSlotBits> table{};
  for (std::string_view name : kNames) {
    std::size_t slot = Slot(Pack(name));
    while (table[slot] != 0) slot = (slot + 1) % table.size();
    table[slot] = Pack(name);
  }
  return table;
}
inline constexpr auto kTable = MakeTable();

// Each byte of a name in lower case; 0 for a byte that ends a name.
constexpr std::array<unsigned char, 256> MakeNameBytes() {
  std::array<unsigned char, 256> bytes{};
  for (int c = '0'; c <= '9'; ++c) bytes[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) bytes[c] = bytes[c - 'a' + 'A'] = static_cast<unsigned char>(c);
  return bytes;
}
inline constexpr auto kNameBytes = MakeNameBytes();

// For each first letter, a bit for each second byte an inline name has behind it: 'a'..'z'
// as 0..25, the end of the name as 26. Most other tags (td, tr, p, div, br) fail this.
constexpr std::size_t kNameEnd = 26;
constexpr std::size_t SecondClass(unsigned char second) {
  return second == 0 ? kNameEnd : second >= 'a' ? second - 'a' : kNameEnd + 1;
}
constexpr std::array<std::uint32_t, 26> MakePrefixes() {
  std::array<std::uint32_t, 26> prefixes{};
  for (std::string_view name : kNames) {
    const unsigned char second = name.size() > 1 ? static_cast<unsigned char>(name[1]) : 0;
    prefixes[static_cast<unsigned char>(name[0]) - 'a'] |= std::uint32_t{1} << SecondClass(second);
  }
  return prefixes;
}
inline constexpr auto kPrefixes = MakePrefixes();

}  // namespace inline_names

// Whether the tag that begins at the '<' at text[at] is one of an inline element (a, b, span,
// img and the like; end tags too). Its name is the run of ASCII letters and digits behind the
// '<' and one optional '/', in any letter case; a run that the text cuts off counts as it is.
inline bool BeginsInlineElement(const unsigned char* text, std::size_t size, std::size_t at) {
  using namespace inline_names;
  std::size_t p = at + 1;
  if (p < size && text[p] == '/') ++p;
  if (p >= size) return false;
  const unsigned char first = kNameBytes[text[p]];
  if (first < 'a') return false;  // no name, or one that starts with a digit
  const unsigned char second = p + 1 < size ? kNameBytes[text[p + 1]] : 0;
  if (((kPrefixes[first - 'a'] >> SecondClass(second)) & 1) == 0) return false;
  std::uint64_t packed = 0;
  std::size_t length = 0;
  for (; p < size; ++p, ++length) {
    const unsigned char c = kNameBytes[text[p]];
    if (c == 0) break;
    if (length == kLongest) return false;
    packed |= std::uint64_t{c} << (8 * length);
  }
  if (length == 0) return false;
  for (std::size_t slot = Slot(packed);; slot = (slot + 1) % kTable.size()) {
    if (kTable[slot] == packed) return true;
    if (kTable[slot] == 0) return false;
  }
}

}  // namespace vk::compress_detail
