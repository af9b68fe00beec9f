#include "engine/encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "engine/case_fold.h"
#include "engine/cp1252.h"
#include "utf8_reference_support.h"

namespace vk {
namespace {

constexpr PageEncoding kUtf8 = PageEncoding::kUtf8;
constexpr PageEncoding kCp1252 = PageEncoding::kWindows1252;

TEST(DecidePageEncoding, TheBytesDecide) {
  struct Case {
    std::string page;
    PageEncoding expected;
    const char* why;
  } cases[] = {
      {"", kCp1252, "empty"},
      {"<p>plain ASCII</p>\r\n", kCp1252, "no sequence"},
      {"\xEF\xBB\xBF", kUtf8, "BOM alone"},
      {"\xEF\xBB\xBFGr\xFC\xDF\xE9", kUtf8, "BOM before stray bytes"},
      {"h\xC3\xA4ufig", kUtf8, "two-byte sequence"},
      {"5 \xE2\x82\xAC", kUtf8, "three-byte sequence"},
      {"\xF0\x9F\x98\x80", kUtf8, "four-byte sequence"},
      {"\xF4\x8F\xBF\xBF", kUtf8, "U+10FFFF"},
      {"\xC0\xAF", kCp1252, "overlong two bytes: two strays"},
      {"\xE0\x80\xAF\xC3\xA4", kCp1252, "overlong three bytes: three strays, one sequence"},
      {"\xF0\x80\x80\xAF\xC3\xA4\xC3\xB6", kCp1252, "overlong four bytes: four strays"},
      {"\xED\xA0\x80\xC3\xA4\xC3\xB6", kCp1252, "surrogate: three strays"},
      {"\xF4\x90\x80\x80\xC3\xA4\xC3\xB6", kCp1252, "above U+10FFFF: four strays"},
      {"\xC3", kCp1252, "lead byte cut off by the end"},
      {"\xC3\xA4\xC3", kUtf8, "one sequence, one stray"},
      {"\xC3\xA4 \xE4", kUtf8, "the tie goes to UTF-8"},
      {"\xC3\xA4 \xE4\xF6", kCp1252, "more strays than sequences"},
      {"Gr\xFC\xDF\xAB"
       " und \xE4\xF6\xFC",
       kCp1252, "a Windows-1252 page whose \"\xDF\xAB\" is a valid pair"},
      {"h\xC3\xA4ufig \xC3\xB6\xC3\xBC \xE2\x82\xAC und Gr\xFC\xDF", kUtf8,
       "UTF-8 with stray bytes pasted in"},
      {"\xE4\xC3\xA4", kUtf8, "a lead byte without its continuation is stray"},
      {"<meta charset=\"utf-8\">Gr\xFC\xDF"
       "e",
       kCp1252, "declared UTF-8, written in Windows-1252"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><p>h\xC3\xA4ufig</p>", kUtf8,
       "declared Windows-1252, written in UTF-8"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecidePageEncoding(c.page), c.expected) << c.why;
    EXPECT_EQ(test::ReferenceDecideEncoding(c.page), c.expected) << c.why;
  }
  EXPECT_EQ(EncodingName(kUtf8), "utf-8");
  EXPECT_EQ(EncodingName(kCp1252), "windows-1252");
}

TEST(DecidePageEncoding, SequencesAndStraysAtEveryOffset) {
  // ASCII is skipped sixteen and eight bytes at a time; put the bytes that count on every
  // offset, across the block boundaries.
  for (std::size_t offset = 0; offset < 40; ++offset) {
    const std::string pad(offset, 'x');
    EXPECT_EQ(DecidePageEncoding(pad + "\xE2\x82\xAC" + pad), kUtf8) << offset;
    EXPECT_EQ(DecidePageEncoding(pad + "\xE4" + pad), kCp1252) << offset;
    EXPECT_EQ(DecidePageEncoding(pad + "\xC3\xA4" + pad + "\xE4\xF6"), kCp1252) << offset;
    EXPECT_EQ(DecidePageEncoding(pad + "\xC3\xA4" + pad + "\xE4"), kUtf8) << offset;
  }
}

// The balance of sequences against stray bytes, walking the page one step at a time.
std::int64_t StepwiseBalance(const std::string& page) {
  std::int64_t balance = 0;
  const char* end = page.data() + page.size();
  for (const char* p = page.data(); p < end;) {
    if (static_cast<unsigned char>(*p) < 0x80) {
      ++p;
    } else if (const std::size_t length = Utf8SequenceLength(p, end); length > 0) {
      ++balance;
      p += length;
    } else {
      --balance;
      ++p;
    }
  }
  return balance;
}

TEST(DecidePageEncoding, CountsEveryHighByteAsTheStepwiseWalkDoes) {
  // Pages made of the bytes where the rules for sequences change, then brought to the exact
  // balance and one step past it: the decision flips there only when both counts are right.
  const unsigned char kBytes[] = {'a',  ' ',  0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                  0xC2, 0xC3, 0xDF, 0xE0, 0xE2, 0xED, 0xEF, 0xF0, 0xF4, 0xF5};
  std::mt19937 random(20);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kBytes - 1);
  std::uniform_int_distribution<std::size_t> length(0, 200);
  for (int round = 0; round < 3000; ++round) {
    std::string page = "x";
    for (std::size_t n = length(random); n > 0; --n)
      page += static_cast<char>(kBytes[pick(random)]);
    page += "x";
    const std::int64_t balance = StepwiseBalance(page);
    std::string even = page;
    std::string past = page;
    if (balance >= 0) {
      even.append(static_cast<std::size_t>(balance), '\xFF');
      past.append(static_cast<std::size_t>(balance) + 1, '\xFF');
      if (balance == 0) even += "\xC3\xA4\xFF";  // at least one sequence
      EXPECT_EQ(DecidePageEncoding(even), kUtf8) << round;
      EXPECT_EQ(DecidePageEncoding(past), kCp1252) << round;
    } else {
      for (std::int64_t k = 0; k < -balance; ++k) even += "\xC3\xA4";
      for (std::int64_t k = 1; k < -balance; ++k) past += "\xC3\xA4";
      EXPECT_EQ(DecidePageEncoding(even), kUtf8) << round;
      EXPECT_EQ(DecidePageEncoding(past), kCp1252) << round;
    }
  }
}

TEST(Utf8PageCharAt, SequencesAndStrayBytes) {
  struct Case {
    std::string bytes;
    char32_t code;
    std::size_t length;
  } cases[] = {
      {"a", 'a', 1},
      {"\xC3\xA4", 0xE4, 2},
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\xF0\x9D\x84\x9E", 0x1D11E, 4},
      {"\xE4x", 0xE4, 1},     // stray: its Windows-1252 character
      {"\x80", 0x20AC, 1},    // the euro sign of Windows-1252
      {"\x9F", 0x178, 1},     // Y with diaeresis
      {"\x81", 0x81, 1},      // undefined in Windows-1252: the control character
      {"\xC3", 0xC3, 1},      // cut off
      {"\xC0\xAF", 0xC0, 1},  // overlong
      {"\xED\xA0\x80", 0xED, 1},
  };
  for (const auto& c : cases) {
    const Utf8PageChar got = Utf8PageCharAt(c.bytes.data(), c.bytes.data() + c.bytes.size());
    EXPECT_EQ(static_cast<unsigned>(got.code), static_cast<unsigned>(c.code)) << c.bytes;
    EXPECT_EQ(got.length, c.length) << c.bytes;
  }
}

TEST(StartsCharacter, OnlyInsideAWellFormedSequenceNot) {
  // "a", "ä", "€", "𝄞", a stray continuation byte, an overlong pair (two strays).
  const std::string text = "a\xC3\xA4\xE2\x82\xAC\xF0\x9D\x84\x9E\xA4\xC0\xAF";
  const bool starts[] = {true,  true,  false, true, false, false, true,
                         false, false, false, true, true,  true};
  ASSERT_EQ(text.size(), std::size(starts));
  for (std::size_t at = 0; at < text.size(); ++at) {
    EXPECT_EQ(StartsCharacter(text, at), starts[at]) << at;
  }
}

TEST(FoldCharacter, FoldsTheCharactersOfTheBytesCaseFoldTableJoins) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    EXPECT_EQ(static_cast<unsigned>(FoldCharacter(Cp1252Char(byte))),
              static_cast<unsigned>(Cp1252Char(CaseFoldTable()[byte])))
        << b;
  }
  for (const char32_t c : {0x100u, 0x391u, 0x3918u}) {  // A with macron, capital alpha, 㤘
    EXPECT_EQ(static_cast<unsigned>(FoldCharacter(c)), static_cast<unsigned>(c));
  }
}

}  // namespace
}  // namespace vk
