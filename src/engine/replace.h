// HTML code replacement: the user's find/replace pairs applied to one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/encoding.h"
#include "engine/feedback.h"
#include "engine/file_access.h"
#include "engine/html_code_list.h"

namespace vk {

// Applies the pairs in list order to `text`, a page in `encoding`, in place and returns the
// number of replacements. Each pair replaces occurrences (found ignoring case, see
// FoldedFinder) from left to right as long as the first occurrence in the whole text starts at
// or behind the end of what the pair inserted last (positions in bytes). On a UTF-8 page the
// find and replace texts, stored in Windows-1252, are turned into UTF-8 first, and the page is
// read again from its start for every search, so characters that a deletion joins count as
// one. Yields before pairs 0, 5, 10, ... A find entry ends at its first NUL byte (an empty one
// never matches), and no search looks behind the text's first NUL byte. One pass over the text
// for every five pairs.
std::int64_t ReplaceHtmlCodeText(std::string& text, const HtmlCodeList& list, PageEncoding encoding,
                                 Feedback& feedback);

namespace replace_detail {
// ReplaceHtmlCodeText with the text handed through the pairs in pieces of `pieceBytes`, so
// tests can reach every seam between pieces with tiny ones.
std::int64_t ReplaceHtmlCodeTextInPieces(std::string& text, const HtmlCodeList& list,
                                         PageEncoding encoding, Feedback& feedback,
                                         std::size_t pieceBytes);
}  // namespace replace_detail

// Loads the list through `load`, applies it to the file and writes the file when at least one
// replacement was made. The page is read in `encoding`, or, without one, in the encoding its
// bytes decide. Returns the count. Shows
// "Konnte " + fileName + " nicht öffnen, schreiben oder Fehler in Datei!" when the file cannot
// be read (count 0) or written (count of the replacements made in memory), and
// "Die Datei " + fileName + " enthält Null-Bytes und wird nicht verändert!" for a file with a
// NUL byte (count 0). An exception thrown by `load` passes through.
std::int64_t ReplaceHtmlCode(const std::string& fileName, const HtmlCodeListLoader& load,
                             Feedback& feedback, FileAccess& files,
                             std::optional<PageEncoding> encoding = std::nullopt);

}  // namespace vk
