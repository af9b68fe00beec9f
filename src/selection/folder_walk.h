// The walk over a folder's subfolders with a chosen locale for the final order, and that order
// on its own. CollectFolders of folder_scan.h is these with the user's locale.
#pragma once

#include <QLocale>

#include <string>
#include <vector>

#include "engine/feedback.h"

namespace vk {

// CollectFolders, sorted in the collation of `locale`.
void CollectFolders(const std::string& start, std::vector<std::string>& folders,
                    Feedback& feedback, const QLocale& locale);

// Sorts every entry but the first ascending by its whole text, ignoring case, in the collation
// of `locale`; entries that collate alike keep the order of their bytes. The first entry stays
// where it is. Entries are UTF-8 (bytes that are not are compared as replacement characters).
void SortFolderList(std::vector<std::string>& folders, const QLocale& locale);

}  // namespace vk
