#include "engine/case_fold.h"

#include <gtest/gtest.h>

namespace vk {
namespace {

TEST(CaseFoldTable, FoldsWindows1252Capitals) {
  const auto& fold = CaseFoldTable();
  struct Case {
    unsigned char in, out;
  } cases[] = {{'A', 'a'},   {'Z', 'z'},   {'a', 'a'},   {'@', '@'},   {'[', '['},   {0xC0, 0xE0},
               {0xC4, 0xE4}, {0xD6, 0xF6}, {0xD7, 0xD7}, {0xDE, 0xFE}, {0xDF, 0xDF}, {0x8A, 0x9A},
               {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}, {0xFF, 0xFF}, {0x80, 0x80}, {0x00, 0x00}};
  for (const auto& c : cases) {
    EXPECT_EQ(fold[c.in], c.out) << "byte " << int(c.in);
  }
}

TEST(FindNoCase, PositionsAndMisses) {
  using namespace std::string_literals;
  struct Case {
    std::string pattern, text;
    std::size_t expected;
  } cases[] = {
      {"<meta", "x<META name>", 2},
      {"<pre", "<PREVIEW>", 1},
      {"aa", "baaa", 2},  // overlapping occurrences: first start wins
      {"", "abc", 0},     // empty pattern never matches
      {"abc", "", 0},
      {"abcd", "abc", 0},       // text ends first
      {"\xE4", "GR\xC4SS", 3},  // Ä found for ä
      {"\xFF", "\x9F", 1},      // Ÿ folds to ÿ
      {"\xD7", "\xF7", 0},      // multiplication sign does not fold to division sign
      {"b", "a\0b"s, 0},        // text ends at NUL
      {"a\0zzz"s, "xa", 2},     // pattern ends at NUL
      {"<script", "<p><sCrIpT>", 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindNoCase(c.pattern, c.text), c.expected) << c.pattern << " in " << c.text;
  }
}

TEST(FoldedFinder, FindsFromOffsetWithoutStoppingAtNul) {
  using namespace std::string_literals;
  const FoldedFinder s("ab");
  const std::string text = "AB\0aB xab"s;
  EXPECT_EQ(s.Find(text, 0), 0u);
  EXPECT_EQ(s.Find(text, 1), 3u);
  EXPECT_EQ(s.Find(text, 4), 7u);
  EXPECT_EQ(s.Find(text, 8), FoldedFinder::npos);
  EXPECT_EQ(s.Find(text, 100), FoldedFinder::npos);
  EXPECT_EQ(FoldedFinder("").Find(text), FoldedFinder::npos);
}

TEST(FoldedFinder, FindsInEveryLaneOfABlock) {
  // Blocks of 32 or 64 start positions (the wider ones in longer texts) are filtered on the
  // first and last byte in both cases; put the occurrence, and near misses that pass the
  // filter, at every offset across several blocks, in short texts and in long ones.
  struct Case {
    std::string pattern, occurrence, nearMiss;
  } cases[] = {
      {"<b>", "<B>", "<x>"},
      {"\xE4x\xC4", "\xC4X\xE4", "\xE4y\xC4"},
      {"a", "A", "b"},
      {"<font face=\"arial\">", "<FONT face=\"Arial\">", "<font face=\"arian\">"},
  };
  for (const Case& c : cases) {
    for (const std::size_t behind : {40, 300}) {
      for (std::size_t at = 0; at < 200; ++at) {
        std::string text(at, '.');
        for (std::size_t miss = 0; miss + c.nearMiss.size() <= at; miss += 7) {
          text.replace(miss, c.nearMiss.size(), c.nearMiss);
        }
        text += c.occurrence + std::string(behind, '.');
        EXPECT_EQ(FoldedFinder(c.pattern).Find(text), at) << c.pattern << " at " << at;
        EXPECT_EQ(FindNoCase(c.pattern, text), at + 1) << c.pattern << " at " << at;
        EXPECT_EQ(FoldedFinder(c.pattern).Find(text, at + 1), FoldedFinder::npos);
      }
    }
  }
}

}  // namespace
}  // namespace vk
