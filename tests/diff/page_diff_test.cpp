#include "diff/page_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diff_support.h"
#include "engine/compress.h"
#include "engine/feedback.h"

namespace vk {
namespace {

using test::Bracketed;
using test::Unmarked;

TEST(TextLines, CutsAfterEachLfAndMarksAnUnterminatedLastLine) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;  // with their line breaks
    bool lastTerminated;
  };
  const Case cases[] = {
      {"", {}, true},
      {"\n", {"\n"}, true},
      {"a", {"a"}, false},
      {"a\n", {"a\n"}, true},
      {"a\r\nb", {"a\r\n", "b"}, false},
      {"a\n\nb\r\n", {"a\n", "\n", "b\r\n"}, true},
      {"a\rb\n", {"a\rb\n"}, true},  // a lone CR does not end a line
  };
  for (const Case& c : cases) {
    const TextLines lines(c.text);
    ASSERT_EQ(lines.Count(), c.lines.size()) << c.text;
    for (std::size_t i = 0; i < lines.Count(); ++i) {
      EXPECT_EQ(c.text.substr(lines.Begin(i), lines.End(i) - lines.Begin(i)), c.lines[i]);
      const bool last = i + 1 == lines.Count();
      EXPECT_EQ(lines.HasLineBreak(i), !last || c.lastTerminated);
      EXPECT_EQ(lines.ContentEnd(i), lines.End(i) - (lines.HasLineBreak(i) ? 1 : 0));
      for (std::size_t at = lines.Begin(i); at < lines.End(i); ++at) {
        EXPECT_EQ(lines.LineOf(at), i) << c.text << " at " << at;
      }
    }
  }
}

std::string RowKinds(const PageDiff& diff) {
  std::string kinds;
  for (const DiffRow& row : diff.rows) kinds += "=~-+"[static_cast<int>(row.kind)];
  return kinds;
}

TEST(DiffPages, RowsAndMarkedBytes) {
  struct Case {
    std::string oldText, newText;
    std::string kinds;  // one character per row: = same, ~ changed, - removed, + added
    std::string oldMarked, newMarked;
  };
  const Case cases[] = {
      {"", "", "", "", ""},
      {"a\nb\n", "a\nb\n", "==", "a\nb\n", "a\nb\n"},
      {"", "a\n", "+", "", "{a\n}"},
      {"a\n", "", "-", "[a\n]", ""},
      {"a\nb\nc\n", "a\nB\nc\n", "=~=", "a\n[b]\nc\n", "a\n{B}\nc\n"},
      {"a\nb\nc\n", "a\nc\n", "=-=", "a\n[b\n]c\n", "a\nc\n"},
      // The line break at the end is part of the last line: added, not a new line.
      {"a\nb", "a\nb\n", "=~", "a\nb", "a\nb{\n}"},
      {"a\nb\n", "a\nb", "=~", "a\nb[\n]", "a\nb"},
      {"a\r\nb\r\n", "a\nb\n", "~~", "a[\r]\nb[\r]\n", "a\nb\n"},
      // Lines joined into one, and one line cut into three.
      {"x\ny\nz\n", "x y z\n", "~--", "x[\n]y[\n]z\n", "x{ }y{ }z\n"},
      {"x y z\n", "x\ny\nz\n", "~++", "x[ ]y[ ]z\n", "x{\n}y{\n}z\n"},
      {"1\n2\n3\n4\n5\n", "1\nzwei\n3\n4\nf\xC3\xBCnf\n5\n", "=~==+=", "1\n[2]\n3\n4\n5\n",
       "1\n{zwei}\n3\n4\n{f\xC3\xBCnf\n}5\n"},
  };
  for (const Case& c : cases) {
    const PageDiff diff = DiffPages(c.oldText, c.newText);
    EXPECT_TRUE(diff.exact);
    EXPECT_EQ(RowKinds(diff), c.kinds) << c.oldText << " / " << c.newText;
    EXPECT_EQ(Bracketed(c.oldText, diff.removed), c.oldMarked) << c.oldText;
    EXPECT_EQ(Bracketed(c.newText, diff.added, '{', '}'), c.newMarked) << c.newText;
    // Every row names its lines in order, and the blocks cover exactly the rows not the same.
    std::size_t oldLine = 0, newLine = 0, changed = 0;
    for (const DiffRow& row : diff.rows) {
      if (row.oldLine != kNoLine) {
        EXPECT_EQ(row.oldLine, oldLine++);
      }
      if (row.newLine != kNoLine) {
        EXPECT_EQ(row.newLine, newLine++);
      }
      changed += row.kind != RowKind::kSame;
    }
    EXPECT_EQ(oldLine, diff.oldLines.Count());
    EXPECT_EQ(newLine, diff.newLines.Count());
    EXPECT_EQ(changed, diff.changedRows);
    std::size_t inBlocks = 0;
    for (const ChangeBlock& block : diff.blocks) {
      inBlocks += block.rowCount;
      for (std::size_t r = block.firstRow; r < block.firstRow + block.rowCount; ++r) {
        EXPECT_NE(diff.rows[r].kind, RowKind::kSame);
      }
    }
    EXPECT_EQ(inBlocks, diff.changedRows);
  }
}

