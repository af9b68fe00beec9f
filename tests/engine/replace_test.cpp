#include "engine/replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <map>
#include <stdexcept>

#include "engine/cp1252.h"
#include "fs/disk_file_access.h"
#include "support/test_support.h"
#include "utf8_reference_support.h"

namespace vk {
namespace {

using namespace std::string_literals;
using test::RecordingFeedback;

struct Pair {
  std::string find, replace;
};

HtmlCodeList ListOf(const std::vector<Pair>& pairs) {
  HtmlCodeList list;
  for (const auto& p : pairs) {
    list.find.push_back(p.find);
    list.replace.push_back(p.replace);
  }
  return list;
}

struct TextCase {
  std::string text;
  std::vector<Pair> pairs;
  std::string expected;
  std::int64_t count;
};

void ExpectTextCases(const std::vector<TextCase>& cases,
                     PageEncoding encoding = PageEncoding::kWindows1252) {
  for (const auto& c : cases) {
    std::string text = c.text;
    RecordingFeedback feedback;
    const std::int64_t count = ReplaceHtmlCodeText(text, ListOf(c.pairs), encoding, feedback);
    EXPECT_EQ(text, c.expected) << "text: " << c.text;
    const test::ReferenceResult reference =
        encoding == PageEncoding::kUtf8
            ? test::ReferenceReplaceHtmlCodeUtf8(c.text, ListOf(c.pairs))
            : test::ReferenceReplaceHtmlCode(c.text, ListOf(c.pairs));
    EXPECT_EQ(reference.text, c.expected) << "step by step, text: " << c.text;
    EXPECT_EQ(count, c.count) << "text: " << c.text;
    EXPECT_TRUE(feedback.errors.empty()) << "text: " << c.text;
    // The same with every seam between the pieces the text is handed through.
    for (std::size_t piece : {1, 2, 3}) {
      std::string inPieces = c.text;
      EXPECT_EQ(replace_detail::ReplaceHtmlCodeTextInPieces(inPieces, ListOf(c.pairs), encoding,
                                                            feedback, piece),
                c.count)
          << "text: " << c.text << ", pieces of " << piece;
      EXPECT_EQ(inPieces, c.expected) << "text: " << c.text << ", pieces of " << piece;
    }
  }
}

// Characters in UTF-8, for the tables of UTF-8 pages.
const std::string kAe = "\xC3\xA4";            // ä
const std::string kAeUpper = "\xC3\x84";       // Ä
const std::string kEuro = "\xE2\x82\xAC";      // €
const std::string kClef = "\xF0\x9D\x84\x9E";  // 𝄞
const std::string kC = "\xC4\x89";             // ĉ, no Windows-1252 letter
const std::string kCjk = "\xE3\xA4\x98";       // 㤘, which bytes folded as Windows-1252
                                               // would take for "Ã¤"

TEST(ReplaceHtmlCodeText, PairsWorkLeftToRightBehindTheirLastInsertion) {
  ExpectTextCases({
      {"<br><br>", {{"<br>", "<br />"}}, "<br /><br />", 2},
      {"&nbsp;&nbsp;x", {{"&nbsp;", ""}}, "x", 2},
      {"<B>x</b> <b>y</B>",
       {{"<b>", "<strong>"}, {"</b>", "</strong>"}},
       "<strong>x</strong> <strong>y</strong>",
       4},
      // The replacement holds the find entry: the pair ends after its first replacement.
      {"a a", {{"a", "aa"}}, "aa a", 1},
      {"Tabelle table TABLE", {{"table", "table border=0"}}, "Tabelle table border=0 TABLE", 1},
      // A later pair works on what an earlier one inserted.
      {"<b>x</b>", {{"<b>", "<strong>"}, {"<strong>", "<em>"}}, "<em>x</b>", 2},
      {"<b>x</b>", {{"<b>", "<b>"}}, "<b>x</b>", 1},
      {"<b>x</b>", {{"<b>", "<B>"}}, "<B>x</b>", 1},
      {"<p>nothing here</p>", {{"<b>", "<strong>"}}, "<p>nothing here</p>", 0},
  });
}

TEST(ReplaceHtmlCodeText, WhereThePairStops) {
  ExpectTextCases({
      // An occurrence that starts right behind the inserted text is replaced.
      {"abab", {{"ab", "x"}}, "xx", 2},
      {"abab", {{"AB", "ab"}}, "abab", 1},  // found again inside the inserted text
      // Occurrence running from ahead of the inserted text into it.
      {"xxy", {{"xy", "y"}}, "xy", 1},
      // Occurrence running out of the inserted text into the rest.
      {"abb", {{"ab", "a"}}, "ab", 1},
      {"abbab", {{"ab", "a"}}, "abab", 1},
      // Deleting joins two halves into an occurrence that starts ahead of the last end.
      {"aabb", {{"ab", ""}}, "ab", 1},
      // Joined halves behind the deletion point are only the rest: replaced on.
      {"abab", {{"ab", ""}}, "", 2},
      {"abXab", {{"AB", ""}}, "X", 2},
      // Later occurrences are replaced as long as none forms ahead of the last end.
      {"<b><b>x<b>", {{"<b>", "<i>"}}, "<i><i>x<i>", 3},
      {"xx<b>yy<b>", {{"<b>", "<B>!"}}, "xx<B>!yy<b>", 1},
      {"xx<b>yy<b>", {{"<b>", "<b class=x>"}}, "xx<b class=x>yy<b class=x>", 2},
      {"ab ab ab", {{"ab", "b"}}, "b b b", 3},
      {"aab", {{"ab", "b"}}, "ab", 1},  // "a" + "b" forms ahead of the last end
      // Found in another letter case inside the inserted text: still ends the pair.
      {"x x", {{"x", "X"}}, "X x", 1},
      {"x x", {{"x", "y"}}, "y y", 2},
      // Whole text replaced, text grows and shrinks.
      {"a", {{"A", "bbb"}}, "bbb", 1},
      {"aaaa", {{"aa", "b"}}, "bb", 2},
      {"aaa", {{"aa", "b"}}, "ba", 1},
  });
}

TEST(ReplaceHtmlCodeText, ListShapes) {
  ExpectTextCases({
      // Empty find entries never match; empty replace entries delete.
      {"abc", {{"", "x"}}, "abc", 0},
      {"abc", {{"", ""}, {"b", ""}}, "ac", 1},
      // Duplicates are both applied, in their order.
      {"<br><br>", {{"<br>", "<br/>"}, {"<br>", "<br/>"}}, "<br/><br/>", 2},
      {"a", {{"a", "b"}, {"b", "c"}, {"c", "a"}}, "a", 3},
      // Undoing what an earlier pair did.
      {"<b>", {{"<b>", "<strong>"}, {"<STRONG>", "<b>"}}, "<b>", 2},
      {"", {{"a", "b"}}, "", 0},
      {"x", {}, "x", 0},
  });
}

TEST(ReplaceHtmlCodeText, FoldsWindows1252Letters) {
  ExpectTextCases({
      {"\xC4rger \xE4rger", {{"\xE4", "&auml;"}}, "&auml;rger &auml;rger", 2},
      {"\x8A\x9A", {{"\x9A", "s"}}, "ss", 2},
      {"\xD7\xF7", {{"\xF7", "/"}}, "\xD7/", 1},  // the multiplication sign is no capital
      {"\xDF\xDF", {{"\xDF", "ss"}}, "ssss", 2},
      {"GR\xD6\xDF"
       "E",
       {{"gr\xF6\xDF"
         "e",
         "size"}},
       "size",
       1},
  });
}

TEST(ReplaceHtmlCodeText, Utf8PageMatchesCharactersInEitherCase) {
  // The list is stored in Windows-1252: "\xE4" is "ä".
  ExpectTextCases(
      {
          {"h" + kAe + "ufigsten", {{"\xE4", "ae"}}, "haeufigsten", 1},
          {"h" + kAe + "ufigsten", {{"\xC4", "&auml;"}}, "h&auml;ufigsten", 1},
          // The same letter as a sequence in both cases and as stray bytes in both cases.
          {kAe + " " + kAeUpper + " \xE4 \xC4", {{"\xE4", "ae"}}, "ae ae ae ae", 4},
          // Replacement texts are written in UTF-8.
          {"K&auml;se 5 EUR",
           {{"&AUML;", "\xE4"}, {"eur", "\x80"}},
           "K" + kAe + "se 5 " + kEuro,
           2},
          {"\x80 " + kEuro, {{"\x80", "Euro"}}, "Euro Euro", 2},
          // Never inside a character: "Ã¤" and "ã" are not in 㤘, "¤" is not in "ä".
          {kCjk + kAe, {{"\xC3\xA4", "x"}, {"\xE3", "x"}, {"\xA4", "x"}}, kCjk + kAe, 0},
          {kCjk + " \xC3\x83\xC2\xA4", {{"\xC3\xA4", "x"}}, kCjk + " x", 1},
          // Next to characters of two, three and four bytes.
          {kClef + kAe + kEuro + kAeUpper + kCjk, {{"\xE4\x80\xC4", "-"}}, kClef + "-" + kCjk, 1},
          {kClef + "\xC4" + kEuro + "\xE4" + kClef,
           {{"\xE4\x80\xE4", "-"}},
           kClef + "-" + kClef,
           1},
          // ASCII finds as on Windows-1252 pages, between multi-byte characters.
          {kEuro + "<B>" + kAe + "</b>" + kClef,
           {{"<b>", "<strong>"}, {"</B>", "</strong>"}},
           kEuro + "<strong>" + kAe + "</strong>" + kClef,
           2},
          {"abc", {{"", "x"}}, "abc", 0},
      },
      PageEncoding::kUtf8);
}

TEST(ReplaceHtmlCodeText, Utf8PageFoldsEveryPairOfTheTable) {
  // Each capital and its small letter, both stored in Windows-1252, found in both forms on a
  // UTF-8 page, between multi-byte characters; the two signs that are no letters stay apart.
  std::vector<std::pair<unsigned char, unsigned char>> twins = {
      {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}};
  for (int b = 0xC0; b <= 0xDE; ++b) {
    if (b != 0xD7) twins.emplace_back(b, b + 0x20);
  }
  for (const auto& [upper, lower] : twins) {
    const std::string upperText(1, static_cast<char>(upper));
    const std::string lowerText(1, static_cast<char>(lower));
    const std::string page = kClef + Cp1252ToUtf8(upperText) + kEuro + Cp1252ToUtf8(lowerText) +
                             kC + upperText + kCjk + lowerText + ".";
    const std::string expected = kClef + "#" + kEuro + "#" + kC + "#" + kCjk + "#.";
    ExpectTextCases(
        {{page, {{lowerText, "#"}}, expected, 4}, {page, {{upperText, "#"}}, expected, 4}},
        PageEncoding::kUtf8);
  }
  ExpectTextCases({{"\xC3\x97\xC3\xB7", {{"\xF7", "/"}}, "\xC3\x97/", 1}}, PageEncoding::kUtf8);
}

TEST(ReplaceHtmlCodeText, Utf8PageWhereThePairStops) {
  ExpectTextCases(
      {
          // The last end counts in bytes: a stray byte is shorter than its sequence.
          {"\xE4" + kAe, {{"\xE4", "x"}}, "xx", 2},
          {"\xE4\xE4", {{"\xE4", "\xE4"}}, kAe + "\xE4", 1},
          {kAe + " " + kAe, {{"\xE4", "\xC4"}}, kAeUpper + " " + kAe, 1},
          {"\xE4\xE4\xE4", {{"\xE4\xE4", "\xE4"}}, kAe + "\xE4", 1},
          // Deleting joins a stray lead byte and a stray continuation byte into "ä": the search
          // reads the page anew, so the next pair finds it, and a "¤" is no longer there.
          {"\xC3q\xA4", {{"q", ""}, {"\xE4", "ae"}}, "ae", 2},
          {"\xC3\xC2\xA4\xA4", {{"\xA4", ""}}, kAe, 1},
          {"\xE2\x82q\xAC!", {{"q", ""}, {"\x80!", "E"}}, "E", 2},
          // The tail of a sequence is no stray byte, wherever the text is cut into pieces.
          {"x" + kAe + "yyyyyy" + kEuro + "zzzzzz",
           {{"\xA4", "!"}, {"\xAC", "!"}},
           "x" + kAe + "yyyyyy" + kEuro + "zzzzzz",
           0},
          // An occurrence joined ahead of the last end ends the pair.
          {"\xC3" + kAe + "\xA4 " + kAe, {{"\xE4", ""}}, kAe + " " + kAe, 1},
          // Bytes joined behind the last end are one character, not a stray "¤" to go on with.
          {"\xC3\xC2\xA4\xA4\xC2\xA4", {{"\xA4", ""}}, kAe, 2},
      },
      PageEncoding::kUtf8);
}

TEST(ReplaceHtmlCodeText, NulBytes) {
  ExpectTextCases({
      // No search looks behind the first NUL byte of the text.
      {"ab\0ab"s, {{"ab", "x"}}, "x\0ab"s, 1},
      {"\0ab"s, {{"ab", "x"}}, "\0ab"s, 0},
      // A find entry ends at its first NUL byte.
      {"abc"s, {{"b\0zz"s, "B"}}, "aBc"s, 1},
      {"abc"s, {{"\0b"s, "B"}}, "abc"s, 0},
      // An inserted NUL ends the pair and hides the rest from later pairs.
      {"abab", {{"a", "\0"s}, {"b", "c"}}, "\0bab"s, 1},
      {"abab", {{"b", "\0"s}, {"a", "c"}}, "c\0ab"s, 2},
  });
}

TEST(ReplaceHtmlCodeText, UsesOnlyWholePairs) {
  HtmlCodeList list;
  list.find = {"a", "b", "c"};
  list.replace = {"1", "2"};
  std::string text = "abc";
  RecordingFeedback feedback;
  EXPECT_EQ(ReplaceHtmlCodeText(text, list, PageEncoding::kWindows1252, feedback), 2);
  EXPECT_EQ(text, "12c");
}

TEST(ReplaceHtmlCodeText, YieldsBeforeEveryFifthPair) {
  struct Case {
    std::size_t pairs;
    int yields;
  } cases[] = {{0, 0}, {1, 1}, {5, 1}, {6, 2}, {10, 2}, {11, 3}, {16, 4}};
  for (const auto& c : cases) {
    std::vector<Pair> pairs(c.pairs, Pair{"x", "y"});
    std::string text = "x";
    RecordingFeedback feedback;
    ReplaceHtmlCodeText(text, ListOf(pairs), PageEncoding::kWindows1252, feedback);
    EXPECT_EQ(feedback.yields, c.yields) << c.pairs << " pairs";
  }
}

// Files in memory, with every read and write counted and failures on request.
class MemoryFiles : public FileAccess {
 public:
  FileStatus Read(const std::string& path, std::string* content) override {
    ++reads;
    auto it = files.find(path);
    if (failRead || it == files.end()) {
      content->clear();
      return FileStatus::Error(FileStatus::Code::kNotFound);
    }
    *content = it->second;
    return FileStatus::Ok();
  }
  FileStatus Write(const std::string& path, std::string_view content) override {
    ++writes;
    if (failWrite) return FileStatus::Error(FileStatus::Code::kReadOnly);
    files[path] = std::string(content);
    return FileStatus::Ok();
  }

