// Which rows the batch run reaches, in which order, and what it does for each before its
// steps: ticks read when the run gets there, one yield per file, the backup.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/batch_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::BatchRunTest;
using test::Cells;
using test::DeleteMarks;
using test::Flags;
using test::ReadFile;
using test::WriteFile;
using ::testing::ElementsAre;
using Row = std::vector<std::string>;

TEST_F(BatchRunTest, UntickedRowsSkippedAndTicksChangedDuringTheRunApplyLater) {
  for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"}) WriteFile(dir.File(name), "x");
  ListedRows<> rows({{true, "a.htm", dir.Path()},
                     {false, "b.htm", dir.Path()},
                     {false, "c.htm", dir.Path()},
                     {true, "d.htm", dir.Path()}});
  bool clicked = false;
  feedback.onYield = [&](int) {
    if (clicked) return;
    clicked = true;
    // "Auswahl umkehren" while the first file runs.
    for (ListedRow& row : rows.rows) row.ticked = !row.ticked;
  };
  RunBatch(Flags(2), rows, sink, feedback, {});
  EXPECT_THAT(sink.events, ElementsAre("clear", "start a.htm", "start b.htm", "start c.htm",
                                       "row a.htm", "row b.htm", "row c.htm", "sums"));
  EXPECT_EQ(sink.sums[1].name, "3 Datei(en)");
}

TEST_F(BatchRunTest, RowsAddedDuringTheRunAreNotReached) {
  WriteFile(dir.File("a.htm"), "x");
  ListedRows<> rows({{true, "a.htm", dir.Path()}});
  feedback.onYield = [&](int yields) {
    if (yields == 1) rows.rows.push_back({true, "a.htm", dir.Path()});
  };
  RunBatch(Flags(2), rows, sink, feedback, {});
  EXPECT_THAT(sink.events, ElementsAre("clear", "start a.htm", "row a.htm", "sums"));
}

// A file reached again in one run, through a link or the same path twice, is rewritten once:
// its later rows run no step, make no backup (which would replace the first one's) and show it
// as it is then. A hard link is a name of its own: the rewrite gives the page a file of its
// own, so the other name is rewritten too. A preview shows the same.
TEST_F(BatchRunTest, AFileReachedUnderAnotherNameIsRewrittenOncePerRun) {
  for (const bool dryRun : {true, false}) {
    SCOPED_TRACE(dryRun);
    test::TempDir site;
    std::filesystem::create_directory(site.File("sub"));
    WriteFile(site.File("home.htm"), "<b>x</b>");
    std::filesystem::create_symlink("home.htm", site.File("index.htm"));
    std::filesystem::create_hard_link(site.File("home.htm"), site.File("hard.htm"));
    std::filesystem::create_directory_symlink("..", site.File("sub/up"));
    ListedRows<> rows({{true, "home.htm", site.Path()},
                       {true, "index.htm", site.Path()},
                       {true, "home.htm", site.Path() + "/"},
                       {true, "home.htm", site.File("sub/up")},
                       {true, "hard.htm", site.Path()}});
    BatchOptions options;
    options.dryRun = dryRun;
    options.createBak = true;
    options.pagesAtOnce = 4;
    options.loadHtmlCodeList = test::SharedList([](Feedback&) {
      return HtmlCodeList{{"<b>"}, {"<b><i>"}};
    });
    test::RecordingSink recorded;
    RunBatch(Flags(0), rows, recorded, feedback, options);
    const std::string seen = dryRun ? "8 Byte" : "11 Byte";
    std::vector<Row> cells;
    for (const ResultRow& row : recorded.rows) cells.push_back(Cells(row));
    EXPECT_EQ(cells, (std::vector<Row>{{"home.htm", "8 Byte", "11 Byte", "-37", "0", "1"},
                                       {"index.htm", seen, seen, "0", "0", "0"},
                                       {"home.htm", seen, seen, "0", "0", "0"},
                                       {"home.htm", seen, seen, "0", "0", "0"},
                                       {"hard.htm", "8 Byte", "11 Byte", "-37", "0", "1"}}));
    for (const ResultRow& row : recorded.rows) EXPECT_THAT(row.messages, ElementsAre()) << row.path;
    const std::string changed = dryRun ? "<b>x</b>" : "<b><i>x</b>";
    EXPECT_EQ(ReadFile(site.File("home.htm")), changed);
    EXPECT_EQ(ReadFile(site.File("hard.htm")), changed);
    EXPECT_TRUE(std::filesystem::is_symlink(site.File("index.htm")));
    EXPECT_EQ(std::filesystem::exists(site.File("home.htm.bak")), !dryRun);
    if (!dryRun) {
      EXPECT_EQ(ReadFile(site.File("home.htm.bak")), "<b>x</b>");
    }
    EXPECT_FALSE(std::filesystem::exists(site.File("index.htm.bak")));
  }
}

TEST_F(BatchRunTest, TwoFilesOfTheSameNameKeepTheirOwnPaths) {
  std::filesystem::create_directory(dir.File("one"));
  std::filesystem::create_directory(dir.File("two"));
  WriteFile(dir.File("one/index.htm"), "\xE4");
  WriteFile(dir.File("two/index.htm"), "\xF6\xF6");
  ListedRows<> rows({{true, "index.htm", dir.File("one")}, {true, "index.htm", dir.File("two")}});
  RunBatch(Flags(1), rows, sink, feedback, {});
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"index.htm", "1 Byte", "6 Byte", "-500", "1", "0"}));
  EXPECT_EQ(Cells(sink.rows[1]), (Row{"index.htm", "2 Byte", "12 Byte", "-500", "2", "0"}));
  EXPECT_EQ(sink.rows[0].path, dir.File("one/index.htm"));
  EXPECT_EQ(sink.rows[1].path, dir.File("two/index.htm"));
  EXPECT_EQ(ReadFile(dir.File("one/index.htm")), "&auml;");
  EXPECT_EQ(ReadFile(dir.File("two/index.htm")), "&ouml;&ouml;");
}

TEST_F(BatchRunTest, OneYieldPerFileBeforeItsSteps) {
  WriteFile(dir.File("a.htm"), "");
  WriteFile(dir.File("b.htm"), "");
  ListedRows<> rows({{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}});
  // Empty pages: no step yields, only the run does.
  RunBatch(Flags(6), rows, sink, feedback, DeleteMarks());
  EXPECT_EQ(feedback.yields, 2);
}

TEST_F(BatchRunTest, BackupHoldsTheContentFromBeforeTheLatestRun) {
  const std::string page = dir.File("p.htm");
  WriteFile(page, "\xE4 1");
  ListedRows<> rows({{true, "p.htm", dir.Path()}});
  BatchOptions options;
  options.createBak = true;
  RunBatch(Flags(1), rows, sink, feedback, options);
  EXPECT_EQ(ReadFile(page + ".bak"), "\xE4 1");
  EXPECT_EQ(ReadFile(page), "&auml; 1");
  WriteFile(page, "\xF6 2");
  RunBatch(Flags(1), rows, sink, feedback, options);
  EXPECT_EQ(ReadFile(page + ".bak"), "\xF6 2");
  EXPECT_EQ(ReadFile(page), "&ouml; 2");
  // One backup, nothing else left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

}  // namespace
}  // namespace vk
