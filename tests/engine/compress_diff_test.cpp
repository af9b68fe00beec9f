// The engine's linear compression against the literal reference version, on thousands of
// generated texts from small alphabets that make the rules meet each other often.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/compress.h"
#include "engine/compress_examples.h"
#include "engine/compress_reference.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::Bytes;
using test::FailingYield;
using test::RecordingFeedback;
using test::Visible;

// Pieces a block is made of: the bytes the rules look at, blanks and line breaks in every
// neighbourhood, links, inline and other tags (end tags, upper case, comments, names that run
// on or are cut off), bytes from the upper half, control bytes that only the trimming knows,
// and longer plain stretches.
// clang-format off
const char* const kBlockPieces[] = {
    "<",  ">",  "a",    "A",    "=",   " ",      " ",          "  ",     "\t",   "\r",
    "\n", "\r\n", "\r\n", "x",  "<a",  "<A",     "> <",        "</a>",   "<b>",  "\xA0",
    "\xE4", "\xFF", "\x01", "\x0b", "Wort ", "abcdefghijklmnop", "> <a", "\t\t", " \r\n ",
    "<p>", "</td>", "<I>", "</Span>", "<br>", "<!-- c -->", "<!", "/", "!", "1", "<h1>", "<b",
    "<textarea>", "<textareas>", "-> ", "</", "<bx>", "<area>", "<SPAN", "<img src=x>",
};

// Opening and end tags of protected blocks, in mixed case and with near misses.
const char* const kTagPieces[] = {
    "<pre>",  "<PRE>",     "<Pre",      "</pre>",    "</PRE>",    "</pRe>",     "</pre",
    "<preview>", "<script>", "<SCRIPT>", "<Script ", "</script>", "</SCRIPT>", "</sCrIpT>",
    "</script >", "</script", "<pre>x</pre>", "<script>s</script>",
};
// clang-format on

// A fixed-seed generator; only the engine's own arithmetic on its numbers, so every platform
// draws the same texts.
class Texts {
 public:
  explicit Texts(std::uint32_t seed) : state_(seed) {}

  std::uint32_t Below(std::uint32_t n) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33) % n;
  }

  // Up to `maxPieces` pieces; with `tagsInOne` > 0 about one piece in that many is a tag.
  std::string Make(std::uint32_t maxPieces, std::uint32_t tagsInOne) {
    std::string text;
    const std::uint32_t pieces = Below(maxPieces + 1);
    for (std::uint32_t k = 0; k < pieces; ++k) {
      if (tagsInOne > 0 && Below(tagsInOne) == 0) {
        text += kTagPieces[Below(std::size(kTagPieces))];
      } else {
        text += kBlockPieces[Below(std::size(kBlockPieces))];
      }
    }
    return text;
  }

 private:
  std::uint64_t state_;
};

TEST(CompressReference, GivesTheBlockRuleTable) {
  for (const test::BlockExample& row : test::kBlockExamples) {
    std::string text = Bytes(row.block);
    RecordingFeedback feedback;
    EXPECT_EQ(reference::CompressHtmlBlock(text, feedback), row.changed) << row.block;
    EXPECT_EQ(Visible(text), Visible(Bytes(row.result))) << row.block;
    EXPECT_EQ(feedback.yields, row.yields) << row.block;
  }
  for (const test::PageExample& row : test::kPageExamples) {
    RecordingFeedback feedback;
    std::string output;
    const CompressOutcome outcome =
        reference::CompressHtmlText(Bytes(row.page), output, "f.htm", feedback);
    const std::string error = row.error;
    EXPECT_EQ(outcome, row.after != nullptr ? CompressOutcome::kChanged
                       : error.empty()      ? CompressOutcome::kUnchanged
                                            : CompressOutcome::kAborted)
        << row.page;
    if (row.after != nullptr) {
      EXPECT_EQ(Visible(output), Visible(Bytes(row.after))) << row.page;
    }
    EXPECT_EQ(feedback.errors.size(), error.empty() ? 0u : 1u) << row.page;
  }
}