  std::map<std::string, std::string> files;
  bool failRead = false;
  bool failWrite = false;
  int reads = 0;
  int writes = 0;
};

const std::string kPage = "/pages/index.htm";
const std::string kCannot = "Konnte /pages/index.htm nicht öffnen, schreiben oder Fehler in Datei!";

HtmlCodeListLoader LoaderOf(const std::vector<Pair>& pairs, int* calls = nullptr) {
  return [pairs, calls] {
    if (calls) ++*calls;
    return std::make_shared<const HtmlCodeList>(ListOf(pairs));
  };
}

TEST(ReplaceHtmlCode, FileCases) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<Pair> pairs;
    bool failRead, failWrite;
    std::int64_t count;
    std::string after;
    int reads, writes;
    std::vector<std::string> errors;
  } cases[] = {
      {"replaced", "<br><br>", {{"<br>", "<br />"}}, false, false, 2, "<br /><br />", 1, 1, {}},
      {"no occurrence", "<p>x</p>", {{"<br>", "<br />"}}, false, false, 0, "<p>x</p>", 1, 0, {}},
      {"same bytes still written",
       "<b>x</b>",
       {{"<b>", "<b>"}},
       false,
       false,
       1,
       "<b>x</b>",
       1,
       1,
       {}},
      {"empty file", "", {{"<br>", "<br />"}}, false, false, 0, "", 1, 0, {}},
      {"empty list", "<br>", {}, false, false, 0, "<br>", 0, 0, {}},
      {"only empty find entries", "<br>", {{"", "x"}}, false, false, 0, "<br>", 1, 0, {}},
      {"unreadable", "<br>", {{"<br>", "<br />"}}, true, false, 0, "<br>", 1, 0, {kCannot}},
      {"unwritable", "<br><br>", {{"<br>", "<br />"}}, false, true, 2, "<br><br>", 1, 1, {kCannot}},
      {"NUL byte",
       "<br>\0<br>"s,
       {{"<br>", "<br />"}},
       false,
       false,
       0,
       "<br>\0<br>"s,
       1,
       0,
       {"Die Datei /pages/index.htm enthält Null-Bytes und wird nicht verändert!"}},
  };
  for (const auto& c : cases) {
    MemoryFiles files;
    files.files[kPage] = c.content;
    files.failRead = c.failRead;
    files.failWrite = c.failWrite;
    RecordingFeedback feedback;
    int loads = 0;
    EXPECT_EQ(ReplaceHtmlCode(kPage, LoaderOf(c.pairs, &loads), feedback, files), c.count)
        << c.name;
    EXPECT_EQ(files.files[kPage], c.after) << c.name;
    EXPECT_EQ(files.reads, c.reads) << c.name;
    EXPECT_EQ(files.writes, c.writes) << c.name;
    EXPECT_EQ(feedback.errors, c.errors) << c.name;
    EXPECT_EQ(loads, 1) << c.name;
  }
}

