#include "diff/char_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diff_support.h"

namespace vk {
namespace {

using test::Bracketed;
using test::Unmarked;

struct Marked {
  std::string oldText, newText;
  bool complete = false;
};

// The old text with its removed bytes in [ ], the new one with its added bytes in { }.
Marked Diff(const std::string& a, const std::string& b, bool local) {
  std::vector<ByteRange> removed, added;
  DiffBudget budget(1u << 30);
  Marked m;
  m.complete = local ? char_diff_detail::LocalDiff(a, b, budget, removed, added)
                     : DiffCharacters(a, b, budget, removed, added);
  EXPECT_TRUE(test::WellFormed(removed, a.size()));
  EXPECT_TRUE(test::WellFormed(added, b.size()));
  EXPECT_EQ(Unmarked(a, removed), Unmarked(b, added)) << a << " / " << b;
  m.oldText = Bracketed(a, removed, '[', ']');
  m.newText = Bracketed(b, added, '{', '}');
  return m;
}

struct Case {
  const char* oldText;
  const char* newText;
  const char* oldMarked;
  const char* newMarked;
};

// The changes the three transformations make, small enough for the minimal diff and each
// also sent through the local diff, which must find the same.
const Case kCases[] = {
    {"abc", "abc", "abc", "abc"},
    {"Kinder  und", "Kinder und", "Kinder [ ]und", "Kinder und"},
    {"<p>\r\n\t<b>x</b>", "<p><b>x</b>", "<p>[\r\n\t]<b>x</b>", "<p><b>x</b>"},
    {"f\xC3\xBCr", "f&uuml;r", "f[\xC3\xBC]r", "f{&uuml;}r"},
    {"Gr\xF6\xDF"
     "e",
     "Gr&ouml;&szlig;e", "Gr[\xF6\xDF]e", "Gr{&ouml;&szlig;}e"},
    {"<font face=\"Arial\">Text</font>", "Text", "[<font face=\"Arial\">]Text[</font>]", "Text"},
    {"a b c d e", "a B c D e", "a [b] c [d] e", "a {B} c {D} e"},
    {"", "neu", "", "{neu}"},
    {"alt", "", "[alt]", ""},
    {"Zeile\n", "Zeile", "Zeile[\n]", "Zeile"},
    {"<br>", "<br />", "<br>", "<br{ /}>"},
    // An entity that ends in a letter of the text behind it: the letter stays outside.
    {"B\xC3\xA4lle", "B&auml;lle", "B[\xC3\xA4]lle", "B{&auml;}lle"},
    {"M\xC3\xBCll und \xC3\x96l", "M&uuml;ll und &Ouml;l", "M[\xC3\xBC]ll und [\xC3\x96]l",
     "M{&uuml;}ll und {&Ouml;}l"},
    {"f\xC3\xBCr die", "f&Atilde;&frac14;r die", "f[\xC3\xBC]r die", "f{&Atilde;&frac14;}r die"},
    {"f\xFCr Gr\xF6\xDF"
     "e",
     "f&uuml;r Gr&ouml;&szlig;e", "f[\xFC]r Gr[\xF6\xDF]e", "f{&uuml;}r Gr{&ouml;&szlig;}e"},
    // A text replaced by another shows as replaced whole, not as the few letters they share.
    {"<p>The translation of the following notice</p>", "<p>Anhang</p>",
     "<p>[The translation of the following notice]</p>", "<p>{Anhang}</p>"},
};

TEST(DiffCharacters, MarksWhatTheTransformationsChange) {
  for (const Case& c : kCases) {
    for (bool local : {false, true}) {
      const Marked m = Diff(c.oldText, c.newText, local);
      EXPECT_TRUE(m.complete);
      EXPECT_EQ(m.oldText, c.oldMarked) << (local ? "local: " : "exact: ") << c.oldText;
      EXPECT_EQ(m.newText, c.newMarked) << (local ? "local: " : "exact: ") << c.newText;
    }
  }
}

// A long text with changes spread over it: both diffs mark exactly the edited bytes.
TEST(DiffCharacters, SparseChangesInALongTextAreFoundToTheByte) {
  test::Rng rng(5);
  for (int round = 0; round < 20; ++round) {
    std::string a = rng.Text(20000, "abcdefghijklmnopqrstuvwxyz <>/=\"");
    std::string b;
    std::size_t edited = 0;
    std::size_t at = 0;
    while (at < a.size()) {
      const std::size_t keep = 40 + rng.Below(200);
      b.append(a, at, keep);
      at += keep;
      if (at >= a.size()) break;
      const std::size_t drop = std::min(rng.Below(4), a.size() - at);
      const std::size_t insert = rng.Below(4);
      at += drop;
      b += std::string(insert, '#');  // bytes the old text does not have
      edited += drop + insert;
    }
    for (bool local : {false, true}) {
      std::vector<ByteRange> removed, added;
      DiffBudget budget(1u << 30);
      const bool complete = local ? char_diff_detail::LocalDiff(a, b, budget, removed, added)
                                  : DiffCharacters(a, b, budget, removed, added);
      EXPECT_TRUE(complete);
      ASSERT_EQ(Unmarked(a, removed), Unmarked(b, added));
      EXPECT_LE(test::Covered(removed) + test::Covered(added), edited) << "local " << local;
    }
  }
}

TEST(DiffCharacters, ChangesLargerThanTheLocalSearchAreStillBridged) {
  // A stretch of 3000 new bytes in the middle and 500 old bytes gone further on: too many
  // edits for the step-by-step search, found by looking ahead for common bytes.
  test::Rng rng(9);
  const std::string head = rng.Text(5000, "abcdefghijklmnopqrstuvwxyz ");
  const std::string middle = rng.Text(5000, "abcdefghijklmnopqrstuvwxyz ");
  const std::string gone = rng.Text(500, "0123456789");
  const std::string tail = rng.Text(5000, "abcdefghijklmnopqrstuvwxyz ");
  const std::string inserted = rng.Text(3000, "ABCDEFGHIJ");
  const std::string a = head + middle + gone + tail;
  const std::string b = head + inserted + middle + tail;
  std::vector<ByteRange> removed, added;
  DiffBudget budget(1u << 30);
  EXPECT_TRUE(DiffCharacters(a, b, budget, removed, added));
  EXPECT_EQ(removed, (std::vector<ByteRange>{{10000, 10500}}));
  EXPECT_EQ(added, (std::vector<ByteRange>{{5000, 8000}}));
}

TEST(DiffCharacters, UnrelatedTextsAndASpentBudgetStayValid) {
  test::Rng rng(13);
  const std::string a = rng.Text(50000, "abc\n");
  const std::string b = rng.Text(40000, "abc\n");
  for (std::uint64_t steps : {std::uint64_t{1} << 30, std::uint64_t{5000}}) {
    std::vector<ByteRange> removed, added;
    DiffBudget budget(steps);
    const bool complete = DiffCharacters(a, b, budget, removed, added);
    EXPECT_EQ(complete, steps > 5000);
    EXPECT_TRUE(test::WellFormed(removed, a.size()));
    EXPECT_TRUE(test::WellFormed(added, b.size()));
    EXPECT_EQ(Unmarked(a, removed), Unmarked(b, added));
  }
}

}  // namespace
}  // namespace vk
