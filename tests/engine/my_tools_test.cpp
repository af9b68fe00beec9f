#include "engine/my_tools.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/test_support.h"

namespace vk {
namespace {

using namespace std::string_literals;

TEST(SizeText, UnitsAndLimitsWithAGermanSeparator) {
  const TMyTools tools(".");
  struct Case {
    std::int64_t size;
    std::string text;
  } cases[] = {
      {0, "0 Byte"},
      {1, "1 Byte"},
      {999, "999 Byte"},
      {1000, "1.000 Byte"},
      {1024, "1.024 Byte"},
      {999999, "999.999 Byte"},
      {1000000, "976 KByte"},
      {1500000, "1.464 KByte"},
      {1024000, "1.000 KByte"},
      {9999999, "9.765 KByte"},
      {10000000, "9 MByte"},
      {1073741824, "1.024 MByte"},
      {5368709120, "5.120 MByte"},
      {std::numeric_limits<std::int64_t>::max(), "8.796.093.022.207 MByte"},
      // Negative sizes: a missing file and totals that contain one.
      {-1, "0 Byte"},
      {-1000, "0 Byte"},
      {-1048575, "0 Byte"},
      {-1048576, "0 MByte"},
      {-20000000, "0 MByte"},
      {std::numeric_limits<std::int64_t>::min(), "0 MByte"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tools.SizeText(c.size), c.text) << c.size;
  }
}

TEST(SizeText, TakesTheSeparatorOfTheInstance) {
  struct Case {
    std::string separator;
    std::int64_t size;
    std::string text;
  } cases[] = {
      {",", 1024, "1,024 Byte"},
      {",", 1500000, "1,464 KByte"},
      {",", 999, "999 Byte"},
      {"\xC2\xA0", 1073741824,
       "1\xC2\xA0"
       "024 MByte"},  // a no-break space, as UTF-8
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TMyTools(c.separator).SizeText(c.size), c.text) << c.size;
  }
  TMyTools tools;
  EXPECT_EQ(tools.ThousandsSeparator(), ".");
  tools.SetThousandsSeparator("'");
  EXPECT_EQ(tools.SizeText(123456), "123'456 Byte");
}

TEST(GroupThousands, GroupsFromTheRight) {
  const TMyTools tools(".");
  struct Case {
    std::int64_t value;
    std::string text;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {100, "100"},
      {999, "999"},
      {1000, "1.000"},
      {12345, "12.345"},
      {100000, "100.000"},
      {999999, "999.999"},
      {1000000, "1.000.000"},
      {1234567, "1.234.567"},
      {std::numeric_limits<std::int64_t>::max(), "9.223.372.036.854.775.807"},
      {-1234, "-1.234"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tools.GroupThousands(c.value), c.text) << c.value;
  }
  EXPECT_EQ(TMyTools(",").GroupThousands(1234567), "1,234,567");
  EXPECT_EQ(TMyTools("").GroupThousands(1234567), "1234567");
}

TEST(ZeroPad4, PadsToFourDigits) {
  struct Case {
    std::int64_t value;
    std::string text;
  } cases[] = {{0, "0000"},    {7, "0007"},      {42, "0042"},   {123, "0123"},
               {2011, "2011"}, {12345, "12345"}, {9999, "9999"}, {1000000, "1000000"}};
  for (const auto& c : cases) {
    EXPECT_EQ(TMyTools::ZeroPad4(c.value), c.text) << c.value;
  }
}

TEST(UpperCaseGerman, LettersAndTheThreeUmlauts) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"index.htm", "INDEX.HTM"},
      {"gr\xF6\xDF"
       "e",
       "GR\xD6\xDF"
       "E"},  // "größe" -> "GRÖßE": ß stays
      {"\xE4\xF6\xFC", "\xC4\xD6\xDC"},
      {"\xC4\xD6\xDC", "\xC4\xD6\xDC"},
      {"\xE9\xE0\xFF\xE5\xF8", "\xE9\xE0\xFF\xE5\xF8"},  // other accented letters stay
      {"@AZ[`az{", "@AZ[`AZ{"},
      {"a\0b"s, "A\0B"s},
      {"Mixed Case 123", "MIXED CASE 123"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TMyTools::UpperCaseGerman(c.in), c.out) << c.in;
  }
}

}  // namespace
}  // namespace vk
