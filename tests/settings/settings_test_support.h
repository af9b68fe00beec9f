// A helper of the settings tests: a store opened on one file.
#pragma once

#include <string>

#include "settings/ini_file.h"

namespace vk::test {

// Points `ini` at the file `path` (loUser), selects `section` and opens it.
inline void OpenAt(TTheIniFile& ini, const std::string& path, const std::string& section) {
  ini.SetIniLocation(TIniLocation::loUser);
  ini.SetIniFileName(path);
  ini.SetSection(section);
  ini.SetOpen(true);
}

}  // namespace vk::test
