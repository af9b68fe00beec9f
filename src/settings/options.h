// The three choices kept in section "Options" of the settings file: backup, META tags, the
// chosen operation. Read at start-up, written when the main window closes.
#pragma once

#include "settings/ini_file.h"
#include "settings/settings_store.h"

namespace vk {

struct Options {
  bool createBak = false;       // "CreateBak"
  bool ignoreMetaTags = false;  // "IgnoreMetaTags"
  int operationIndex = 0;       // "OptCB.ItemIndex", 0..6
};

// Reads the section; a missing file, section or key, a store that cannot be opened and a value
// that is not a whole number give the defaults; an index outside 0..6 (-1, "no selection",
// included) gives 0. No message.
Options ReadOptions(TTheIniFile& ini, const SettingsStore& store);
// "Velkaro.ini" where `ini` is set up to look for it.
Options ReadOptions(TTheIniFile& ini);

// Writes the three keys in the order CreateBak, IgnoreMetaTags, OptCB.ItemIndex (so a new
// section holds them in that order). A store that cannot be opened writes nothing; a write the
// file system refuses throws IniWriteError.
void WriteOptions(TTheIniFile& ini, const SettingsStore& store, const Options& options);
void WriteOptions(TTheIniFile& ini, const Options& options);

}  // namespace vk
