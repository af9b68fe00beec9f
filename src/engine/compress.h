// HTML compression: collapses blanks, removes line breaks, tabs and the blank between tags,
// while <pre> and <script> blocks stay byte for byte.
#pragma once

#include <string>
#include <string_view>

#include "engine/feedback.h"
#include "engine/file_io.h"

namespace vk {

// Applies the block rules to `text` in place and returns Changed (something was compressed;
// trimming at the end alone does not count). Yields once in each line-break pass and in the
// tab pass of a block that holds that kind of byte, and at every 50th position of the
// tag-gap scan. On exhausted memory shows "Exception während der Komprimierung des HTML
// Blocks!", leaves `text` as it was and returns false.
bool CompressHtmlBlock(std::string& text, Feedback& feedback);

// Compresses the stretches of `piece` around its pre blocks into `result`. Returns false
// after showing "In " + fileName + " fehlt das Ende des Pre-Bereichs! Bearbeitung
// abgebrochen!" when a "<pre" has no "</pre>" behind it.
bool CompressPreBlocks(std::string_view piece, std::string& result, const std::string& fileName,
                       Feedback& feedback);

// Cuts `fileText` at its script blocks and appends the compressed pieces to `output`;
// raises `writeNeeded` where a piece changed. Returns false after a missing end tag was
// reported ("In " + fileName + " fehlt das Ende des Scripts! Bearbeitung abgebrochen!" or the
// pre message).
bool CompressScriptBlocks(std::string_view fileText, std::string& output, bool& writeNeeded,
                          const std::string& fileName, Feedback& feedback);

enum class CompressOutcome {
  kUnchanged,  // nothing to compress: the file stays untouched
  kChanged,    // `output` holds the new content
  kAborted,    // a block lacks its end; the message was shown; the file stays untouched
};

// The whole compression of one file text (no NUL bytes, not empty), without file access and
// without the yield after reading. `output` is set only for kChanged.
CompressOutcome CompressHtmlText(std::string_view fileText, std::string& output,
                                 const std::string& fileName, Feedback& feedback);

// Compresses the file in place. Shows its own messages and returns normally:
// "Konnte " + fileName + " nicht öffnen, schreiben oder Fehler in Datei!" when the file
// cannot be read or written; "Die Datei " + fileName + " enthält Null-Bytes und wird nicht
// verändert!" for a file with a NUL byte (left as it is).
void CompressHtmlFile(const std::string& fileName, Feedback& feedback,
                      FileAccess& files = DiskFileAccess());

}  // namespace vk
