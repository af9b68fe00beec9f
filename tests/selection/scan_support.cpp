#include "scan_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vk::test {

void MakeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  ASSERT_FALSE(error) << "cannot create " << path << ": " << error.message();
}

void MakeLink(const std::string& target, const std::string& path) {
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0)
      << "cannot link " << path << ": " << std::strerror(errno);
}

std::tm CalendarTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return fields;
}

std::time_t UtcTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm fields = CalendarTime(year, month, day, hour, minute, second);
  return timegm(&fields);
}

void SetModificationTime(const std::string& path, std::time_t time) {
  const timespec times[2] = {{time, 0}, {time, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0)
      << "cannot stamp " << path << ": " << std::strerror(errno);
}

std::time_t ModificationTime(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return -1;
  return info.st_mtime;
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  zone_.emplace("TZ", zone);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  zone_.reset();
  tzset();
}

std::string RowText(const FileListRow& row) {
  return std::string(row.ticked ? "x" : "-") + "|" + row.name + "|" + row.date + "|" + row.size +
         "|" + row.folder;
}

std::vector<std::string> RowTexts(const std::vector<FileListRow>& rows) {
  std::vector<std::string> texts;
  for (const FileListRow& row : rows) texts.push_back(RowText(row));
  return texts;
}

}  // namespace vk::test
