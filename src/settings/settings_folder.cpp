#include "settings/settings_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace vk {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<std::size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}
#else
constexpr char kSeparator = '/';
#endif

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '/' || path.back() == kSeparator);
}

}  // namespace

std::string ProgramFolder() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::string path = (n > 0 && n < MAX_PATH) ? Utf8(buffer) : std::string();
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".\\") : path.substr(0, cut + 1);
#else
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n > 0) {
    const std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t cut = path.rfind('/');
    if (cut != std::string::npos) return path.substr(0, cut + 1);
  }
  std::error_code ec;
  std::string current = std::filesystem::current_path(ec).string();
  if (ec || current.empty()) return "/";
  return EndsWithSeparator(current) ? current : current + "/";
#endif
}

std::string UserDataFolder() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH];
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)) &&
      buffer[0] != L'\0') {
    return Utf8(buffer);
  }
  std::string result = ProgramFolder();
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER,
                    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, &key) == ERROR_SUCCESS) {
    wchar_t value[1024 / sizeof(wchar_t) + 1] = {};
    DWORD size = 1024;
    DWORD type = 0;
    if (RegQueryValueExW(key, L"AppData", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      result = Utf8(value);
    }
    RegCloseKey(key);
  }
  return result;
#else
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    std::string folder = home;
    if (!EndsWithSeparator(folder)) folder += '/';
    return folder + ".config";
  }
  return ProgramFolder();
#endif
}

std::string SettingsFolder() {
  std::string folder = UserDataFolder();
  if (!EndsWithSeparator(folder)) folder += kSeparator;
  folder += "Velkaro";
  folder += kSeparator;
  return folder;
}

std::string EnsureSettingsFolder() {
  const std::string folder = SettingsFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

}  // namespace vk
