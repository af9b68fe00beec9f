// The "Datum" text of the file list and the MS-DOS time stamp behind it. A time is taken in
// local time with its seconds rounded down to even; the text is the locale's short date with a
// four-digit year and, unless the time is exactly midnight, a blank and the long time without
// its time zone.
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <cstdint>
#include <ctime>
#include <string>

namespace vk {

// (year-1980)<<25 | month<<21 | day<<16 | hour<<11 | minute<<5 | second/2 of a broken-down
// time; 0 when its year lies outside 1980..2107, which the format cannot hold.
std::uint32_t PackDosDateTime(const std::tm& time);

// A date format with every two-letter year ("yy") widened to four letters; quoted text is
// left alone.
QString WithFourDigitYear(const QString& dateFormat);

// A time format without its time zone ("t"), together with the blank or the parentheses
// around it; quoted text is left alone.
QString WithoutTimeZone(const QString& timeFormat);

// The formats of one locale, worked out once and used for many rows.
class DateTextFormat {
 public:
  explicit DateTextFormat(const QLocale& locale);

  const QString& DateFormat() const { return dateFormat_; }
  const QString& TimeFormat() const { return timeFormat_; }

  // The date and, unless the time with its seconds rounded down to even is 00:00:00, a blank
  // and that time. UTF-8.
  std::string Text(QDate date, QTime time) const;

 private:
  QLocale locale_;
  QString dateFormat_;
  QString timeFormat_;
};

// The text of a moment given in seconds since the epoch, converted to local time. Times the
// MS-DOS format cannot hold are shown all the same. Empty when the moment has no local time.
std::string DateTextOfTime(std::time_t time, const DateTextFormat& format);

// Last-modification time in local time, packed in the MS-DOS date-time format; 0 when the
// path matches nothing or the time cannot be packed.
std::uint32_t FileDateOf(const std::string& path);

// The date text of a file in the user's locale: short date (four-digit year), and unless
// exactly midnight a blank and the long time, seconds rounded down to even; also for times the
// MS-DOS format cannot hold. Empty when the path matches nothing.
std::string FileDateText(const std::string& path);
// The same in `locale`.
std::string FileDateText(const std::string& path, const QLocale& locale);

}  // namespace vk
