// Date texts of the file list and the MS-DOS time stamps behind them.
#include "selection/file_date.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scan_support.h"
#include "selection/folder_scan.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::CalendarTime;
using test::ScopedTimeZone;
using test::SetModificationTime;
using test::UtcTime;

TEST(PackDosDateTime, PacksEachFieldAndRejectsYearsTheFormatCannotHold) {
  struct Case {
    std::tm time;
    std::uint32_t packed;
  };
  const Case cases[] = {
      {CalendarTime(2010, 3, 7, 14, 5, 9), 0x3C6770A4u},
      {CalendarTime(2010, 3, 7, 14, 5, 8), 0x3C6770A4u},
      {CalendarTime(2010, 3, 7, 0, 0, 0), 0x3C670000u},
      {CalendarTime(1980, 1, 1, 0, 0, 0), 0x00210000u},
      {CalendarTime(2107, 12, 31, 23, 59, 59), 0xFF9FBF7Du},
      {CalendarTime(2016, 12, 31, 23, 59, 60), 0x499FBF7Du},  // a leap second counts as :59
      {CalendarTime(1979, 12, 31, 23, 59, 59), 0u},
      {CalendarTime(2108, 1, 1, 0, 0, 0), 0u},
      {CalendarTime(1970, 1, 1, 0, 0, 0), 0u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PackDosDateTime(c.time), c.packed)
        << c.time.tm_year + 1900 << "-" << c.time.tm_mon + 1 << "-" << c.time.tm_mday << " "
        << c.time.tm_hour << ":" << c.time.tm_min << ":" << c.time.tm_sec;
  }
}

TEST(DateFormats, TwoDigitYearsAreWidenedOutsideQuotes) {
  const struct {
    const char* format;
    const char* widened;
  } cases[] = {
      {"dd.MM.yy", "dd.MM.yyyy"},   {"M/d/yy", "M/d/yyyy"},
      {"yy. M. d.", "yyyy. M. d."}, {"yyyy/M/d", "yyyy/M/d"},
      {"d MMM yyyy", "d MMM yyyy"}, {"dd.MM.'yy'yy", "dd.MM.'yy'yyyy"},
      {"d/M/y", "d/M/y"},           {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithFourDigitYear(QString::fromUtf8(c.format)).toStdString(), c.widened) << c.format;
  }
}

TEST(DateFormats, TimeZoneIsRemovedWithItsBlankOrParentheses) {
  const struct {
    const char* format;
    const char* stripped;
  } cases[] = {
      {"HH:mm:ss t", "HH:mm:ss"},
      {"h:mm:ss AP t", "h:mm:ss AP"},
      {"H:mm:ss (t)", "H:mm:ss"},
      {"t HH:mm:ss", "HH:mm:ss"},
      {"AP h시 m분 s초 t", "AP h시 m분 s초"},
      {"HH:mm:ss 'Uhr' t", "HH:mm:ss 'Uhr'"},
      {"'at' HH:mm", "'at' HH:mm"},
      {"HH:mm:ss", "HH:mm:ss"},
      {"HH:mm:ss tttt", "HH:mm:ss"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithoutTimeZone(QString::fromUtf8(c.format)).toStdString(), c.stripped) << c.format;
  }
}

