// The case-insensitive search of the engine: one searcher, FoldedFinder, behind FindNoCase, the
// HTML code replacement, the META tags of the conversion and the code list storage. Letters are
// folded through one 256-byte Windows-1252 table.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vk {

// Maps every byte to its lower-case form in Windows-1252: 'A'..'Z' to 'a'..'z', 0xC0..0xDE
// (except 0xD7) up by 0x20, 0x8A/0x8C/0x8E/0x9F to 0x9A/0x9C/0x9E/0xFF; all other bytes to
// themselves. Built once, before first use.
const std::array<unsigned char, 256>& CaseFoldTable();

inline unsigned char FoldByte(unsigned char c) { return CaseFoldTable()[c]; }

// Lowers the bytes of `text` through CaseFoldTable.
std::string FoldCase(std::string_view text);

// A pattern prepared for repeated searches. Find() returns the 0-based position of the first
// occurrence starting at or after `from` whose bytes equal the pattern's through
// CaseFoldTable, or npos. It does not stop at NUL bytes: callers that need that cut the text
// first. An empty pattern never matches. Linear in the text searched.
class FoldedFinder {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  explicit FoldedFinder(std::string_view pattern);

  std::size_t Find(std::string_view text, std::size_t from = 0) const;
  std::size_t size() const { return folded_.size(); }

 private:
  template <bool kFirstTwin, bool kLastTwin>
  std::size_t FindInBlocks(std::string_view text, std::size_t from) const;
  std::size_t FindOneByOne(std::string_view text, std::size_t from) const;
  bool InnerMatches(const char* p) const;

  const unsigned char* fold_ = CaseFoldTable().data();
  std::string folded_;
  // The bytes that fold to the pattern's first and last byte (twice the same when only one).
  unsigned char first_[2] = {0, 0};
  unsigned char last_[2] = {0, 0};
};

// 1-based position of the first occurrence of `pattern` in `text`, both compared through
// CaseFoldTable; 0 when there is none. Both strings end at their first NUL byte. An empty
// pattern never matches.
std::size_t FindNoCase(std::string_view pattern, std::string_view text);

}  // namespace vk