TEST(CompressDifferential, BlockRules) {
  Texts texts(1);
  for (int n = 0; n < 6000; ++n) {
    // Mostly short blocks; every tenth one long enough for the gap scan to yield often.
    const std::string block = texts.Make(n % 10 == 0 ? 160 : 24, 0);
    std::string fast = block;
    std::string slow = block;
    RecordingFeedback fastFeedback;
    RecordingFeedback slowFeedback;
    const bool fastChanged = CompressHtmlBlock(fast, fastFeedback);
    const bool slowChanged = reference::CompressHtmlBlock(slow, slowFeedback);
    ASSERT_EQ(Visible(fast), Visible(slow)) << "block " << Visible(block);
    ASSERT_EQ(fastChanged, slowChanged) << "block " << Visible(block);
    ASSERT_EQ(fastFeedback.yields, slowFeedback.yields) << "block " << Visible(block);
    ASSERT_TRUE(fastFeedback.errors.empty());
  }
}

TEST(CompressDifferential, PagesWithPreAndScriptBlocks) {
  Texts texts(2);
  int changed = 0;
  int aborted = 0;
  for (int n = 0; n < 6000; ++n) {
    const std::string page = texts.Make(n % 10 == 0 ? 120 : 30, 1 + n % 6);
    RecordingFeedback fastFeedback;
    RecordingFeedback slowFeedback;
    std::string fast;
    std::string slow;
    const CompressOutcome fastOutcome = CompressHtmlText(page, fast, "d/f.htm", fastFeedback);
    const CompressOutcome slowOutcome =
        reference::CompressHtmlText(page, slow, "d/f.htm", slowFeedback);
    ASSERT_EQ(fastOutcome, slowOutcome) << "page " << Visible(page);
    ASSERT_EQ(Visible(fast), Visible(slow)) << "page " << Visible(page);
    ASSERT_EQ(fastFeedback.errors, slowFeedback.errors) << "page " << Visible(page);
    ASSERT_EQ(fastFeedback.yields, slowFeedback.yields) << "page " << Visible(page);
    changed += fastOutcome == CompressOutcome::kChanged;
    aborted += fastOutcome == CompressOutcome::kAborted;
  }
  // The alphabet reaches every outcome often, or the comparison would prove little.
  EXPECT_GT(changed, 1000);
  EXPECT_GT(aborted, 1000);
  EXPECT_GT(6000 - changed - aborted, 500);
}

TEST(CompressDifferential, PreAndScriptCuttingOnTheirOwn) {
  Texts texts(3);
  for (int n = 0; n < 3000; ++n) {
    const std::string piece = texts.Make(30, 1 + n % 4);
    {
      RecordingFeedback fastFeedback;
      RecordingFeedback slowFeedback;
      std::string fast;
      std::string slow;
      const bool fastOk = CompressPreBlocks(piece, fast, "f.htm", fastFeedback);
      const bool slowOk = reference::CompressPreBlocks(piece, slow, "f.htm", slowFeedback);
      ASSERT_EQ(fastOk, slowOk) << "pre " << Visible(piece);
      if (fastOk) {
        ASSERT_EQ(Visible(fast), Visible(slow)) << "pre " << Visible(piece);
      }
      ASSERT_EQ(fastFeedback.errors, slowFeedback.errors) << "pre " << Visible(piece);
      ASSERT_EQ(fastFeedback.yields, slowFeedback.yields) << "pre " << Visible(piece);
    }
    {
      RecordingFeedback fastFeedback;
      RecordingFeedback slowFeedback;
      std::string fast = "ahead|";
      std::string slow = "ahead|";
      bool fastWrite = false;
      bool slowWrite = false;
      const bool fastOk = CompressScriptBlocks(piece, fast, fastWrite, "f.htm", fastFeedback);
      const bool slowOk =
          reference::CompressScriptBlocks(piece, slow, slowWrite, "f.htm", slowFeedback);
      ASSERT_EQ(fastOk, slowOk) << "script " << Visible(piece);
      if (fastOk) {
        ASSERT_EQ(Visible(fast), Visible(slow)) << "script " << Visible(piece);
        ASSERT_EQ(fastWrite, slowWrite) << "script " << Visible(piece);
      } else {
        ASSERT_EQ(fast, "ahead|");
        ASSERT_FALSE(fastWrite);
      }
      ASSERT_EQ(fastFeedback.errors, slowFeedback.errors) << "script " << Visible(piece);
      ASSERT_EQ(fastFeedback.yields, slowFeedback.yields) << "script " << Visible(piece);
    }
  }
}

