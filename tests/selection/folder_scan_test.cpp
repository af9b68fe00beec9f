// Which files a folder lists, how their rows read, and single-file rows.
#include "selection/folder_scan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "scan_support.h"
#include "selection/folder_walk.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::RowTexts;
using test::ScopedTimeZone;
using test::SetModificationTime;
using test::UtcTime;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAreArray;

TEST(IsHtmlFileName, ThePartAfterTheLastPeriodBeginsWithHtm) {
  const struct {
    const char* name;
    bool html;
  } cases[] = {
      {"index.HTML", true}, {"a.htm", true},    {"b.Htm", true},      {"c.html", true},
      {"d.hTmL", true},     {".e.htm", true},   {".htm", true},       {"f.htmx", true},
      {"g.h.htm", true},    {"c.shtml", false}, {"d.htm.bak", false}, {"noext", false},
      {"htm", false},       {"e.xhtml", false}, {"f.txt", false},     {"g.ht", false},
      {"h.", false},        {"", false},        {"i.hmt", false},     {"j. htm", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsHtmlFileName(c.name), c.html) << c.name;
}

TEST(FullPath, ASeparatorJoinsFolderAndNameUnlessTheFolderEndsWithOne) {
  const struct {
    const char* folder;
    const char* name;
    const char* path;
  } cases[] = {
      {"/home/u/site", "a.htm", "/home/u/site/a.htm"},
      {"/home/u/site/", "a.htm", "/home/u/site/a.htm"},
      {"/", "a.htm", "/a.htm"},
  };
  for (const auto& c : cases) EXPECT_EQ(FullPath(c.folder, c.name), c.path);
}

// A folder with pages, non-pages, a hidden page, a folder named like a page and links.
class ListFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::time_t afternoon = UtcTime(2010, 3, 7, 14, 5, 9);
    const std::time_t midnight = UtcTime(2010, 3, 7, 0, 0, 0);
    Page("index.HTML", std::string(5, 'x'), afternoon);
    Page("a.htm", std::string(1500, 'x'), midnight);
    Page("b.Htm", "", UtcTime(1975, 6, 15, 8, 30, 45));
    Page(".e.htm", "<p>", afternoon);
    Page("c.shtml", "<p>", afternoon);
    Page("d.htm.bak", "<p>", afternoon);
    Page("noext", "<p>", afternoon);
    test::MakeFolder(dir_.File("old.htm"));
    test::MakeLink("a.htm", dir_.File("link.htm"));
    test::MakeLink("nowhere.htm", dir_.File("dangling.htm"));
    test::MakeLink("old.htm", dir_.File("folderlink.htm"));
    ASSERT_EQ(mkfifo(dir_.File("pipe.htm").c_str(), 0600), 0);
  }

  void Page(const std::string& name, const std::string& content, std::time_t time) {
    test::WriteFile(dir_.File(name), content);
    SetModificationTime(dir_.File(name), time);
  }

  ScopedTimeZone utc_{"UTC0"};
  QLocale german_{QLocale::German, QLocale::Germany};
  test::TempDir dir_;
};

TEST_F(ListFolderTest, RowsForEveryHtmlFileAndNothingElse) {
  std::vector<FileListRow> rows;
  ListFolder(dir_.Path(), true, rows, german_);
  const std::string& f = dir_.Path();
  EXPECT_THAT(RowTexts(rows), UnorderedElementsAreArray({
                                  "x|index.HTML|07.03.2010 14:05:08|5 Byte|" + f,
                                  "x|a.htm|07.03.2010|1.500 Byte|" + f,
                                  "x|b.Htm|15.06.1975 08:30:44|0 Byte|" + f,
                                  "x|.e.htm|07.03.2010 14:05:08|3 Byte|" + f,
                                  "x|link.htm|07.03.2010|1.500 Byte|" + f,
                              }));
}

