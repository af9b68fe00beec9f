#include "settings/settings_store.h"

namespace vk {

void SettingsStore::ApplyTo(TTheIniFile& ini) const {
  ini.SetIniLocation(location);
  if (!defFilePath.empty()) ini.SetDefFilePath(defFilePath);
  ini.SetIniFileName(fileName);
  ini.SetDraft(draft);
}

std::string SettingsFilePath(const SettingsStore& store) {
  TTheIniFile ini;
  store.ApplyTo(ini);
  return ini.FilePath();
}

SettingsStore UserSettingsStore() {
  return SettingsStore{TIniLocation::loDefUser, "Velkaro.ini", SettingsFolder(), nullptr};
}

SettingsStore SettingsStoreForFile(const std::string& path) {
  return SettingsStore{TIniLocation::loUser, path, std::string(), nullptr};
}

SettingsStore DefaultNameIn(const TTheIniFile& ini) {
  return SettingsStore{ini.IniLocation(), "Velkaro.ini", ini.DefFilePath(), nullptr};
}

}  // namespace vk
