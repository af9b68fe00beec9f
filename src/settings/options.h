// The three choices kept in section "Options": backup, META tags, the chosen operation.
#pragma once

#include "settings/ini_file.h"

namespace vk {

struct Options {
  bool createBak = false;       // "CreateBak"
  bool ignoreMetaTags = false;  // "IgnoreMetaTags"
  int operationIndex = 0;       // "OptCB.ItemIndex", 0..6
};

// Reads the section; missing or unreadable values give the defaults, an index outside 0..6
// gives 0.
Options ReadOptions(TTheIniFile& ini);

// Writes the three keys in the order CreateBak, IgnoreMetaTags, OptCB.ItemIndex. May throw
// IniWriteError.
void WriteOptions(TTheIniFile& ini, const Options& options);

}  // namespace vk