TEST(ReplaceHtmlCode, EmptyHalfOfTheListOpensNothing) {
  HtmlCodeList findsOnly;
  findsOnly.find = {"<br>"};
  HtmlCodeList replacesOnly;
  replacesOnly.replace = {"<br />"};
  for (const auto& list : {findsOnly, replacesOnly}) {
    MemoryFiles files;
    files.files[kPage] = "<br>";
    RecordingFeedback feedback;
    EXPECT_EQ(
        ReplaceHtmlCode(
            kPage, [&] { return std::make_shared<const HtmlCodeList>(list); }, feedback, files),
        0);
    EXPECT_EQ(files.reads, 0);
    EXPECT_EQ(feedback.yields, 0);
  }
}

TEST(ReplaceHtmlCode, LoaderExceptionPassesThrough) {
  MemoryFiles files;
  files.files[kPage] = "<br>";
  RecordingFeedback feedback;
  const HtmlCodeListLoader failing = []() -> SharedHtmlCodeList {
    throw std::runtime_error("Fehler beim Schreiben");
  };
  EXPECT_THROW(ReplaceHtmlCode(kPage, failing, feedback, files), std::runtime_error);
  EXPECT_EQ(files.reads, 0);
  EXPECT_EQ(files.writes, 0);
}

TEST(ReplaceHtmlCode, YieldsOnceAfterReadingAndBeforeEveryFifthPair) {
  struct Case {
    std::string content;
    std::size_t pairs;
    int yields;
  } cases[] = {{"x", 1, 2}, {"x", 5, 2}, {"x", 6, 3}, {"x", 11, 4}, {"", 11, 0}};
  for (const auto& c : cases) {
    MemoryFiles files;
    files.files[kPage] = c.content;
    RecordingFeedback feedback;
    ReplaceHtmlCode(kPage, LoaderOf(std::vector<Pair>(c.pairs, Pair{"x", "y"})), feedback, files);
    EXPECT_EQ(feedback.yields, c.yields) << c.pairs << " pairs on '" << c.content << "'";
  }
}

