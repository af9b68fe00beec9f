#include "cli/table_output.h"

#include <array>
#include <vector>

namespace vk::cli {
namespace {

constexpr std::size_t kColumns = 6;
using Line = std::array<std::string, kColumns>;

std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80 || byte >= 0xC0) ++width;  // every byte but a UTF-8 continuation
  }
  return width;
}

Line CellsOf(const ResultRow& row) {
  return {row.name, row.sizeBefore, row.sizeAfter, row.saving, row.specialChars, row.htmlCode};
}

}  // namespace

std::string RenderTable(const ResultsCollector& results) {
  std::vector<Line> lines;
  lines.push_back(
      {"Dateiname", "Größe", "Neue Größe", "Einsparung %", "Sonderzeichen", "HTML-Code"});
  for (const ResultRow& row : results.Rows()) lines.push_back(CellsOf(row));
  if (results.Sums()) {
    lines.push_back(CellsOf(results.Sums()->first));
    lines.push_back(CellsOf(results.Sums()->second));
  }
  std::array<std::size_t, kColumns> widths{};
  for (const Line& line : lines) {
    for (std::size_t c = 0; c < kColumns; ++c) {
      widths[c] = std::max(widths[c], DisplayWidth(line[c]));
    }
  }
  std::string text;
  for (const Line& line : lines) {
    std::string out;
    for (std::size_t c = 0; c < kColumns; ++c) {
      const std::string padding(widths[c] - DisplayWidth(line[c]), ' ');
      if (c == 0) {
        out += line[c] + padding;
      } else {
        out += "  " + padding + line[c];
      }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    text += out + '\n';
  }
  return text;
}

}  // namespace vk::cli
