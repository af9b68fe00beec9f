// Which files a folder, and on request every folder below it, contributes to the file list.
// Dates and the order of folders follow the user's locale unless one is given.
#pragma once

#include <QLocale>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/feedback.h"

namespace vk {

// One row of the file list. `name` and `folder` are the bytes of the file system (file_names.h
// says how they are shown), date and size UTF-8 text; `folder` has no trailing separator
// (except for the root folder "/").
struct FileListRow {
  bool ticked = false;
  std::string name;    // "Dateiname"
  std::string date;    // "Datum"
  std::string size;    // "Größe", as size text
  std::string folder;  // "Ort"
};

// "Ort", a separator unless "Ort" ends with one, and "Dateiname".
std::string FullPath(const std::string& folder, const std::string& name);

// True when the part of `name` after its last period begins with "htm" in any case.
bool IsHtmlFileName(std::string_view name);

// Appends a row for every HTML file directly in `folder`, sorted by name as CollationOrder
// sorts (folders are never rows, hidden files are). A link counts as what it leads to; a link that
// leads nowhere, a pipe or a device is not listed. A folder that does not exist or cannot be
// read adds nothing.
void ListFolder(const std::string& folder, bool ticked, std::vector<FileListRow>& rows);
// The same with date texts in `locale`.
void ListFolder(const std::string& folder, bool ticked, std::vector<FileListRow>& rows,
                const QLocale& locale);

// What AddFolderFiles lists: the folder alone, or with `includeSubfolders` every folder that
// CollectFolders gathers, in its order. An empty folder text adds nothing.
void ScanFolder(const std::string& folder, bool ticked, bool includeSubfolders,
                std::vector<FileListRow>& rows, Feedback& feedback);
// The same with `locale` for the date texts and the order of the folders.
void ScanFolder(const std::string& folder, bool ticked, bool includeSubfolders,
                std::vector<FileListRow>& rows, Feedback& feedback, const QLocale& locale);

// A row for one file given by its path (command line, dropped files); a relative path is
// taken from the current folder. A missing file gets an empty date and "0 Byte".
FileListRow MakeSingleFileRow(const std::string& path, bool ticked);

}  // namespace vk
