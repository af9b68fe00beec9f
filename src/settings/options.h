// The choices kept in section "Options" of the settings file: backup, META tags, the chosen
// operation (read at start-up, written when the main window closes), and how many run journals
// undo keeps (read only: set by the user in the file).
#pragma once

#include "journal/runs_folder.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"

namespace vk {

struct Options {
  bool createBak = false;       // "CreateBak"
  bool ignoreMetaTags = false;  // "IgnoreMetaTags"
  int operationIndex = 0;       // "OptCB.ItemIndex", 0..6
  int undoRuns = 20;            // "UndoKeepRuns": the journals of this many runs are kept
  int undoMegabytes = 1024;     // "UndoKeepMB": and at most this many MByte (2^20 bytes) in all
};

// The keeping limits of the undo journal the options give; 0 in either turns undo off.
KeepLimits UndoLimits(const Options& options);

// Reads the section; a missing file, section or key, a store that cannot be opened and a value
// that is not a whole number give the defaults; an index outside 0..6 (-1, "no selection",
// included) gives 0, a negative undo limit its default. No message.
Options ReadOptions(TTheIniFile& ini, const SettingsStore& store);
// "Velkaro.ini" where `ini` is set up to look for it.
Options ReadOptions(TTheIniFile& ini);

// Writes the three keys in the order CreateBak, IgnoreMetaTags, OptCB.ItemIndex (so a new
// section holds them in that order); the undo limits are the user's and stay as they are. A store
// that cannot be opened writes nothing; a write the file system refuses throws IniWriteError.
void WriteOptions(TTheIniFile& ini, const SettingsStore& store, const Options& options);
void WriteOptions(TTheIniFile& ini, const Options& options);

}  // namespace vk