// Most Linux file systems enumerate a folder in hash order; the rows come sorted by what the
// names show, ignoring case, in the locale's collation, a Windows-1252 name among them.
TEST(ListFolderOrderTest, EachFolderSortedByNameIgnoringCase) {
  test::TempDir dir;
  const std::vector<std::string> sorted = {"apfel.htm",     "Äpfel.htm",    "\xC4rger.htm",
                                           "seite1.htm",    "seite10.htm",  "Seite2.htm",
                                           "seite3412.htm", "SEITE3585.htm"};
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) test::WriteFile(dir.File(*it), "x");
  std::vector<FileListRow> rows(1);  // rows already there stay in front
  rows[0].name = "kept";
  ListFolder(dir.Path(), false, rows, QLocale(QLocale::German, QLocale::Germany));
  std::vector<std::string> names;
  for (const FileListRow& row : rows) names.push_back(row.name);
  std::vector<std::string> expected = {"kept"};
  expected.insert(expected.end(), sorted.begin(), sorted.end());
  EXPECT_THAT(names, ElementsAreArray(expected));
}

TEST_F(ListFolderTest, HiddenPagesSortAmongTheOthers) {
  std::vector<FileListRow> rows;
  ListFolder(dir_.Path(), false, rows, german_);
  std::vector<std::string> names;
  for (const FileListRow& row : rows) names.push_back(row.name);
  EXPECT_THAT(names, ElementsAreArray({".e.htm", "a.htm", "b.Htm", "index.HTML", "link.htm"}));
}

TEST_F(ListFolderTest, TickFolderTextAndAppending) {
  std::vector<FileListRow> rows(1);
  rows[0].name = "kept";
  ListFolder(dir_.Path() + "/", false, rows, german_);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0].name, "kept");
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_FALSE(rows[i].ticked) << rows[i].name;
    EXPECT_EQ(rows[i].folder, dir_.Path()) << "no trailing separator";
    EXPECT_EQ(FullPath(rows[i].folder, rows[i].name), dir_.File(rows[i].name));
  }
}

TEST_F(ListFolderTest, FoldersThatCannotBeListedAddNothing) {
  const std::string locked = dir_.File("locked");
  test::MakeFolder(locked);
  test::WriteFile(locked + "/inside.htm", "<p>");
  chmod(locked.c_str(), 0);
  const std::vector<std::string> folders = {
      dir_.File("missing"),
      dir_.File("a.htm"),
      "",
      dir_.File("dangling.htm"),
      test::RunningAsRoot() ? dir_.File("missing2") : locked,  // root reads it anyway
  };
  for (const std::string& folder : folders) {
    std::vector<FileListRow> rows;
    ListFolder(folder, true, rows, german_);
    EXPECT_TRUE(rows.empty()) << "'" << folder << "' listed " << rows.size();
  }
}

class ScanFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* page : {"top.htm", "alpha/a1.htm", "alpha/Zeta/z.htm", "Beta/b1.htm",
                             "zulu/z.htm", "Ärger/ä.htm", ".svn/hidden.htm", ".x/inner/x.htm"}) {
      const std::string path = dir_.File(page);
      test::MakeFolder(std::filesystem::path(path).parent_path().string());
      test::WriteFile(path, "1234");
      SetModificationTime(path, UtcTime(2010, 3, 7, 0, 0, 0));
    }
    test::WriteFile(dir_.File("alpha/notes.txt"), "no");
  }

  ScopedTimeZone utc_{"UTC0"};
  QLocale german_{QLocale::German, QLocale::Germany};
  test::TempDir dir_;
};

TEST_F(ScanFolderTest, WithoutSubfoldersOnlyTheFolderItself) {
  std::vector<FileListRow> rows;
  test::RecordingFeedback feedback;
  ScanFolder(dir_.Path(), true, false, rows, feedback, german_);
  EXPECT_THAT(RowTexts(rows), ElementsAreArray({"x|top.htm|07.03.2010|4 Byte|" + dir_.Path()}));
  EXPECT_TRUE(feedback.statuses.empty());
  EXPECT_EQ(feedback.yields, 0);
}