// The same function on real files in a throwaway folder.

struct timespec ModificationTime(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mtim;
}

void SetOldModificationTime(const std::string& path) {
  const struct timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0) << path;
}

TEST(ReplaceHtmlCodeOnDisk, RewritesTheFile) {
  test::TempDir dir;
  const std::string page = dir.File("seite.htm");
  test::WriteFile(page, "<B>Fett</b>\r\n\t<b>auch</B>\r\n");
  RecordingFeedback feedback;
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<b>", "<strong>"}, {"</b>", "</strong>"}}), feedback,
                            DiskFileAccess()),
            4);
  EXPECT_EQ(test::ReadFile(page), "<strong>Fett</strong>\r\n\t<strong>auch</strong>\r\n");
  EXPECT_TRUE(feedback.errors.empty());
}

TEST(ReplaceHtmlCodeOnDisk, FileWithoutOccurrenceKeepsItsTimeStamp) {
  test::TempDir dir;
  const std::string page = dir.File("seite.htm");
  test::WriteFile(page, "<p>nichts</p>");
  SetOldModificationTime(page);
  RecordingFeedback feedback;
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<br>", "<br />"}}), feedback, DiskFileAccess()), 0);
  EXPECT_EQ(ModificationTime(page).tv_sec, 1000000000);
  EXPECT_EQ(test::ReadFile(page), "<p>nichts</p>");
  EXPECT_TRUE(feedback.errors.empty());
}

