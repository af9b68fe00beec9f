// Real pages through velkaro-batch: the HTML pages of Debian documentation packages, fetched
// and unpacked by scripts/real-pages, keep every word of their visible text when compressed,
// and UTF-8 pages stay UTF-8 with the same words under all seven operations. Also the word
// reader those checks rely on.
//
// The pages are looked for in $VELKARO_REAL_PAGES (scripts/test sets it; then a missing folder
// is a failure), else in real-pages/ of the build folder (missing: the test is skipped).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "support/test_support.h"
#include "support/visible_text.h"

namespace vk {
namespace {

namespace fs = std::filesystem;
using test::CompareWords;
using test::PageEncoding;
using test::VisibleWords;
using Words = std::vector<std::string>;

TEST(VisibleWords, ReadsTheTextAsABrowserShowsIt) {
  struct Row {
    const char* page;
    Words words;
  } rows[] = {
      {"", {}},
      {"Hallo  Welt\r\n\tda", {"Hallo", "Welt", "da"}},
      {"<b>Hallo</b> <i>Welt</i>", {"Hallo", "Welt"}},
      {"<b>Hallo</b><i>Welt</i>", {"HalloWelt"}},  // inline tags do not split a word
      {"<p>Hallo</p><p>Welt</p>", {"Hallo", "Welt"}},
      {"Hallo<br>Welt<BR/>da<hr>dort", {"Hallo", "Welt", "da", "dort"}},
      {"<td>a</td><td>b</td></tr><tr><th>c</th>", {"a", "b", "c"}},
      {"<li>a<li>b<DIV>c</DIV>d<h2>e</h2>", {"a", "b", "c", "d", "e"}},
      {"a<span>b</span><unknown>c</unknown><img src=x>d", {"abcd"}},
      {"a<!-- x y -->b <!-- <p> --> c", {"ab", "c"}},
      {"a<!---->b<!-->c<!--->d", {"abcd"}},
      {"<!DOCTYPE html><?xml x?>a", {"a"}},
      {"a<script>var x = '<p>' + 1;</script>b", {"ab"}},
      {"a<SCRIPT>x</scripts></SCRIPT >b<style>p { }</style>c", {"abc"}},
      {"<pre>  code   here\n  more</pre>", {"code", "here", "more"}},
      {"<a href=\"x>y\" title='a > b'>Link</a> text", {"Link", "text"}},
      {"<p class=x>a</p >b", {"a", "b"}},
      {"a < b > c", {"a", "<", "b", ">", "c"}},
      {"a<1>b</ x>c</>d", {"a<1>bcd"}},
      {"&auml;&Ouml;&szlig; &euro;&nbsp;5 &lt;b&gt; &amp;amp;",
       {"\xC3\xA4\xC3\x96\xC3\x9F",
        "\xE2\x82\xAC\xC2\xA0"
        "5",
        "<b>", "&amp;"}},
      {"&alpha;&hellip;&apos;&thetasym;", {"\xCE\xB1\xE2\x80\xA6'\xCF\x91"}},
      {"&#228;&#xE4;&#Xe4&#150;x", {"\xC3\xA4\xC3\xA4\xC3\xA4\xE2\x80\x93x"}},
      {"a&#32;b&#x9;c&#10;d", {"a", "b", "c", "d"}},
      {"&#0;&#xD800;&#99999999;", {"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}},
      {"&nosuch; &amp &# &#x; &", {"&nosuch;", "&amp", "&#", "&#x;", "&"}},
      {"a\xC2\xA0"
       "b \xE4",
       {"a\xC2\xA0"
        "b",
        "\xE4"}},  // UTF-8 bytes stay as they are
  };
  for (const Row& row : rows) {
    EXPECT_EQ(VisibleWords(row.page), row.words) << row.page;
  }
  // Windows-1252 pages: their bytes become UTF-8; a no-break space splits nothing.
  EXPECT_EQ(VisibleWords("Gr\xFC\xDF"
                         "e\xA0"
                         "an \x80 5",
                         PageEncoding::kWindows1252),
            (Words{"Gr\xC3\xBC\xC3\x9F"
                   "e\xC2\xA0"
                   "an",
                   "\xE2\x82\xAC", "5"}));
}

TEST(VisibleWords, ComparesWordsAsMultisets) {
  EXPECT_TRUE(CompareWords({"a", "b", "a"}, {"a", "a", "b"}).empty());
  const test::WordChanges glued = CompareWords({"Hallo", "Welt", "x", "x"}, {"HalloWelt", "x"});
  EXPECT_EQ(glued.lost, (Words{"Hallo", "Welt", "x"}));
  EXPECT_EQ(glued.gained, (Words{"HalloWelt"}));
}

// The folder that holds the unpacked packages, or "" when it is not there and not required.
std::string RealPagesFolder() {
  if (const char* given = std::getenv("VELKARO_REAL_PAGES"); given != nullptr && *given != 0) {
    return given;
  }
  const fs::path beside = fs::path(VELKARO_BATCH_EXE).parent_path().parent_path() / "real-pages";
  return fs::is_directory(beside) ? beside.string() : "";
}

TEST(RealPages, CompressionGluesNoWordOfLilypondsGermanManual) {
  const std::string package = "lilypond-doc-html-de";
  const std::string folder = RealPagesFolder();
  if (folder.empty()) {
    GTEST_SKIP() << "no real pages: scripts/real-pages fetches them into real-pages/ of the "
                    "build folder (or set VELKARO_REAL_PAGES)";
  }
  const fs::path source = fs::path(folder) / package;
  ASSERT_TRUE(fs::is_directory(source))
      << source << " is missing: scripts/real-pages " << package << " fetches it";

  test::TempDir dir;
  const fs::path pages = fs::path(dir.Path()) / "pages";
  fs::copy(source, pages, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  std::vector<fs::path> files;
  std::vector<Words> before;
  std::uintmax_t sizeBefore = 0;
  for (const auto& entry : fs::recursive_directory_iterator(pages)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".html") continue;
    files.push_back(entry.path());
    before.push_back(VisibleWords(test::ReadFile(entry.path().string())));
    sizeBefore += entry.file_size();
  }
  ASSERT_GT(files.size(), 100u) << "too few pages in " << source;

  fs::create_directories(dir.File("config"));
  const test::ProgramRun run = test::RunProgram({"-o", "2", "--no-backup", "-r", pages.string()},
                                                dir.Path(), dir.File("config"));
  ASSERT_EQ(run.exitCode, 0) << run.err;

  std::uintmax_t sizeAfter = 0;
  int gluedPages = 0;
  for (std::size_t k = 0; k < files.size(); ++k) {
    sizeAfter += fs::file_size(files[k]);
    const test::WordChanges changes =
        CompareWords(before[k], VisibleWords(test::ReadFile(files[k].string())));
    if (changes.empty()) continue;
    ++gluedPages;
    std::string shown;
    for (std::size_t w = 0; w < changes.gained.size() && w < 5; ++w) {
      shown += " \"" + changes.gained[w] + "\"";
    }
    ADD_FAILURE() << files[k].lexically_relative(pages) << ": " << changes.lost.size()
                  << " words lost, " << changes.gained.size() << " new, such as" << shown;
  }
  // Compression did work on these pages; otherwise the comparison would prove nothing.
  EXPECT_LT(sizeAfter, sizeBefore);
  std::printf("%s: %zu pages, %ju -> %ju bytes (%.2f %% saved), %d with glued words\n",
              package.c_str(), files.size(), sizeBefore, sizeAfter,
              100.0 * static_cast<double>(sizeBefore - sizeAfter) / sizeBefore, gluedPages);
}

// The unpacked package `package`, or "" when the real pages are not there and not required
// (the test is then skipped by the caller).
fs::path RealPackage(const std::string& package) {
  const std::string folder = RealPagesFolder();
  return folder.empty() ? fs::path() : fs::path(folder) / package;
}

bool IsUtf8(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8() ==
         QByteArray::fromStdString(bytes);
}

// Lower-case words: a list pair finds its text in either case and writes it in its own.
Words Lowered(Words words) {
  for (std::string& word : words) word = QString::fromStdString(word).toLower().toStdString();
  return words;
}

TEST(RealPages, Utf8PagesStayUtf8AndKeepTheirWordsUnderEveryOperation) {
  const std::string package = "debian-reference-de";
  const fs::path source = RealPackage(package);
  if (source.empty()) {
    GTEST_SKIP() << "no real pages: scripts/real-pages fetches them into real-pages/ of the "
                    "build folder (or set VELKARO_REAL_PAGES)";
  }
  ASSERT_TRUE(fs::is_directory(source))
      << source << " is missing: scripts/real-pages " << package << " fetches it";

  test::TempDir dir;
  fs::create_directories(dir.File("config"));
  // A list as a user keeps it, in Windows-1252: tags, umlauts and typographic signs written as
  // entities, and a word.
  const std::pair<std::string, std::string> pairs[] = {
      {"<b>", "<strong>"}, {"</b>", "</strong>"},   {"\xE4", "&auml;"},  {"\xDC", "&Uuml;"},
      {"\xDF", "&szlig;"}, {"\x84", "&bdquo;"},     {"\x93", "&ldquo;"}, {"\x80", "&euro;"},
      {"\xAB", "\xAB"},    {"Referenz", "REFERENZ"}};
  std::string settings = "[Find HTML Code]\r\n";
  std::string replaces = "[Replace HTML Code]\r\n";
  for (std::size_t i = 0; i < std::size(pairs); ++i) {
    settings += std::to_string(i) + "=" + pairs[i].first + "\r\n";
    replaces += std::to_string(i) + "=" + pairs[i].second + "\r\n";
  }
  test::WriteFile(dir.File("list.ini"), settings + replaces);

  std::map<std::string, Words> before;  // by path below the package
  for (const auto& entry : fs::recursive_directory_iterator(source)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".html") continue;
    const std::string page = test::ReadFile(entry.path().string());
    ASSERT_TRUE(IsUtf8(page)) << entry.path();
    before[entry.path().lexically_relative(source).string()] = VisibleWords(page);
  }
  ASSERT_GT(before.size(), 10u) << "too few pages in " << source;

  for (int operation = 0; operation < 7; ++operation) {
    const fs::path pages = fs::path(dir.Path()) / ("op" + std::to_string(operation));
    fs::copy(source, pages, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const test::ProgramRun run =
        test::RunProgram({"--json", "-o", std::to_string(operation), "--no-backup", "-r", "-s",
                          "list.ini", pages.string()},
                         dir.Path(), dir.File("config"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray files =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object()["files"].toArray();
    ASSERT_EQ(static_cast<std::size_t>(files.size()), before.size());
    std::int64_t changes = 0;
    for (const auto& file : files) {
      const QJsonObject row = file.toObject();
      EXPECT_EQ(row["encoding"].toString().toStdString(), "utf-8")
          << row["path"].toString().toStdString();
      changes += row["special_chars"].toInteger() + row["html_code"].toInteger();
    }
    const bool replaces = operation == 0 || operation >= 4;
    for (const auto& [name, words] : before) {
      const std::string page = test::ReadFile((pages / name).string());
      EXPECT_TRUE(IsUtf8(page)) << "operation " << operation << ": " << name;
      const test::WordChanges changed =
          replaces ? CompareWords(Lowered(words), Lowered(VisibleWords(page)))
                   : CompareWords(words, VisibleWords(page));
      EXPECT_TRUE(changed.empty())
          << "operation " << operation << ": " << name << " lost " << changed.lost.size()
          << " words, such as \"" << (changed.lost.empty() ? "" : changed.lost[0]) << "\"";
    }
    // Every operation but plain compression rewrote characters or code on these pages.
    if (operation != 2) {
      EXPECT_GT(changes, 1000) << "operation " << operation;
    }
  }
}

}  // namespace
}  // namespace vk
