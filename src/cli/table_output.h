// The results list as text: the six column captions, the file rows and the sums rows, each
// column as wide as its widest cell; names left-aligned, numbers right-aligned.
#pragma once

#include <string>
#include <vector>

#include "cli/results_collector.h"

namespace vk::cli {

// Widths count characters, not bytes, so "Größe" lines up. A name that is not UTF-8 prints as
// its Windows-1252 characters; control characters in names print escaped ("\n", "\x1b"), a
// backslash doubled.
std::string RenderTable(const ResultsCollector& results);

// A name or path as a table prints it: UTF-8 when its bytes are, else its Windows-1252
// characters (as the window shows it), and no control character raw, so a name cannot move the
// cursor, colour the terminal or break the line. A backslash is doubled, so every escape reads
// back.
std::string ShownName(const std::string& name);

// Lines of cells as text: each column as wide as its widest cell (in characters), two blanks
// between columns, right-aligned where `rightAligned` says, no blanks at the end of a line.
std::string AlignColumns(const std::vector<std::vector<std::string>>& lines,
                         const std::vector<bool>& rightAligned);

}  // namespace vk::cli
