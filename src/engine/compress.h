// HTML compression: collapses blanks, line breaks and tabs and removes the blank between two
// tags of block elements, while <pre> and <script> blocks stay byte for byte. A line break or
// tab run between words becomes a blank and the blank beside an inline element's tag stays,
// so the words a reader sees stay apart (the edges of a script block aside).
#pragma once

#include <string>
#include <string_view>

#include "engine/feedback.h"
#include "engine/file_access.h"

namespace vk {

// Applies the block rules to `text` in place and returns Changed (something was compressed;
// trimming at the end alone does not count). Yields once in each line-break pass and in the
// tab pass of a block that holds that kind of byte, and at every 50th position of the
// tag-gap scan. On exhausted memory shows "Exception während der Komprimierung des HTML
// Blocks!", leaves `text` as it was and returns false.
bool CompressHtmlBlock(std::string& text, Feedback& feedback);

// Compresses the stretches of `piece` around its pre blocks into `result`; the pre blocks
// (from "<pre" to the first "</pre>" behind it) stay as they are. Returns false after showing
// "In " + fileName + " fehlt das Ende des Pre-Bereichs! Bearbeitung abgebrochen!" when a
// "<pre" has no "</pre>" behind it (one ahead of it does not count); `result` is set only on
// true.
bool CompressPreBlocks(std::string_view piece, std::string& result, const std::string& fileName,
                       Feedback& feedback);

// Cuts `fileText` at its script blocks and appends the compressed pieces to `output`;
// raises `writeNeeded` where a piece changed. Returns false after a missing end tag was
// reported ("In " + fileName + " fehlt das Ende des Scripts! Bearbeitung abgebrochen!" or the
// pre message); `output` and `writeNeeded` are then left as they were. Tag names are taken as
// they stand (lowering them is the file's step, see CompressHtmlText).
bool CompressScriptBlocks(std::string_view fileText, std::string& output, bool& writeNeeded,
                          const std::string& fileName, Feedback& feedback);

enum class CompressOutcome {
  kUnchanged,  // nothing to compress: the file stays untouched
  kChanged,    // `output` holds the new content
  kAborted,    // a block lacks its end; the message was shown; the file stays untouched
};

// The whole compression of one file text (no NUL bytes), without file access and without the
// yield after reading. When the text holds "<script" or "<pre", the tag names "<script",
// "</script", "<pre" and "</pre" are lowered and the text is cut at its protected blocks;
// otherwise it is one block. `output` is set only for kChanged. When the page's buffers
// cannot be allocated, shows "Exception während der Komprimierung des HTML Blocks!" and
// returns kUnchanged. Linear in the length of the text.
CompressOutcome CompressHtmlText(std::string_view fileText, std::string& output,
                                 const std::string& fileName, Feedback& feedback);

// Compresses the file in place. Shows its own messages and returns normally:
// "Konnte " + fileName + " nicht öffnen, schreiben oder Fehler in Datei!" when the file
// cannot be read or written; "Die Datei " + fileName + " enthält Null-Bytes und wird nicht
// verändert!" for a file with a NUL byte (left as it is). An empty file is left alone
// silently. Yields once after reading. Reads and writes only through `files`.
void CompressHtmlFile(const std::string& fileName, Feedback& feedback, FileAccess& files);

// "Die Datei " + fileName + " enthält Null-Bytes und wird nicht verändert!": the message of
// the compression and the replacement for a page with a NUL byte.
std::string NulBytesMessage(const std::string& fileName);

}  // namespace vk