TEST(CompressDifferential, OutOfMemoryAtAnyYield) {
  Texts texts(4);
  int failures = 0;
  for (int n = 0; n < 2000; ++n) {
    const std::string page = texts.Make(40, n % 2 == 0 ? 0 : 3);
    RecordingFeedback count;
    std::string ignored;
    reference::CompressHtmlText(page, ignored, "f.htm", count);
    if (count.yields == 0) continue;
    const int failAt = 1 + static_cast<int>(texts.Below(static_cast<std::uint32_t>(count.yields)));
    FailingYield fastFeedback(failAt);
    FailingYield slowFeedback(failAt);
    std::string fast;
    std::string slow;
    const CompressOutcome fastOutcome = CompressHtmlText(page, fast, "f.htm", fastFeedback);
    const CompressOutcome slowOutcome =
        reference::CompressHtmlText(page, slow, "f.htm", slowFeedback);
    ASSERT_EQ(fastOutcome, slowOutcome) << "page " << Visible(page) << " at " << failAt;
    ASSERT_EQ(Visible(fast), Visible(slow)) << "page " << Visible(page) << " at " << failAt;
    ASSERT_EQ(fastFeedback.errors, slowFeedback.errors) << "page " << Visible(page);
    ASSERT_EQ(fastFeedback.yields, slowFeedback.yields) << "page " << Visible(page);
    ++failures;
  }
  EXPECT_GT(failures, 1000);
}

// The current rules differ from the previous ones only where words would be glued: on every
// text where the previous rules meet no tab run between two bytes that are not blanks, no line
// break before an inline element's '<' and no blank between tags that the current rules keep,
// the engine gives the previous rules' bytes, outcome, messages and yields.
TEST(CompressDifferential, SameAsThePreviousRulesWhereNoWordsWouldBeGlued) {
  Texts texts(5);
  int same = 0;
  int spacing = 0;
  int differing = 0;
  for (int n = 0; n < 12000; ++n) {
    const std::string page = texts.Make(n % 10 == 0 ? 80 : 16, n % 3 == 0 ? 0 : 1 + n % 5);
    bool spacingCase = false;
    RecordingFeedback previousFeedback;
    std::string previous;
    const CompressOutcome previousOutcome = reference::CompressHtmlText(
        page, previous, "f.htm", previousFeedback, {reference::Rules::kPrevious, &spacingCase});
    RecordingFeedback fastFeedback;
    std::string fast;
    const CompressOutcome fastOutcome = CompressHtmlText(page, fast, "f.htm", fastFeedback);
    if (spacingCase) {
      ++spacing;
      differing += fastOutcome != previousOutcome || fast != previous;
      continue;
    }
    ++same;
    ASSERT_EQ(fastOutcome, previousOutcome) << "page " << Visible(page);
    ASSERT_EQ(Visible(fast), Visible(previous)) << "page " << Visible(page);
    ASSERT_EQ(fastFeedback.errors, previousFeedback.errors) << "page " << Visible(page);
    ASSERT_EQ(fastFeedback.yields, previousFeedback.yields) << "page " << Visible(page);
  }
  // Both kinds of text come often, and the three cases do change results.
  EXPECT_GT(same, 6000);
  EXPECT_GT(spacing, 1500);
  EXPECT_GT(differing, 1500);
}

// The three cases one at a time, each next to a neighbour that the previous rules already
// treated the same way.
TEST(CompressDifferential, ThePreviousRulesGlueWhatTheCurrentOnesKeepApart) {
  struct Row {
    const char* block;
    const char* previous;
    bool spacingCase;
  } rows[] = {
      {"a\tb", "ab", true},
      {"a \tb", "a b", false},
      {"\ta", "a", false},
      {"Text\r\n<b>x</b>", "Text<b>x</b>", true},
      {"Text\r\n<p>x</p>", "Text<p>x</p>", false},
      {"<b>x</b> <i>y</i>", "<b>x</b><i>y</i>", true},
      {"-> <p>", "-><p>", true},
      {"</td> <td>", "</td><td>", false},
      {"<b>x</b> <a>", "<b>x</b> <a>", false},
  };
  for (const Row& row : rows) {
    std::string text = row.block;
    bool spacingCase = false;
    RecordingFeedback feedback;
    reference::CompressHtmlBlock(text, feedback, {reference::Rules::kPrevious, &spacingCase});
    EXPECT_EQ(Visible(text), Visible(row.previous)) << Visible(row.block);
    EXPECT_EQ(spacingCase, row.spacingCase) << Visible(row.block);
  }
}

}  // namespace
}  // namespace vk
