// The folder scan with a chosen locale for the date texts and the order of the folders; the
// functions of folder_scan.h are these with the user's locale (QLocale::system()).
#pragma once

#include <QLocale>
#include <string>
#include <vector>

#include "engine/feedback.h"
#include "selection/folder_scan.h"

namespace vk {

// ListFolder with date texts in `locale`.
void ListFolder(const std::string& folder, bool ticked, std::vector<FileListRow>& rows,
                const QLocale& locale);

// CollectFolders, sorted in the collation of `locale`.
void CollectFolders(const std::string& start, std::vector<std::string>& folders, Feedback& feedback,
                    const QLocale& locale);

// ScanFolder with `locale` for both.
void ScanFolder(const std::string& folder, bool ticked, bool includeSubfolders,
                std::vector<FileListRow>& rows, Feedback& feedback, const QLocale& locale);

// Sorts every entry but the first ascending by its whole text, ignoring case, in the collation
// of `locale`; entries that collate alike keep the order of their bytes. The first entry stays
// where it is. Entries are UTF-8 (bytes that are not are compared as replacement characters).
void SortFolderList(std::vector<std::string>& folders, const QLocale& locale);

}  // namespace vk
