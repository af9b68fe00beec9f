#include "ui/version_info.h"

#include <array>
#include <vector>

#include "engine/my_tools.h"

namespace vk {

std::string FileVersionText() {
#ifdef VELKARO_VERSION
  return VELKARO_VERSION;
#else
  return {};
#endif
}

std::string VersionLineText(std::string_view fileVersion) {
  std::string line = "Version ";
  if (fileVersion.empty()) return line;
  std::array<std::string, 4> parts;
  std::size_t part = 0;
  for (char c : fileVersion) {
    if (c == '.') {
      if (++part == parts.size()) break;  // anything after a fourth point is not looked at
    } else {
      parts[part].push_back(c);
    }
  }
  for (std::string& p : parts) {
    if (p.empty()) p = "0";
  }
  // ZeroPad4 works on the number; a build part that is not one is padded as text.
  std::string build = parts[3];
  if (build.find_first_not_of("0123456789") == std::string::npos && build.size() <= 18) {
    build = TMyTools::ZeroPad4(std::stoll(build));
  } else if (build.size() < 4) {
    build.insert(0, 4 - build.size(), '0');
  }
  line += parts[0] + "." + parts[1] + " [" + parts[0] + "." + parts[1] + "." + parts[2] + "." +
          build + "]";
  return line;
}

std::string CompileDateText(std::string_view date, std::string_view time) {
  static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  if (date.size() != 11 || time.size() != 8) return {};
  const std::size_t month = kMonths.find(date.substr(0, 3));
  if (month == std::string_view::npos || month % 3 != 0) return {};
  std::string day(date.substr(4, 2));
  if (day[0] == ' ') day[0] = '0';
  const int monthNumber = static_cast<int>(month / 3) + 1;
  std::string out = day + ".";
  out += monthNumber < 10 ? "0" + std::to_string(monthNumber) : std::to_string(monthNumber);
  out += ".";
  out += date.substr(7, 4);
  out += " ";
  out += time;
  return out;
}

std::string TCompileInfo::CompileDate() { return CompileDateText(__DATE__, __TIME__); }

}  // namespace vk