TEST(DateTextFormat, GermanShortDateAndLongTimeWithEvenSeconds) {
  const DateTextFormat german{QLocale(QLocale::German, QLocale::Germany)};
  EXPECT_EQ(german.DateFormat().toStdString(), "dd.MM.yyyy");
  EXPECT_EQ(german.TimeFormat().toStdString(), "HH:mm:ss");
  const struct {
    QDate date;
    QTime time;
    const char* text;
  } cases[] = {
      {QDate(2010, 3, 7), QTime(14, 5, 8), "07.03.2010 14:05:08"},
      {QDate(2010, 3, 7), QTime(14, 5, 9), "07.03.2010 14:05:08"},
      {QDate(2010, 3, 7), QTime(10, 15, 33), "07.03.2010 10:15:32"},
      {QDate(2010, 3, 7), QTime(0, 0, 0), "07.03.2010"},
      {QDate(2010, 3, 7), QTime(0, 0, 1), "07.03.2010"},  // the stamp holds 00:00:00
      {QDate(2010, 3, 7), QTime(0, 0, 2), "07.03.2010 00:00:02"},
      {QDate(2010, 3, 7), QTime(0, 1, 0), "07.03.2010 00:01:00"},
      {QDate(2010, 12, 31), QTime(23, 59, 59), "31.12.2010 23:59:58"},
      {QDate(1975, 6, 15), QTime(8, 30, 45), "15.06.1975 08:30:44"},
      {QDate(2200, 1, 1), QTime(12, 0, 1), "01.01.2200 12:00:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(german.Text(c.date, c.time), c.text) << c.text;
  }
}

TEST(DateTextFormat, OtherLocalesKeepTheirOrderButGetFourDigitYears) {
  const DateTextFormat english{QLocale(QLocale::English, QLocale::UnitedStates)};
  // The blank before "PM" is the locale data's own (plain or narrow no-break, by Qt version).
  const std::string afternoon = english.Text(QDate(2010, 3, 7), QTime(14, 5, 9));
  EXPECT_TRUE(afternoon.starts_with("3/7/2010 2:05:08") && afternoon.ends_with("PM")) << afternoon;
  EXPECT_EQ(english.Text(QDate(2010, 3, 7), QTime(0, 0, 0)), "3/7/2010");
}

// A file stamped with `time`, for the tests below.
std::string StampedFile(const test::TempDir& dir, const std::string& name, std::time_t time) {
  const std::string path = dir.File(name);
  test::WriteFile(path, "<p>");
  SetModificationTime(path, time);
  return path;
}

// Local time follows the time zone and its daylight saving; the stamp holds years 1980 to 2107
// only, the text every year.
TEST(FileDate, TextAndStampOfFilesInTheirTimeZone) {
  constexpr const char* kUtc = "UTC0";
  constexpr const char* kCet = "CET-1CEST,M3.5.0,M10.5.0/3";
  const QLocale german(QLocale::German, QLocale::Germany);
  test::TempDir dir;
  const struct {
    const char* zone;
    std::time_t time;
    const char* text;
    std::uint32_t stamp;
  } cases[] = {
      {kUtc, UtcTime(2010, 3, 7, 14, 5, 9), "07.03.2010 14:05:08", 0x3C6770A4u},
      {kUtc, UtcTime(2010, 3, 7, 10, 15, 33), "07.03.2010 10:15:32", 0x3C6751F0u},
      {kUtc, UtcTime(2010, 3, 7, 0, 0, 0), "07.03.2010", 0x3C670000u},
      {kUtc, UtcTime(1980, 1, 1, 0, 0, 0), "01.01.1980", 0x00210000u},
      {kUtc, UtcTime(1975, 6, 15, 8, 30, 45), "15.06.1975 08:30:44", 0u},
      {kUtc, UtcTime(1970, 1, 1, 0, 0, 0), "01.01.1970", 0u},
      {kUtc, UtcTime(2107, 12, 31, 23, 59, 59), "31.12.2107 23:59:58", 0xFF9FBF7Du},
      {kUtc, UtcTime(2200, 1, 1, 12, 0, 1), "01.01.2200 12:00:00", 0u},
      {kCet, UtcTime(2010, 3, 7, 13, 5, 9), "07.03.2010 14:05:08", 0x3C6770A4u},  // winter: +1
      {kCet, UtcTime(2010, 7, 1, 22, 0, 0), "02.07.2010", 0x3CE20000u},           // summer: +2
      {kCet, UtcTime(2010, 3, 6, 23, 0, 1), "07.03.2010", 0x3C670000u},
  };
  int index = 0;
  for (const auto& c : cases) {
    ScopedTimeZone zone(c.zone);
    const std::string path = StampedFile(dir, "f" + std::to_string(index++) + ".htm", c.time);
    if (test::ModificationTime(path) != c.time) {
      ADD_FAILURE() << "the file system did not keep the time stamp of " << c.text;
      continue;
    }
    EXPECT_EQ(FileDateText(path, german), c.text) << c.zone;
    EXPECT_EQ(FileDateOf(path), c.stamp) << c.text << " " << c.zone;
  }
}

TEST(FileDate, MissingPathHasNoDateAndAFolderHasOne) {
  ScopedTimeZone utc("UTC0");
  const QLocale german(QLocale::German, QLocale::Germany);
  test::TempDir dir;
  EXPECT_EQ(FileDateText(dir.File("missing.htm"), german), "");
  EXPECT_EQ(FileDateOf(dir.File("missing.htm")), 0u);
  EXPECT_EQ(FileDateText("", german), "");
  EXPECT_EQ(FileDateOf(""), 0u);
  EXPECT_EQ(FileDateText(dir.File("missing.htm")), "");

  const std::string folder = dir.File("sub");
  test::MakeFolder(folder);
  SetModificationTime(folder, UtcTime(2012, 5, 4, 3, 2, 1));
  EXPECT_EQ(FileDateText(folder, german), "04.05.2012 03:02:00");
  EXPECT_EQ(FileDateOf(folder), (32u << 25) | (5u << 21) | (4u << 16) | (3u << 11) | (2u << 5));
}

TEST(FileDate, ALinkShowsTheTimeOfWhatItLeadsTo) {
  ScopedTimeZone utc("UTC0");
  const QLocale german(QLocale::German, QLocale::Germany);
  test::TempDir dir;
  StampedFile(dir, "target.htm", UtcTime(2011, 2, 3, 4, 5, 6));
  test::MakeLink("target.htm", dir.File("link.htm"));
  SetModificationTime(dir.File("link.htm"), UtcTime(2001, 1, 1, 1, 1, 2));
  EXPECT_EQ(FileDateText(dir.File("link.htm"), german), "03.02.2011 04:05:06");
  test::MakeLink("nowhere.htm", dir.File("dangling.htm"));
  EXPECT_EQ(FileDateText(dir.File("dangling.htm"), german), "");
  EXPECT_EQ(FileDateOf(dir.File("dangling.htm")), 0u);
}

}  // namespace
}  // namespace vk
