#include "cli/diff_output.h"

#include "diff/page_diff.h"
#include "diff/unified_diff.h"

namespace vk::cli {

void DiffPrinter::NameRows(const std::string& base, const std::vector<FileListRow>& rows,
                           std::size_t from) {
  const std::size_t cut = base.size() + (base.empty() || base.back() != '/' ? 1 : 0);
  for (std::size_t i = from; i < rows.size(); ++i) {
    std::string path = FullPath(rows[i].folder, rows[i].name);
    std::string name = path.size() > cut && path.compare(0, base.size(), base) == 0
                           ? path.substr(cut)
                           : rows[i].name;
    names_.emplace(std::move(path), std::move(name));
  }
}

void DiffPrinter::PageChanged(const std::string& path, std::string_view oldBytes,
                              std::string_view newBytes, PageEncoding) {
  const auto found = names_.find(path);
  text_.clear();
  // Lines only: patch needs no character ranges, and the line diff of a page that compression
  // turned into one line stays linear.
  AppendUnifiedDiff(DiffPages(oldBytes, newBytes, {.characters = false}), oldBytes, newBytes,
                    found != names_.end() ? std::string_view(found->second) : path, text_);
  // Flushed page by page, so a pager or patch at the other end of a pipe sees the run go on.
  out_ << text_ << std::flush;
}

}  // namespace vk::cli
