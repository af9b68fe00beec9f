// The walk over a folder's subfolders for the file list: every folder below a start that may be
// entered, each once, in the order the list shows them.
#pragma once

#include <QLocale>
#include <string>
#include <vector>

#include "engine/feedback.h"

namespace vk {

// Replaces `folders` by `start` (which ends with a separator) and every folder below it that
// may be entered: no name beginning with "." (hidden on Linux), never a folder already visited
// through a link, and no folder behind a link that belongs neither to the user nor to the
// folder's owner. Breadth-first; at the end sorted by the whole path, ignoring case, in the
// user's locale collation; the start stays first. Calls feedback.Yield() before each folder
// is read and for each of its entries (files included, so a folder of many files stays
// responsive), and feedback.Status("Lese Ordnerstruktur: " + path)
// for each folder found. A folder that cannot be read stays listed but adds nothing below it.
void CollectFolders(const std::string& start, std::vector<std::string>& folders,
                    Feedback& feedback);

// CollectFolders, sorted in the collation of `locale`.
void CollectFolders(const std::string& start, std::vector<std::string>& folders, Feedback& feedback,
                    const QLocale& locale);

// Sorts every entry but the first ascending by its whole text, ignoring case, in the collation
// of `locale`; entries that collate alike keep the order of their bytes. The first entry stays
// where it is. Entries are compared by what they show (file_names.h).
void SortFolderList(std::vector<std::string>& folders, const QLocale& locale);

}  // namespace vk
