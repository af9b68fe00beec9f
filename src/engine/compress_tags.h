// Where a page's <script> and <pre> tags stand, found in one walk over the page, and which tags
// belong to inline elements. The cutting of a page at its protected blocks and the lowering of
// the tag names work from the lists, so no search has to run over the page again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vk::compress_detail {

struct PageTags {
  // Start of every "<script", "</script", "<pre" and "</pre" (any letter case) and its length.
  struct Name {
    std::size_t pos;
    std::size_t length;
  };
  std::vector<Name> names;
  std::vector<std::size_t> scriptStarts;  // "<script"
  std::vector<std::size_t> scriptEnds;    // "</script>", exactly these nine bytes
  std::vector<std::size_t> preStarts;     // "<pre", also the start of "<PREVIEW" and the like
  std::vector<std::size_t> preEnds;       // "</pre>"

  bool HasOpeningTag() const { return !scriptStarts.empty() || !preStarts.empty(); }
};

// All positions are 0-based and ascending. A tag can only start at a '<', and none of the
// four names contains another '<', so each '<' starts at most one of them.
PageTags FindPageTags(std::string_view text);

// Walks one ascending position list forward: each call asks for the first position at or
// after `from`, and `from` never decreases between calls.
class PositionCursor {
 public:
  static constexpr std::size_t npos = std::string_view::npos;
  explicit PositionCursor(const std::vector<std::size_t>& positions) : positions_(positions) {}
  // The first position p with from <= p < to, or npos.
  std::size_t Next(std::size_t from, std::size_t to) {
    while (index_ < positions_.size() && positions_[index_] < from) ++index_;
    if (index_ < positions_.size() && positions_[index_] < to) return positions_[index_];
    return npos;
  }

 private:
  const std::vector<std::size_t>& positions_;
  std::size_t index_ = 0;
};

// Whether the tag that begins at the '<' at text[at] is one of an inline element (a, b, span,
// img and the like; end tags too). Its name is the run of ASCII letters and digits behind the
// '<' and one optional '/', in any letter case; a run that the text cuts off counts as it is.
bool BeginsInlineElement(const unsigned char* text, std::size_t size, std::size_t at);

}  // namespace vk::compress_detail
