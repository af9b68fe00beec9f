// Case-insensitive byte search over Windows-1252 text, shared by every transformation and by
// the settings storage.
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

// 1-based position of the first occurrence of `pattern` in `text`, both compared through
// CaseFoldTable; 0 when there is none. Both strings end at their first NUL byte. An empty
// pattern never matches.
std::size_t FindNoCase(std::string_view pattern, std::string_view text);

// A pattern prepared for repeated searches. Find() returns the 0-based position of the first
// case-insensitive occurrence starting at or after `from`, or npos. Unlike FindNoCase it does
// not stop at NUL bytes: callers that need that cut the text first. An empty pattern never
// matches.
class NoCaseSearcher {
 public:
  explicit NoCaseSearcher(std::string_view pattern);
  std::size_t Find(std::string_view text, std::size_t from = 0) const;
  std::size_t size() const { return folded_.size(); }
  static constexpr std::size_t npos = std::string_view::npos;

 private:
  std::string folded_;
  unsigned char firstLower_ = 0;
  unsigned char firstUpper_ = 0;  // the other byte that folds to the same first byte, if any
  bool firstHasTwin_ = false;
};

// Lowers the bytes of `text` through CaseFoldTable.
std::string FoldCase(std::string_view text);

}  // namespace vk
