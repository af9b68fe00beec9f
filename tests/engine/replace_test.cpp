#include "engine/replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <map>
#include <stdexcept>

#include "support/test_support.h"

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

void ExpectTextCases(const std::vector<TextCase>& cases) {
  for (const auto& c : cases) {
    std::string text = c.text;
    RecordingFeedback feedback;
    const std::int64_t count = ReplaceHtmlCodeText(text, ListOf(c.pairs), feedback);
    EXPECT_EQ(text, c.expected) << "text: " << c.text;
    EXPECT_EQ(count, c.count) << "text: " << c.text;
    EXPECT_TRUE(feedback.errors.empty()) << "text: " << c.text;
  }
}

TEST(ReplaceHtmlCodeText, DocumentedBehaviour) {
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
  EXPECT_EQ(ReplaceHtmlCodeText(text, list, feedback), 2);
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
    ReplaceHtmlCodeText(text, ListOf(pairs), feedback);
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
    return ListOf(pairs);
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
    EXPECT_EQ(ReplaceHtmlCode(
                  kPage, [&] { return list; }, feedback, files),
              0);
    EXPECT_EQ(files.reads, 0);
    EXPECT_EQ(feedback.yields, 0);
  }
}

TEST(ReplaceHtmlCode, LoaderExceptionPassesThrough) {
  MemoryFiles files;
  files.files[kPage] = "<br>";
  RecordingFeedback feedback;
  const HtmlCodeListLoader failing = []() -> HtmlCodeList {
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
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<b>", "<strong>"}, {"</b>", "</strong>"}}), feedback),
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
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<br>", "<br />"}}), feedback), 0);
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
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<br>", "<br />"}}), feedback), 2);
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
    EXPECT_EQ(ReplaceHtmlCode(missing, LoaderOf(c.pairs), feedback), 0);
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
  EXPECT_EQ(ReplaceHtmlCode(page, LoaderOf({{"<br>", "<br />"}}), feedback), 0);
  EXPECT_EQ(test::ReadFile(page), "<br>\0<br>"s);
  EXPECT_EQ(ModificationTime(page).tv_sec, 1000000000);
  EXPECT_EQ(feedback.errors, std::vector<std::string>{"Die Datei " + page +
                                                      " enthält Null-Bytes und wird nicht "
                                                      "verändert!"});
}

}  // namespace
}  // namespace vk
