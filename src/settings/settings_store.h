// Which settings file a use of the store addresses. The window always uses "Velkaro.ini" in
// SettingsFolder; velkaro-batch may name a file of its own. The list and options functions
// re-apply this before each use, as they re-assign the file name to the store.
#pragma once

#include <memory>
#include <string>

#include "settings/ini_file.h"

namespace vk {

struct SettingsStore {
  TIniLocation location = TIniLocation::loDefUser;
  std::string fileName = "Velkaro.ini";  // with loUser the full path
  std::string defFilePath;               // the folder for loDefUser; not applied when empty
  // A dry run's settings file in memory (see SettingsDraft); none for the file itself.
  std::shared_ptr<SettingsDraft> draft;

  // Sets IniLocation, DefFilePath (when not empty), the draft and IniFileName, which closes
  // the store.
  void ApplyTo(TTheIniFile& ini) const;
};

// The full path of the settings file `store` addresses, as TTheIniFile forms it.
std::string SettingsFilePath(const SettingsStore& store);

// "Velkaro.ini" in SettingsFolder().
SettingsStore UserSettingsStore();

// The settings file at `path`, taken as it is (loUser).
SettingsStore SettingsStoreForFile(const std::string& path);

// "Velkaro.ini" where `ini` is set up to look for it (its IniLocation and DefFilePath).
SettingsStore DefaultNameIn(const TTheIniFile& ini);

}  // namespace vk
