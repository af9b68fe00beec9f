// The fast replacement against the step-by-step one on generated texts and lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/case_fold.h"
#include "engine/cp1252.h"
#include "engine/replace.h"
#include "replace_reference_support.h"
#include "support/test_support.h"
#include "utf8_reference_support.h"

namespace vk {
namespace {

using namespace std::string_literals;

// Few distinct bytes, so occurrences, overlaps and case twins are everywhere.
const std::string kAlphabet = "aAb<> \xC4\xE4";
const std::string kAlphabetWithNul = "aAb<> \xC4\xE4\0"s;

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : rng_(seed) {}

  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(rng_() % n); }
  bool OneIn(std::size_t n) { return Below(n) == 0; }

  std::string Text(const std::string& alphabet, std::size_t maxLength) {
    std::string s(Below(maxLength + 1), ' ');
    for (char& c : s) c = alphabet[Below(alphabet.size())];
    return s;
  }

  // Turns letters into their other case, at random.
  std::string Recase(std::string s) {
    for (char& c : s) {
      if (!OneIn(2)) continue;
      const unsigned char b = static_cast<unsigned char>(c);
      if (b == 'a')
        c = 'A';
      else if (b == 'A')
        c = 'a';
      else if (b == 0xC4)
        c = '\xE4';
      else if (b == 0xE4)
        c = '\xC4';
    }
    return s;
  }

  HtmlCodeList List(const std::string& alphabet) {
    HtmlCodeList list;
    const std::size_t pairs = Below(13);
    for (std::size_t i = 0; i < pairs; ++i) {
      if (i > 0 && OneIn(8)) {  // a duplicate of an earlier pair
        const std::size_t j = Below(i);
        list.find.push_back(list.find[j]);
        list.replace.push_back(list.replace[j]);
        continue;
      }
      std::string find = Text(alphabet, 4);
      std::string replace;
      switch (Below(6)) {
        case 0:  // the replacement holds the find entry in another case
          replace = Text(alphabet, 2) + Recase(find) + Text(alphabet, 2);
          break;
        case 1:  // deletes
          break;
        case 2:  // the find entry itself, other case
          replace = Recase(find);
          break;
        default:
          replace = Text(alphabet, 6);
      }
      list.find.push_back(std::move(find));
      list.replace.push_back(std::move(replace));
    }
    return list;
  }

 private:
  std::mt19937 rng_;
};

void ExpectSameAsReference(const std::string& text, const HtmlCodeList& list, int round,
                           std::int64_t* replacements = nullptr,
                           PageEncoding encoding = PageEncoding::kWindows1252) {
  const test::ReferenceResult expected = encoding == PageEncoding::kUtf8
                                             ? test::ReferenceReplaceHtmlCodeUtf8(text, list)
                                             : test::ReferenceReplaceHtmlCode(text, list);
  if (replacements) *replacements += expected.count;
  {
    std::string actual = text;
    test::RecordingFeedback feedback;
    const std::int64_t count = ReplaceHtmlCodeText(actual, list, encoding, feedback);
    ASSERT_EQ(actual, expected.text) << "round " << round;
    ASSERT_EQ(count, expected.count) << "round " << round;
    ASSERT_EQ(feedback.yields, expected.yields) << "round " << round;
  }
  // The text handed through the pairs in tiny pieces, so occurrences, held-back bytes and the
  // check behind a replacement fall across the seams between pieces.
  const std::size_t pieceSizes[] = {1, 2, 3, 5, 8};
  const std::size_t pieceBytes = pieceSizes[static_cast<std::size_t>(round) % 5];
  std::string actual = text;
  test::RecordingFeedback feedback;
  const std::int64_t count =
      replace_detail::ReplaceHtmlCodeTextInPieces(actual, list, encoding, feedback, pieceBytes);
  ASSERT_EQ(actual, expected.text) << "round " << round << ", pieces of " << pieceBytes;
  ASSERT_EQ(count, expected.count) << "round " << round << ", pieces of " << pieceBytes;
  ASSERT_EQ(feedback.yields, expected.yields) << "round " << round;
}

