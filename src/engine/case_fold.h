// The case-insensitive search of the engine: one searcher, FoldedFinder, behind FindNoCase, the
// HTML code replacement, the META tags of the conversion and the code list storage. Letters are
// folded through one Windows-1252 table: on bytes for Windows-1252 pages, on characters for
// UTF-8 pages.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding.h"

namespace vk {

// Maps every byte to its lower-case form in Windows-1252: 'A'..'Z' to 'a'..'z', 0xC0..0xDE
// (except 0xD7) up by 0x20, 0x8A/0x8C/0x8E/0x9F to 0x9A/0x9C/0x9E/0xFF; all other bytes to
// themselves. Built once, before first use.
const std::array<unsigned char, 256>& CaseFoldTable();

inline unsigned char FoldByte(unsigned char c) { return CaseFoldTable()[c]; }

// Lowers the bytes of `text` through CaseFoldTable.
std::string FoldCase(std::string_view text);

// The same fold on characters: the characters of the bytes that CaseFoldTable joins ('A'..'Z',
// U+00C0..U+00DE but U+00D7, U+0160, U+0152, U+017D, U+0178) to those of their lower-case
// bytes; every other character to itself.
char32_t FoldCharacter(char32_t c);

// A pattern prepared for repeated searches in pages of one encoding. Find() returns the
// 0-based position of the first occurrence starting at or after `from`, or npos, and its
// length in bytes through `length`.
// - Windows-1252: an occurrence is as many bytes as the pattern, equal to its bytes through
//   CaseFoldTable.
// - UTF-8 (`pattern` read like a UTF-8 page too): an occurrence is as many characters as the
//   pattern's, each equal to the pattern's through FoldCharacter, a stray byte taken as its
//   Windows-1252 character; it begins and ends where characters do, and a stray byte is shorter
//   than its character's sequence. `text` must begin where a character begins (or `from` be
//   at least 3). A pattern of ASCII bytes alone finds the same occurrences either way.
// It does not stop at NUL bytes: callers that need that cut the text first. An empty pattern
// never matches. Linear in the text searched.
class FoldedFinder {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  explicit FoldedFinder(std::string_view pattern,
                        PageEncoding encoding = PageEncoding::kWindows1252);

  std::size_t Find(std::string_view text, std::size_t from = 0) const {
    std::size_t length;
    return Find(text, from, &length);
  }
  std::size_t Find(std::string_view text, std::size_t from, std::size_t* length) const;
  // The longest an occurrence can be, in bytes: the size of the pattern when it holds no stray
  // byte.
  std::size_t size() const { return onCharacters_ ? maxLength_ : folded_.size(); }
  // Whether occurrences are matched on characters, and so may be shorter than size().
  bool OnCharacters() const { return onCharacters_; }
  // Whether an occurrence matched on bytes can begin with the byte `c`.
  bool MayBeginWith(unsigned char c) const {
    return !folded_.empty() && fold_[c] == static_cast<unsigned char>(folded_.front());
  }

 private:
  template <bool kFirstTwin, bool kLastTwin>
  std::size_t FindInBlocks(std::string_view text, std::size_t from) const;
  template <bool kFirstTwin, bool kLastTwin>
  std::size_t FindInWideBlocks(std::string_view text, std::size_t from) const;
  template <bool kFirstTwin, bool kLastTwin>
  std::size_t FindFiltered(std::string_view text, std::size_t from) const;
  std::size_t FindOneByOne(std::string_view text, std::size_t from) const;
  bool InnerMatches(const char* p) const;
  std::size_t FindCharacters(std::string_view text, std::size_t from, std::size_t* length) const;
  bool CharactersMatch(std::string_view text, std::size_t at, std::size_t* length) const;

  // On characters: the pattern's characters folded, the bytes a character folding to the first
  // of them can begin with (repeated to fill the four), and the pattern's size in bytes.
  bool onCharacters_ = false;
  std::vector<char32_t> characters_;
  unsigned char starts_[4] = {0, 0, 0, 0};
  std::size_t maxLength_ = 0;

  const unsigned char* fold_ = CaseFoldTable().data();
  std::string folded_;
  // The bytes that fold to the pattern's first, middle and last byte (twice the same when only
  // one), and where the middle one stands.
  unsigned char first_[2] = {0, 0};
  unsigned char middle_[2] = {0, 0};
  unsigned char last_[2] = {0, 0};
  std::size_t middleAt_ = 0;
};

// 1-based position of the first occurrence of `pattern` in `text`, both compared through
// CaseFoldTable; 0 when there is none. Both strings end at their first NUL byte. An empty
// pattern never matches.
std::size_t FindNoCase(std::string_view pattern, std::string_view text);

}  // namespace vk