TEST_F(ScanFolderTest, WithSubfoldersTheStartFirstThenTheFoldersInCollationOrder) {
  const std::string& d = dir_.Path();
  for (const std::string& folder : {d, d + "/"}) {
    std::vector<FileListRow> rows;
    test::RecordingFeedback feedback;
    ScanFolder(folder, false, true, rows, feedback, german_);
    EXPECT_THAT(RowTexts(rows), ElementsAreArray({
                                    "-|top.htm|07.03.2010|4 Byte|" + d,
                                    "-|a1.htm|07.03.2010|4 Byte|" + d + "/alpha",
                                    "-|z.htm|07.03.2010|4 Byte|" + d + "/alpha/Zeta",
                                    "-|ä.htm|07.03.2010|4 Byte|" + d + "/Ärger",
                                    "-|b1.htm|07.03.2010|4 Byte|" + d + "/Beta",
                                    "-|z.htm|07.03.2010|4 Byte|" + d + "/zulu",
                                }));
    EXPECT_THAT(feedback.statuses, UnorderedElementsAreArray({
                                       "Lese Ordnerstruktur: " + d + "/alpha/",
                                       "Lese Ordnerstruktur: " + d + "/alpha/Zeta/",
                                       "Lese Ordnerstruktur: " + d + "/Ärger/",
                                       "Lese Ordnerstruktur: " + d + "/Beta/",
                                       "Lese Ordnerstruktur: " + d + "/zulu/",
                                   }));
    EXPECT_TRUE(feedback.errors.empty());
  }
}

TEST_F(ScanFolderTest, NoFolderNoRowsAndNoWalk) {
  std::vector<FileListRow> rows;
  test::RecordingFeedback feedback;
  ScanFolder("", true, true, rows, feedback, german_);
  ScanFolder(dir_.File("missing"), true, true, rows, feedback, german_);
  EXPECT_TRUE(rows.empty());
  EXPECT_TRUE(feedback.statuses.empty());
}

TEST(MakeSingleFileRow, NameDateSizeAndFolderOfOneFile) {
  ScopedTimeZone utc("UTC0");
  test::TempDir dir;
  test::MakeFolder(dir.File("sub"));
  test::WriteFile(dir.File("sub/page.txt"), std::string(1024, 'x'));
  SetModificationTime(dir.File("sub/page.txt"), UtcTime(2010, 3, 7, 0, 0, 0));

  const FileListRow row = MakeSingleFileRow(dir.File("sub/page.txt"), true);
  EXPECT_TRUE(row.ticked);
  EXPECT_EQ(row.name, "page.txt");
  EXPECT_EQ(row.size, "1.024 Byte");
  EXPECT_EQ(row.folder, dir.File("sub"));
  EXPECT_FALSE(row.date.empty());

  const FileListRow doubled = MakeSingleFileRow(dir.Path() + "/sub//page.txt", false);
  EXPECT_FALSE(doubled.ticked);
  EXPECT_EQ(doubled.folder, dir.File("sub"));
  EXPECT_EQ(FullPath(doubled.folder, doubled.name), dir.File("sub/page.txt"));
}

TEST(MakeSingleFileRow, MissingFilesAndTheRootFolder) {
  const FileListRow inRoot = MakeSingleFileRow("/velkaro-no-such-page.htm", true);
  EXPECT_EQ(test::RowText(inRoot), "x|velkaro-no-such-page.htm||0 Byte|/");
  EXPECT_EQ(FullPath(inRoot.folder, inRoot.name), "/velkaro-no-such-page.htm");
}

TEST(MakeSingleFileRow, ARelativePathIsTakenFromTheCurrentFolder) {
  test::TempDir dir;
  test::WriteFile(dir.File("here.htm"), "12");
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.Path());
  const FileListRow plain = MakeSingleFileRow("here.htm", true);
  const FileListRow dotted = MakeSingleFileRow("./here.htm", true);
  std::filesystem::current_path(previous);
  const std::string real = std::filesystem::canonical(dir.Path()).string();
  for (const FileListRow& row : {plain, dotted}) {
    EXPECT_EQ(row.name, "here.htm");
    EXPECT_EQ(row.folder, real);
    EXPECT_EQ(row.size, "2 Byte");
  }
}

}  // namespace
}  // namespace vk