TEST(ReplaceHtmlCodeDiff, ShortTexts) {
  Generator gen(20240611);
  std::int64_t replacements = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = gen.Text(kAlphabet, 24);
    const HtmlCodeList list = gen.List(kAlphabet);
    ExpectSameAsReference(text, list, round, &replacements);
  }
  // The generator must produce plenty of work, or the comparison proves little.
  EXPECT_GT(replacements, 20000);
}

TEST(ReplaceHtmlCodeDiff, LongTextsWithManyReplacements) {
  Generator gen(7);
  for (int round = 0; round < 2000; ++round) {
    const std::string text = gen.Text(kAlphabet, 400);
    ExpectSameAsReference(text, gen.List(kAlphabet), round);
  }
}

TEST(ReplaceHtmlCodeDiff, TextsAndEntriesWithNulBytes) {
  Generator gen(99);
  for (int round = 0; round < 5000; ++round) {
    const std::string text = gen.Text(kAlphabetWithNul, 30);
    ExpectSameAsReference(text, gen.List(kAlphabetWithNul), round);
  }
}

TEST(ReplaceHtmlCodeDiff, LongFindEntries) {
  // Find entries longer than the inserted text and than the gaps between occurrences.
  Generator gen(31337);
  const std::string alphabet = "aA<";
  for (int round = 0; round < 3000; ++round) {
    HtmlCodeList list;
    for (std::size_t i = 0, n = 1 + gen.Below(4); i < n; ++i) {
      list.find.push_back(gen.Text(alphabet, 9));
      list.replace.push_back(gen.OneIn(2) ? gen.Text(alphabet, 3) : gen.Recase(list.find.back()));
    }
    ExpectSameAsReference(gen.Text(alphabet, 60), list, round);
  }
}

TEST(ReplaceHtmlCodeDiff, LongReplaceEntries) {
  // Inserted texts long enough to be searched in blocks, with the find entry near either end.
  Generator gen(4242);
  for (int round = 0; round < 3000; ++round) {
    HtmlCodeList list;
    for (std::size_t i = 0, n = 1 + gen.Below(3); i < n; ++i) {
      std::string find = gen.Text(kAlphabet, 3);
      std::string replace = gen.Text(kAlphabet, 80);
      if (gen.OneIn(2)) {
        const std::size_t at = gen.OneIn(2) ? gen.Below(3) : replace.size() - gen.Below(3);
        replace.insert(std::min(at, replace.size()), gen.Recase(find));
      }
      list.find.push_back(std::move(find));
      list.replace.push_back(std::move(replace));
    }
    ExpectSameAsReference(gen.Text(kAlphabet, 300), list, round);
  }
}

TEST(ReplaceHtmlCodeDiff, PageLikeText) {
  // Markup as pages have it, with the kind of pairs users keep.
  Generator gen(1);
  const char* const pieces[] = {"<br>",
                                "<BR>",
                                "<b>",
                                "</B>",
                                "<p>",
                                "text ",
                                "Gr\xF6\xDF"
                                "e ",
                                "\r\n",
                                "\t",
                                "<font face=\"Arial\">",
                                "</font>",
                                "&nbsp;"};
  const HtmlCodeList list = {
      {"<br>", "<b>", "</b>", "<font face=\"arial\">", "</font>", "&nbsp;", "<p>",
       "GR\xD6\xDF"
       "E",
       "<strong>"},
      {"<br />", "<strong>", "</strong>", "", "", " ", "<p class=x>", "Ma\xDF", "<b>"}};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    for (std::size_t i = 0, n = gen.Below(400); i < n; ++i) {
      text += pieces[gen.Below(std::size(pieces))];
    }
    ExpectSameAsReference(text, list, round);
  }
}

