#include "settings/settings_store.h"

namespace vk {

void SettingsStore::ApplyTo(TTheIniFile& ini) const {
  ini.SetIniLocation(location);
  if (!defFilePath.empty()) ini.SetDefFilePath(defFilePath);
  ini.SetIniFileName(fileName);
}

SettingsStore UserSettingsStore() {
  return SettingsStore{TIniLocation::loDefUser, "Velkaro.ini", SettingsFolder()};
}

SettingsStore SettingsStoreForFile(const std::string& path) {
  return SettingsStore{TIniLocation::loUser, path, std::string()};
}

SettingsStore DefaultNameIn(const TTheIniFile& ini) {
  return SettingsStore{ini.IniLocation(), "Velkaro.ini", ini.DefFilePath()};
}

}  // namespace vk
