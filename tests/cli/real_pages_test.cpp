// Real pages through velkaro-batch: the HTML pages of a Debian documentation package, fetched
// and unpacked by scripts/real-pages, keep every word of their visible text when compressed.
// Also the word reader that check relies on.
//
// The pages are looked for in $VELKARO_REAL_PAGES (scripts/test sets it; then a missing folder
// is a failure), else in real-pages/ of the build folder (missing: the test is skipped).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
  const test::ProgramRun run =
      test::RunProgram({"-o", "2", "--no-backup", "-r", "-s", "none.ini", pages.string()},
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

}  // namespace
}  // namespace vk