// Pieces of UTF-8 pages: letters in both cases as sequences and as stray bytes, characters
// of two to four bytes, and the lead and continuation bytes that deleting can join.
const std::vector<std::string> kUtf8Pieces = {
    "a",    "A",    "<",    ">",        " ",    "\xC3\xA4",         "\xC3\x84", "\xE4",
    "\xC4", "\x80", "\xC3", "\xA4",     "\xC2", "\xE2\x82\xAC",     "\xE2",     "\x82",
    "\xAC", "\x9F", "\xFF", "\xC5\xB8", "q",    "\xF0\x9D\x84\x9E", "\xF0\x9D", "\xE3\xA4\x98"};
// Find and replace texts as the list stores them, in Windows-1252 ("q" is often deleted).
const std::string kStoredAlphabet = "aA<> q\xE4\xC4\x80\xFF\x9F\xC3\xA4\xAC";

std::string Utf8Text(Generator& gen, std::size_t maxPieces, bool withNul = false) {
  std::string text;
  for (std::size_t i = 0, n = gen.Below(maxPieces + 1); i < n; ++i) {
    text += withNul && gen.OneIn(30) ? "\0"s : kUtf8Pieces[gen.Below(kUtf8Pieces.size())];
  }
  return text;
}

TEST(ReplaceHtmlCodeDiff, Utf8ShortTexts) {
  Generator gen(14);
  std::int64_t replacements = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = Utf8Text(gen, 12);
    ExpectSameAsReference(text, gen.List(kStoredAlphabet), round, &replacements,
                          PageEncoding::kUtf8);
  }
  EXPECT_GT(replacements, 10000);
}

TEST(ReplaceHtmlCodeDiff, Utf8LongTextsAndNulBytes) {
  Generator gen(1414);
  for (int round = 0; round < 2000; ++round) {
    const std::string text = Utf8Text(gen, 150, round % 2 == 0);
    ExpectSameAsReference(text, gen.List(kStoredAlphabet), round, nullptr, PageEncoding::kUtf8);
  }
}

TEST(ReferenceFindNoCase, AgreesWithFindNoCase) {
  // The reference's own search must be the shared search, or the comparison above is hollow.
  Generator gen(5);
  for (int round = 0; round < 20000; ++round) {
    const std::string pattern = gen.Text(kAlphabetWithNul, 4);
    const std::string text = gen.Text(kAlphabetWithNul, 20);
    ASSERT_EQ(test::ReferenceFindNoCase(pattern, text), FindNoCase(pattern, text))
        << "round " << round;
  }
  // Texts long enough to be searched in blocks; patterns rare enough to be found late.
  for (int round = 0; round < 5000; ++round) {
    const std::string pattern = gen.Text(kAlphabet, 6);
    const std::string text = gen.Text(kAlphabet, 300);
    ASSERT_EQ(test::ReferenceFindNoCase(pattern, text), FindNoCase(pattern, text))
        << "round " << round;
  }
}

TEST(ReferenceFindOnCharacters, AgreesWithTheFinderOnUtf8Pages) {
  // Texts long enough to be searched sixteen start positions at a time, and every start.
  Generator gen(8);
  int found = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string pattern = Cp1252ToUtf8(gen.Text(kStoredAlphabet, 3));
    const std::string text = Utf8Text(gen, 60);
    const FoldedFinder finder(pattern, PageEncoding::kUtf8);
    for (std::size_t from = 0; from <= text.size(); from += 1 + gen.Below(20)) {
      std::size_t expectedLength = 0;
      const std::size_t expected = test::ReferenceFindOnCharacters(
          pattern, std::string_view(text).substr(from), &expectedLength);
      std::size_t length = 0;
      const std::size_t at = finder.Find(std::string_view(text).substr(from), 0, &length);
      ASSERT_EQ(at == FoldedFinder::npos ? 0 : at + 1, expected) << "round " << round;
      if (expected != 0) {
        ASSERT_EQ(length, expectedLength) << "round " << round;
        ++found;
      }
    }
  }
  EXPECT_GT(found, 10000);
}

}  // namespace
}  // namespace vk
