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

// Lines of cells as text: each column as wide as its widest cell (in characters), two blanks
// between columns, right-aligned where `rightAligned` says, no blanks at the end of a line.
std::string AlignColumns(const std::vector<std::vector<std::string>>& lines,
                         const std::vector<bool>& rightAligned);

}  // namespace vk::cli
