#include "engine/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace vk {
namespace {

struct Pair {
  std::string bytes;  // Windows-1252
  std::string utf8;
};

// Both directions of the table rows that differ from Latin-1, plus the ends of each range.
const Pair kPairs[] = {
    {"", ""},
    {"<b>abc</b>", "<b>abc</b>"},
    {std::string("\0", 1), std::string("\0", 1)},
    {"\x7F", "\x7F"},
    {"\x80", "\xE2\x82\xAC"},                  // €
    {"\x82", "\xE2\x80\x9A"},                  // ‚
    {"\x83", "\xC6\x92"},                      // ƒ
    {"\x84", "\xE2\x80\x9E"},                  // „
    {"\x8A", "\xC5\xA0"},                      // Š
    {"\x8C", "\xC5\x92"},                      // Œ
    {"\x8E", "\xC5\xBD"},                      // Ž
    {"\x93\x94", "\xE2\x80\x9C\xE2\x80\x9D"},  // “”
    {"\x96\x97", "\xE2\x80\x93\xE2\x80\x94"},  // – —
    {"\x99", "\xE2\x84\xA2"},                  // ™
    {"\x9F", "\xC5\xB8"},                      // Ÿ
    {"\xA0", "\xC2\xA0"},
    {"\xE4\xF6\xFC\xDF", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"},  // äöüß
    {"\xFF", "\xC3\xBF"},
    // The bytes the code page leaves undefined keep a character of their own.
    {"\x81", "\xC2\x81"},
    {"\x8D", "\xC2\x8D"},
    {"\x8F", "\xC2\x8F"},
    {"\x90", "\xC2\x90"},
    {"\x9D", "\xC2\x9D"},
    {"<a title=\"\x80 5\">", "<a title=\"\xE2\x82\xAC 5\">"},
};

TEST(Cp1252, ConvertsBothWaysByTheTable) {
  for (const Pair& pair : kPairs) {
    EXPECT_EQ(Cp1252ToUtf8(pair.bytes), pair.utf8) << pair.utf8;
    std::string back;
    EXPECT_TRUE(Utf8ToCp1252(pair.utf8, &back)) << pair.utf8;
    EXPECT_EQ(back, pair.bytes) << pair.utf8;
  }
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = Cp1252ToUtf8(all);
  std::string back;
  ASSERT_TRUE(Utf8ToCp1252(utf8, &back));
  EXPECT_EQ(back, all);
}

TEST(Cp1252, RefusesCharactersWithoutAByte) {
  struct Case {
    std::string utf8;
    std::string convertedBefore;
    std::string bad;
  };
  const Case cases[] = {
      {"a\xE2\x86\x92"
       "b",
       "a", "\xE2\x86\x92"},                         // → U+2192
      {"\xC2\x80", "", "\xC2\x80"},                  // U+0080 has no byte (0x80 is €)
      {"\xC2\x9E", "", "\xC2\x9E"},                  // U+009E likewise (0x9E is ž)
      {"x\xC4\x80", "x", "\xC4\x80"},                // Ā
      {"\xF0\x9F\x98\x80", "", "\xF0\x9F\x98\x80"},  // an emoji
      {"ok\xFF", "ok", "\xEF\xBF\xBD"},              // broken UTF-8
      {"\xC0\xAF", "", "\xEF\xBF\xBD"},              // overlong "/"
      {"\xED\xA0\x80", "", "\xEF\xBF\xBD"},          // a lone surrogate
      {"\xE2\x82", "", "\xEF\xBF\xBD"},              // cut off
  };
  for (const Case& c : cases) {
    std::string out = "stale";
    std::string bad;
    EXPECT_FALSE(Utf8ToCp1252(c.utf8, &out, &bad)) << c.utf8;
    EXPECT_EQ(out, c.convertedBefore) << c.utf8;
    EXPECT_EQ(bad, c.bad) << c.utf8;
  }
}

}  // namespace
}  // namespace vk
