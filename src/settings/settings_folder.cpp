#include "settings/settings_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vk {
namespace {

bool EndsWithSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }

}  // namespace

std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::string path = program.string();
    const std::size_t cut = path.rfind('/');
    if (cut != std::string::npos) return path.substr(0, cut + 1);
  }
  std::string current = std::filesystem::current_path(ec).string();
  if (ec || current.empty()) return "/";
  return EndsWithSeparator(current) ? current : current + "/";
}

std::string UserDataFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    std::string folder = home;
    if (!EndsWithSeparator(folder)) folder += '/';
    return folder + ".config";
  }
  return ProgramFolder();
}

std::string SettingsFolder() {
  std::string folder = UserDataFolder();
  if (!EndsWithSeparator(folder)) folder += '/';
  return folder + "Velkaro/";
}

std::string EnsureSettingsFolder() {
  const std::string folder = SettingsFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

}  // namespace vk
