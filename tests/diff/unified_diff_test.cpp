#include "diff/unified_diff.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "diff_support.h"
#include "engine/compress.h"
#include "engine/feedback.h"
#include "support/test_support.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

std::string Unified(const std::string& oldText, const std::string& newText,
                    const std::string& path = "seite.html") {
  std::string out;
  AppendUnifiedDiff(DiffPages(oldText, newText, {.characters = false}), oldText, newText, path,
                    out);
  return out;
}

TEST(AppendUnifiedDiff, PrintsHunksAsDiffDoes) {
  struct Case {
    std::string oldText, newText, path, expected;
  };
  const Case cases[] = {
      {"a\nb\n", "a\nb\n", "p", ""},
      {"", "a\n", "p", "--- a/p\n+++ b/p\n@@ -0,0 +1 @@\n+a\n"},
      {"a\nb\n", "", "p", "--- a/p\n+++ b/p\n@@ -1,2 +0,0 @@\n-a\n-b\n"},
      // Two changes nine lines apart make two hunks; the last line gains its line break.
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12", "1\nzwei\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
       "ordner/seite.html",
       "--- a/ordner/seite.html\n+++ b/ordner/seite.html\n"
       "@@ -1,5 +1,5 @@\n 1\n-2\n+zwei\n 3\n 4\n 5\n"
       "@@ -9,4 +9,4 @@\n 9\n 10\n 11\n-12\n\\ No newline at end of file\n+12\n"},
      // Six lines apart: the contexts meet and make one hunk; an insertion names the line
      // before it.
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", "1\nzwei\n3\n4\n5\n6\n7\n8\nneun\n9\n", "p",
       "--- a/p\n+++ b/p\n@@ -1,9 +1,10 @@\n 1\n-2\n+zwei\n 3\n 4\n 5\n 6\n 7\n 8\n+neun\n 9\n"},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", "1\n2\n3\n4\n5\n6\n7\n8\n8a\n9\n", "p",
       "--- a/p\n+++ b/p\n@@ -6,4 +6,5 @@\n 6\n 7\n 8\n+8a\n 9\n"},
      // An unchanged last line without a line break is marked as context too.
      {"a\r\nb", "A\r\nb", "p",
       "--- a/p\n+++ b/p\n@@ -1,2 +1,2 @@\n-a\r\n+A\r\n b\n\\ No newline at end of file\n"},
      {"x\n", "y\n", "Neuer Ordner/x \"y\".html",
       "--- \"a/Neuer Ordner/x \\\"y\\\".html\"\n+++ \"b/Neuer Ordner/x \\\"y\\\".html\"\n"
       "@@ -1 +1 @@\n-x\n+y\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Unified(c.oldText, c.newText, c.path), c.expected) << c.oldText;
  }
}

std::string CompressedPage(const std::string& page) {
  std::string compressed;
  SilentFeedback feedback;
  EXPECT_EQ(CompressHtmlText(page, compressed, "seite.htm", feedback), CompressOutcome::kChanged);
  return compressed;
}

std::string LongPage() {
  test::Rng rng(23);
  std::string page = "<html>\r\n<body>\r\n";
  for (int i = 0; i < 300; ++i) {
    page += "\t<p>  ";
    page += rng.Text(20 + rng.Below(300), "abcdefghij klmnop");
    page += "  </p>\r\n";
  }
  return page + "</body>\r\n</html>";
}

// patch -p1 applied to a copy of the old folder gives exactly the new pages.
TEST(AppendUnifiedDiff, PatchRebuildsTheNewPagesByteForByte) {
  struct Page {
    std::string path, oldText, newText;
  };
  const std::string longPage = LongPage();
  std::vector<Page> pages = {
      {"crlf.html", "<p>\r\nalt\r\n</p>\r\n<p>bleibt</p>\r\n", "<p>\r\nneu\r\n</p>\r\n"},
      {"ohne-ende.html", "a\nb\nc", "a\nB\nc"},
      {"crlf-ohne-ende.html", "a\r\nb\r\nc\r\nd", "a\r\nB\r\nc\r\nD"},
      {"ende-neu.html", "a\nb\nc", "a\nb\nc\n"},
      {"ende-weg.html", "a\nb\nc\n", "a\nb\nc"},
      {"nur-ende.html", "x", "y"},
      {"eine-zeile.html", longPage, CompressedPage(longPage)},
      {"aufgeteilt.html", CompressedPage(longPage), longPage},
      {"unter/ordner/seite.htm", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n",
       "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n"},
      {"mit blank.html", "K\xE4se\n", "K&auml;se\n"},
      {"leer.html", "alles\nweg\n", ""},
      {"neu.html", "", "ganz\nneu"},
      // Lines that look like diff syntax once they are printed.
      {"syntax.html", "--- a\n+++ b\n@@ -1 +1 @@\n\\ x\n \n",
       "--- a\n+++ c\n@@ -1 +1 @@\n\\ y\n\r\n"},
      {"cr.html", "\r\n\r\n\r", "\r\n\r"},
  };
  test::TempDir dir;
  const fs::path root = dir.Path();
  std::string diffText;
  for (const Page& page : pages) {
    const fs::path oldFile = root / "alt" / page.path;
    fs::create_directories(oldFile.parent_path());
    test::WriteFile(oldFile.string(), page.oldText);
    AppendUnifiedDiff(DiffPages(page.oldText, page.newText, {.characters = false}), page.oldText,
                      page.newText, page.path, diffText);
  }
  fs::copy(root / "alt", root / "arbeit", fs::copy_options::recursive);
  test::WriteFile((root / "diff.patch").string(), diffText);

  const std::string command = "patch -p1 --batch --fuzz=0 --no-backup-if-mismatch -d '" +
                              (root / "arbeit").string() + "' -i '" +
                              (root / "diff.patch").string() + "' > '" +
                              (root / "patch.log").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_EQ(status, 0) << test::ReadFile((root / "patch.log").string());
  for (const Page& page : pages) {
    EXPECT_EQ(test::ReadFile((root / "arbeit" / page.path).string()), page.newText) << page.path;
  }
  // Nothing beside the pages (no rejects, no backups).
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root / "arbeit")) {
    files += entry.is_regular_file();
  }
  EXPECT_EQ(files, pages.size());
}

}  // namespace
}  // namespace vk
