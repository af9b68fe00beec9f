// The program's version and build date as the about dialog shows them. The version is the
// build's version number (set in CMake); the build date is fixed when this unit is compiled.
#pragma once

#include <string>
#include <string_view>

namespace vk {

// The version record of the program: the build's version number ("1.0.0.1"), empty when the
// build gave none.
std::string FileVersionText();

// The version line: "Version " + major "." minor " [" major "." minor "." release "."
// ZeroPad4(build) "]" for a version "major.minor.release.build" (missing parts count as 0);
// "Version " alone for an empty version. "2.5.0.7" gives "Version 2.5 [2.5.0.0007]".
std::string VersionLineText(std::string_view fileVersion);

// "dd.mm.yyyy hh:mm:ss" from the compiler's __DATE__ ("Mmm dd yyyy", the day blank-padded) and
// __TIME__ ("hh:mm:ss"); empty when `date` is not of that form.
std::string CompileDateText(std::string_view date, std::string_view time);

// The build date of the program.
class TCompileInfo {
 public:
  // "03.01.2011 10:45:44"
  static std::string CompileDate();
};

}  // namespace vk
