#include "selection/file_date.h"

#include <sys/stat.h>

#include <algorithm>

namespace vk {

std::uint32_t PackDosDateTime(const std::tm& time) {
  const int year = time.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  // A leap second has no place in the two-second grid; it counts as the second before.
  const int second = std::min(time.tm_sec, 59);
  return static_cast<std::uint32_t>(year - 1980) << 25 |
         static_cast<std::uint32_t>(time.tm_mon + 1) << 21 |
         static_cast<std::uint32_t>(time.tm_mday) << 16 |
         static_cast<std::uint32_t>(time.tm_hour) << 11 |
         static_cast<std::uint32_t>(time.tm_min) << 5 | static_cast<std::uint32_t>(second / 2);
}

QString WithFourDigitYear(const QString& dateFormat) {
  QString result;
  bool quoted = false;
  const qsizetype length = dateFormat.size();
  for (qsizetype i = 0; i < length;) {
    const QChar c = dateFormat[i];
    if (c == u'\'') {
      quoted = !quoted;
    } else if (!quoted && c == u'y') {
      qsizetype end = i;
      while (end < length && dateFormat[end] == u'y') ++end;
      const qsizetype run = end - i;
      result += QString(run == 2 ? 4 : run, u'y');
      i = end;
      continue;
    }
    result += c;
    ++i;
  }
  return result;
}

QString WithoutTimeZone(const QString& timeFormat) {
  QString result;
  bool quoted = false;
  const qsizetype length = timeFormat.size();
  for (qsizetype i = 0; i < length;) {
    const QChar c = timeFormat[i];
    if (c == u'\'') {
      quoted = !quoted;
    } else if (!quoted && c == u't') {
      qsizetype end = i;
      while (end < length && timeFormat[end] == u't') ++end;
      // "(t)" goes as a whole, and so does the blank that separated the zone from the time.
      if (result.endsWith(u'(') && end < length && timeFormat[end] == u')') {
        result.chop(1);
        ++end;
      }
      while (!result.isEmpty() && result.back().isSpace()) result.chop(1);
      if (result.isEmpty()) {
        while (end < length && timeFormat[end].isSpace()) ++end;
      }
      i = end;
      continue;
    }
    result += c;
    ++i;
  }
  return result;
}

DateTextFormat::DateTextFormat(const QLocale& locale)
    : locale_(locale),
      dateFormat_(WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat))),
      timeFormat_(WithoutTimeZone(locale.timeFormat(QLocale::LongFormat))) {}

std::string DateTextFormat::Text(QDate date, QTime time) const {
  // The two-second grid of the MS-DOS time stamp: an odd second is rounded down.
  const QTime rounded(time.hour(), time.minute(), time.second() - time.second() % 2);
  QString text = locale_.toString(date, dateFormat_);
  if (rounded != QTime(0, 0)) {
    text += u' ';
    text += locale_.toString(rounded, timeFormat_);
  }
  return text.toStdString();
}

std::string DateTextOfTime(std::time_t time, const DateTextFormat& format) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return std::string();
  const QDate date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  const QTime clock(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59));
  return format.Text(date, clock);
}

std::string FileDateText(const std::string& path, const QLocale& locale) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::string();
  return DateTextOfTime(info.st_mtime, DateTextFormat(locale));
}

std::string FileDateText(const std::string& path) { return FileDateText(path, QLocale::system()); }

std::uint32_t FileDateOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return 0;
  std::tm local{};
  if (localtime_r(&info.st_mtime, &local) == nullptr) return 0;
  return PackDosDateTime(local);
}

}  // namespace vk