TEST(DiffPages, BlocksAndCounts) {
  const PageDiff diff =
      DiffPages("1\n2\n3\n4\n5\n6\n", "1\nzwei\n3\n4\nf\xC3\xBCnf\nsechs\nsieben\n");
  EXPECT_EQ(diff.blocks, (std::vector<ChangeBlock>{
                             {.firstRow = 1,
                              .rowCount = 1,
                              .oldFirst = 1,
                              .oldCount = 1,
                              .newFirst = 1,
                              .newCount = 1},
                             {.firstRow = 4,
                              .rowCount = 3,
                              .oldFirst = 4,
                              .oldCount = 2,
                              .newFirst = 4,
                              .newCount = 3},
                         }));
  EXPECT_EQ(RowKinds(diff), "=~==~~+");
  EXPECT_EQ(diff.changedOldLines, 3u);
  EXPECT_EQ(diff.changedNewLines, 4u);
  EXPECT_EQ(diff.changedRows, 4u);

  const PageDiff joined = DiffPages("a\nb\nc\nd\n", "abcd");
  EXPECT_EQ(joined.changedOldLines, 4u);
  EXPECT_EQ(joined.changedNewLines, 1u);
  EXPECT_EQ(joined.changedRows, 4u);
  EXPECT_EQ(RowKinds(joined), "~---");
}

TEST(DiffPages, RangesInLineAreRelativeToTheLine) {
  const std::string oldText = "x y z\n", newText = "x\ny\nz\n";
  const PageDiff diff = DiffPages(oldText, newText);
  EXPECT_EQ(RangesInLine(diff.removed, diff.oldLines, 0), (std::vector<ByteRange>{{1, 2}, {3, 4}}));
  EXPECT_EQ(RangesInLine(diff.added, diff.newLines, 0), (std::vector<ByteRange>{{1, 2}}));
  EXPECT_EQ(RangesInLine(diff.added, diff.newLines, 1), (std::vector<ByteRange>{{1, 2}}));
  EXPECT_TRUE(RangesInLine(diff.added, diff.newLines, 2).empty());

  // A range over a line break is cut at the line's end.
  const PageDiff joined = DiffPages("ab\ncd\n", "X\n");
  EXPECT_EQ(Bracketed("ab\ncd\n", joined.removed), "[ab\ncd]\n");
  EXPECT_EQ(RangesInLine(joined.removed, joined.oldLines, 0), (std::vector<ByteRange>{{0, 3}}));
  EXPECT_EQ(RangesInLine(joined.removed, joined.oldLines, 1), (std::vector<ByteRange>{{0, 2}}));
}

// A page as an editor writes it: CR LF, tabs, blank runs, a pre block.
std::string SamplePage(int paragraphs) {
  test::Rng rng(17);
  const char* const words[] = {"und", "Verein", "Termine", "Kontakt", "<b>neu</b>", "im"};
  std::string page = "<html>\r\n<head>\r\n\t<title>Seite</title>\r\n</head>\r\n<body>\r\n";
  for (int p = 0; p < paragraphs; ++p) {
    page += "\t<p>\r\n\t\t";
    for (int w = 0, n = 5 + static_cast<int>(rng.Below(30)); w < n; ++w) {
      // Numbered words: where a text repeats itself, several alignments cost the same, and
      // a diff may mark a word moved past a blank instead of the blank.
      page += words[rng.Below(6)];
      page += std::to_string(p * 100 + w);
      page += rng.Below(9) == 0 ? "  " : rng.Below(12) == 0 ? "\r\n\t\t" : " ";
    }
    page += "\r\n\t</p>\r\n";
    if (p % 7 == 3) page += "<pre>\r\n  eins   zwei\r\n\tdrei\r\n</pre>\r\n";
  }
  return page + "</body>\r\n</html>\r\n";
}

TEST(DiffPages, ACompressedPageDiffersOnlyInBlanksAndLineBreaks) {
  for (int paragraphs : {3, 4000}) {
    const std::string page = SamplePage(paragraphs);
    std::string compressed;
    SilentFeedback feedback;
    ASSERT_EQ(CompressHtmlText(page, compressed, "seite.htm", feedback), CompressOutcome::kChanged);
    const PageDiff diff = DiffPages(page, compressed);
    EXPECT_TRUE(diff.exact);
    ASSERT_EQ(Unmarked(page, diff.removed), Unmarked(compressed, diff.added));
    const auto onlyBlanks = [](const std::string& text, const std::vector<ByteRange>& ranges) {
      for (const ByteRange& r : ranges) {
        for (std::size_t i = r.begin; i < r.end; ++i) {
          if (std::string_view(" \t\r\n").find(text[i]) == std::string_view::npos) return false;
        }
      }
      return true;
    };
    EXPECT_TRUE(onlyBlanks(page, diff.removed)) << paragraphs;
    EXPECT_TRUE(onlyBlanks(compressed, diff.added)) << paragraphs;
    // Nothing but blanks was marked, and at least what got shorter.
    EXPECT_GE(test::Covered(diff.removed), page.size() - compressed.size());
  }
}

TEST(DiffPages, ASpentBudgetKeepsTheDiffValid) {
  const std::string page = SamplePage(300);
  std::string compressed;
  SilentFeedback feedback;
  CompressHtmlText(page, compressed, "seite.htm", feedback);
  const PageDiff diff = DiffPages(page, compressed, {.characters = true, .budgetSteps = 3000});
  EXPECT_FALSE(diff.exact);
  EXPECT_EQ(Unmarked(page, diff.removed), Unmarked(compressed, diff.added));
  EXPECT_TRUE(test::WellFormed(diff.removed, page.size()));
  EXPECT_TRUE(test::WellFormed(diff.added, compressed.size()));

  const PageDiff linesOnly = DiffPages(page, compressed, {.characters = false});
  EXPECT_TRUE(linesOnly.removed.empty());
  EXPECT_EQ(linesOnly.blocks.size(), DiffPages(page, compressed).blocks.size());
}

}  // namespace
}  // namespace vk
