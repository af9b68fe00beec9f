#include "selection/folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocale>

#include "engine/my_tools.h"
#include "fs/file_info.h"
#include "selection/file_date.h"
#include "selection/file_names.h"
#include "selection/folder_walk.h"

namespace vk {
namespace {

// "Ort" of a folder path: no trailing separator, but the root stays "/".
std::string WithoutTrailingSeparator(const std::string& folder) {
  std::size_t end = folder.size();
  while (end > 1 && folder[end - 1] == '/') --end;
  return folder.substr(0, end);
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string FullPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + '/' + name;
}

bool IsHtmlFileName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot + 1);
  return extension.size() >= 3 && AsciiLower(extension[0]) == 'h' &&
         AsciiLower(extension[1]) == 't' && AsciiLower(extension[2]) == 'm';
}

void ListFolder(const std::string& folder, bool ticked, std::vector<FileListRow>& rows,
                const QLocale& locale) {
  if (folder.empty()) return;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string ort = WithoutTrailingSeparator(folder);
  const DateTextFormat format(locale);
  const TMyTools& tools = MyTools();
  const std::size_t first = rows.size();
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type == DT_DIR || !IsHtmlFileName(entry->d_name)) continue;
    // One lookup gives what the row shows; a link counts as what it leads to. An entry that
    // vanished since the enumeration, or a link that leads nowhere, is no file to list. Only
    // regular files qualify: a pipe or device named like a page would block the run.
    struct stat info {};
    if (fstatat(dirfd(dir), entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
    rows.push_back(FileListRow{ticked, entry->d_name, DateTextOfTime(info.st_mtime, format),
                               tools.SizeText(static_cast<std::int64_t>(info.st_size)), ort});
  }
  closedir(dir);
  // The enumeration order of most Linux file systems is a hash order: each folder's files are
  // listed by name, as the folder list is.
  std::vector<std::string_view> names;
  names.reserve(rows.size() - first);
  for (std::size_t i = first; i < rows.size(); ++i) names.push_back(rows[i].name);
  const std::vector<std::size_t> order = CollationOrder(names, locale);
  std::vector<FileListRow> sorted;
  sorted.reserve(order.size());
  for (const std::size_t i : order) sorted.push_back(std::move(rows[first + i]));
  std::move(sorted.begin(), sorted.end(), rows.begin() + static_cast<std::ptrdiff_t>(first));
}

void ListFolder(const std::string& folder, bool ticked, std::vector<FileListRow>& rows) {
  ListFolder(folder, ticked, rows, QLocale::system());
}

void ScanFolder(const std::string& folder, bool ticked, bool includeSubfolders,
                std::vector<FileListRow>& rows, Feedback& feedback, const QLocale& locale) {
  // No folder chosen: no rows, and certainly no walk from the root.
  if (folder.empty()) return;
  if (!includeSubfolders) {
    ListFolder(folder, ticked, rows, locale);
    return;
  }
  std::vector<std::string> folders;
  CollectFolders(folder.back() == '/' ? folder : folder + '/', folders, feedback, locale);
  for (const std::string& each : folders) ListFolder(each, ticked, rows, locale);
}

void ScanFolder(const std::string& folder, bool ticked, bool includeSubfolders,
                std::vector<FileListRow>& rows, Feedback& feedback) {
  ScanFolder(folder, ticked, includeSubfolders, rows, feedback, QLocale::system());
}

FileListRow MakeSingleFileRow(const std::string& path, bool ticked) {
  // A relative path is taken from the current folder, so that "Ort" and "Dateiname" still
  // lead to the file when the current folder changes.
  std::string absolute = path;
  if (!absolute.empty() && absolute.front() != '/') {
    std::string_view relative = path;
    while (relative.starts_with("./")) relative.remove_prefix(2);
    char* current = getcwd(nullptr, 0);
    if (current != nullptr) {
      absolute = FullPath(current, std::string(relative));
      free(current);
    }
  }
  FileListRow row;
  row.ticked = ticked;
  const std::size_t slash = absolute.rfind('/');
  if (slash == std::string::npos) {
    row.name = absolute;
  } else {
    row.name = absolute.substr(slash + 1);
    row.folder = WithoutTrailingSeparator(absolute.substr(0, slash + 1));
  }
  row.date = FileDateText(absolute);
  row.size = MyTools().SizeText(FileSizeOf(absolute));
  return row;
}

}  // namespace vk
