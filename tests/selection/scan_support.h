// Helpers of the folder scan tests: folders, links and time stamps made in one call, a time
// zone for the length of a test, and rows written as one line for readable comparisons.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "selection/folder_scan.h"
#include "support/test_support.h"

namespace vk::test {

// Creates `path` and any missing parents; fails the test on error.
void MakeFolder(const std::string& path);
// A symbolic link at `path` that reads `target`; fails the test on error.
void MakeLink(const std::string& target, const std::string& path);
// The broken-down form of a calendar time (no day of the week, no daylight saving flag).
std::tm CalendarTime(int year, int month, int day, int hour, int minute, int second);
// Seconds since the epoch of a UTC calendar time.
std::time_t UtcTime(int year, int month, int day, int hour, int minute, int second);
// Sets the last-modification time of `path` (not following a link); fails the test on error.
void SetModificationTime(const std::string& path, std::time_t time);
// The modification time `path` reports, or -1.
std::time_t ModificationTime(const std::string& path);

// Sets TZ (POSIX form, e.g. "UTC0" or "CET-1CEST,M3.5.0,M10.5.0/3") until destroyed.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<ScopedEnv> zone_;
};

// "x|name|date|size|folder" ("x" ticked, "-" not), one per row.
std::string RowText(const FileListRow& row);
std::vector<std::string> RowTexts(const std::vector<FileListRow>& rows);

}  // namespace vk::test