TEST(ReplaceHtmlCodeOnDisk, ReadOnlyFileStaysAndCountIsReported) {
  test::TempDir dir;
  const std::string page = dir.File("geschuetzt.htm");
  test::WriteFile(page, "<br><br>");
  ASSERT_EQ(::chmod(page.c_str(), 0444), 0);
  RecordingFeedback feedback;
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<br>", "<br />"}}), feedback, DiskFileAccess()), 2);
  EXPECT_EQ(test::ReadFile(page), "<br><br>");
  EXPECT_EQ(feedback.errors, std::vector<std::string>{"Konnte " + page +
                                                      " nicht öffnen, schreiben oder Fehler in "
                                                      "Datei!"});
}

TEST(ReplaceHtmlCodeOnDisk, MissingFile) {
  test::TempDir dir;
  const std::string missing = dir.File("fehlt.htm");
  struct Case {
    std::vector<Pair> pairs;
    std::vector<std::string> errors;
  } cases[] = {
      // With an empty list the file is never opened, so its absence goes unnoticed.
      {{}, {}},
      {{{"<br>", "<br />"}},
       {"Konnte " + missing + " nicht öffnen, schreiben oder Fehler in Datei!"}},
  };
  for (const auto& c : cases) {
    RecordingFeedback feedback;
    EXPECT_EQ(ReplaceHtmlCode(missing, LoaderOf(c.pairs), feedback, DiskFileAccess()), 0);
    EXPECT_EQ(feedback.errors, c.errors);
    EXPECT_NE(::access(missing.c_str(), F_OK), 0) << "must not be created";
  }
}

TEST(ReplaceHtmlCodeOnDisk, FileWithNulByteStaysAsItIs) {
  test::TempDir dir;
  const std::string page = dir.File("binaer.htm");
  test::WriteFile(page, "<br>\0<br>"s);
  SetOldModificationTime(page);
  RecordingFeedback feedback;
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<br>", "<br />"}}), feedback, DiskFileAccess()), 0);
  EXPECT_EQ(test::ReadFile(page), "<br>\0<br>"s);
  EXPECT_EQ(ModificationTime(page).tv_sec, 1000000000);
  EXPECT_EQ(feedback.errors, std::vector<std::string>{"Die Datei " + page +
                                                      " enthält Null-Bytes und wird nicht "
                                                      "verändert!"});
}

}  // namespace
}  // namespace vk
