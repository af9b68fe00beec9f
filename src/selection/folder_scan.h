// Which files a folder contributes to the file list, and the walk over its subfolders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/feedback.h"

namespace vk {

// One row of the file list. Texts are UTF-8 as shown; `folder` has no trailing separator
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

// Appends a row for every HTML file directly in `folder` (in directory enumeration order;
// folders are never rows, hidden files are). A link counts as what it leads to; a link that
// leads nowhere, a pipe or a device is not listed. A folder that does not exist or cannot be
// read adds nothing.
void ListFolder(const std::string& folder, bool ticked, std::vector<FileListRow>& rows);

// Replaces `folders` by `start` (which ends with a separator) and every folder below it that
// may be entered: no name beginning with "." (hidden on Linux), never a folder already visited
// through a link. Breadth-first; at the end sorted by the whole path, ignoring case, in the
// user's locale collation; the start stays first. Calls feedback.Yield() before each folder
// is read and for each of its entries (files included, so a folder of many files stays
// responsive), and feedback.Status("Lese Ordnerstruktur: " + path)
// for each folder found. A folder that cannot be read stays listed but adds nothing below it.
void CollectFolders(const std::string& start, std::vector<std::string>& folders,
                    Feedback& feedback);

// What AddFolderFiles lists: the folder alone, or with `includeSubfolders` every folder that
// CollectFolders gathers, in its order. An empty folder text adds nothing.
void ScanFolder(const std::string& folder, bool ticked, bool includeSubfolders,
                std::vector<FileListRow>& rows, Feedback& feedback);

// A row for one file given by its path (command line, dropped files); a relative path is
// taken from the current folder. A missing file gets an empty date and "0 Byte".
FileListRow MakeSingleFileRow(const std::string& path, bool ticked);

// Last-modification time in local time, packed in the MS-DOS date-time format; 0 when the
// path matches nothing or the time cannot be packed.
std::uint32_t FileDateOf(const std::string& path);

// The date text of a file in the user's locale: short date (four-digit year), and unless
// exactly midnight a blank and the long time, seconds rounded down to even; also for times the
// MS-DOS format cannot hold. Empty when the path matches nothing.
std::string FileDateText(const std::string& path);

}  // namespace vk
