// Where the settings file lives: the user's application-data folder, the folder "Velkaro" in
// it, and the program's own folder (the fallback when the user has no such folder).
#pragma once

#include <string>

namespace vk {

// The folder of the running program file, ending with a separator.
std::string ProgramFolder();

// The user's per-user application-data folder: $XDG_CONFIG_HOME when it is an absolute path,
// else $HOME/.config when $HOME is absolute, else ProgramFolder(). May or may not end with a
// separator.
std::string UserDataFolder();

// UserDataFolder, a separator unless it ends with one, and "Velkaro/" (always ending with a
// separator). Does not create it.
std::string SettingsFolder();

// Creates SettingsFolder with every missing parent. A failure is ignored: the store's open
// then fails and the program runs on defaults. Returns SettingsFolder().
std::string EnsureSettingsFolder();

}  // namespace vk
