// The batch run through a recording sink: rows, cells, sums rows, backups and messages.
#include "batch/batch_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/batch_support.h"
#include "engine/my_tools.h"
#include "settings/ini_file.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::Cells;
using test::ListRow;
using test::ReadFile;
using test::RecordingSink;
using test::ScriptedFeedback;
using test::TempDir;
using test::VectorRows;
using test::WriteFile;
using ::testing::ElementsAre;
using Row = std::vector<std::string>;

const ProcessFlags& Flags(int operation) { return OperationKinds()[operation].flags; }

// A page of `size` bytes holding `marks` times the ten-byte mark the test list deletes.
std::string PageWithMarks(std::size_t size, int marks) {
  std::string page;
  for (int i = 0; i < marks; ++i) page += "0123456789" + std::string(90, 'x');
  page.resize(size, 'y');
  return page;
}

BatchOptions DeleteMarks(int* loads = nullptr) {
  BatchOptions options;
  options.loadHtmlCodeList = [loads](Feedback&) {
    if (loads != nullptr) ++*loads;
    return HtmlCodeList{{"0123456789"}, {""}};
  };
  return options;
}

class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override { MyTools().SetThousandsSeparator("."); }
  TempDir dir;
  RecordingSink sink;
  ScriptedFeedback feedback;
};

TEST(SavingPercentTest, WholePercentTruncatedTowardZero) {
  struct Case {
    std::int64_t oldSize, newSize;
    std::optional<std::int64_t> saving;
  };
  const Case cases[] = {
      {1000, 900, 10},  {1000, 991, 1}, {1000, 1000, 0},      {1000, 1009, 0},
      {1000, 1010, -1}, {1000, 0, 100}, {0, 0, std::nullopt}, {0, 50, std::nullopt},
      {-1, -1, 0},      {3, 1, 67},     {1000, 2000, -100},   {5000000000LL, 2500000000LL, 50},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SavingPercent(c.oldSize, c.newSize), c.saving) << c.oldSize << " -> " << c.newSize;
  }
}

TEST(SumRowsTest, TitleRowAndTotalsRow) {
  MyTools().SetThousandsSeparator(".");
  const auto rows = SumRows(3, 3000, 2700, 4, 30);
  EXPECT_EQ(Cells(rows[0]), (Row{"**Summen**", "", "", "", "", ""}));
  EXPECT_EQ(rows[0].path, "");
  EXPECT_EQ(Cells(rows[1]), (Row{"3 Datei(en)", "3.000 Byte", "2.700 Byte", "10", "4", "30"}));
  EXPECT_EQ(rows[1].savingPercent, 10);

  const auto empty = SumRows(2, 0, 0, 0, 0);
  EXPECT_EQ(Cells(empty[1]), (Row{"2 Datei(en)", "0 Byte", "0 Byte", "", "", ""}));
  EXPECT_EQ(empty[1].savingPercent, std::nullopt);

  const auto missing = SumRows(1, -1, -1, 0, 0);
  EXPECT_EQ(Cells(missing[1]), (Row{"1 Datei(en)", "0 Byte", "0 Byte", "0", "0", "0"}));
}

TEST_F(BatchRunTest, ThreeFilesShrinkingWithTheirSums) {
  WriteFile(dir.File("a.htm"), PageWithMarks(1000, 10));
  WriteFile(dir.File("b.htm"), PageWithMarks(2000, 20));
  WriteFile(dir.File("c.htm"), "");
  VectorRows rows({{true, "a.htm", dir.Path()},
                   {true, "b.htm", dir.Path()},
                   {true, "c.htm", dir.Path() + "/"}});
  RunBatch(Flags(0), rows, sink, feedback, DeleteMarks());

  EXPECT_THAT(sink.events, ElementsAre("clear", "start a.htm", "row a.htm", "start b.htm",
                                       "row b.htm", "start c.htm", "row c.htm", "sums"));
  ASSERT_EQ(sink.rows.size(), 3u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"a.htm", "1.000 Byte", "900 Byte", "10", "0", "10"}));
  EXPECT_EQ(Cells(sink.rows[1]), (Row{"b.htm", "2.000 Byte", "1.800 Byte", "10", "0", "20"}));
  EXPECT_EQ(Cells(sink.rows[2]), (Row{"c.htm", "0 Byte", "0 Byte", "0", "0", "0"}));
  EXPECT_EQ(sink.rows[0].path, dir.File("a.htm"));
  EXPECT_EQ(sink.rows[2].path, dir.File("c.htm"));
  EXPECT_EQ(sink.rows[1].bytesBefore, 2000);
  EXPECT_EQ(sink.rows[1].bytesAfter, 1800);
  ASSERT_EQ(sink.sums.size(), 2u);
  EXPECT_EQ(Cells(sink.sums[0]), (Row{"**Summen**", "", "", "", "", ""}));
  EXPECT_EQ(Cells(sink.sums[1]), (Row{"3 Datei(en)", "3.000 Byte", "2.700 Byte", "10", "0", "30"}));
  EXPECT_EQ(ReadFile(dir.File("a.htm")), std::string(900, 'x'));
  EXPECT_EQ(ReadFile(dir.File("b.htm")), std::string(1800, 'x'));
  EXPECT_EQ(ReadFile(dir.File("c.htm")), "");
  EXPECT_TRUE(feedback.errors.empty());
}

TEST_F(BatchRunTest, EveryFileEmptyLeavesSavingAndCountsOfTheTotalsEmpty) {
  WriteFile(dir.File("a.htm"), "");
  WriteFile(dir.File("b.html"), "");
  VectorRows rows({{true, "a.htm", dir.Path()}, {true, "b.html", dir.Path()}});
  RunBatch(Flags(6), rows, sink, feedback, DeleteMarks());
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"a.htm", "0 Byte", "0 Byte", "0", "0", "0"}));
  EXPECT_EQ(Cells(sink.rows[1]), (Row{"b.html", "0 Byte", "0 Byte", "0", "0", "0"}));
  EXPECT_EQ(Cells(sink.sums[1]), (Row{"2 Datei(en)", "0 Byte", "0 Byte", "", "", ""}));
  EXPECT_EQ(sink.sums[1].savingPercent, std::nullopt);
}

TEST_F(BatchRunTest, GrowingFileHasNegativeSaving) {
  // Two umlauts become "&auml;" and "&uuml;": 1000 bytes grow to 1010.
  std::string page(998, 'x');
  page += "\xE4\xFC";
  WriteFile(dir.File("grow.htm"), page);
  VectorRows rows({{true, "grow.htm", dir.Path()}});
  RunBatch(Flags(1), rows, sink, feedback, {});
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"grow.htm", "1.000 Byte", "1.010 Byte", "-1", "2", "0"}));
  EXPECT_EQ(ReadFile(dir.File("grow.htm")), std::string(998, 'x') + "&auml;&uuml;");
  EXPECT_EQ(Cells(sink.sums[1]), (Row{"1 Datei(en)", "1.000 Byte", "1.010 Byte", "-1", "2", "0"}));
}

TEST_F(BatchRunTest, MissingFileGetsItsRowEachStepsErrorAndNoBackup) {
  const std::string path = dir.File("gone.htm");
  VectorRows rows({{true, "gone.htm", dir.Path()}});
  BatchOptions options = DeleteMarks();
  options.createBak = true;
  RunBatch(Flags(6), rows, sink, feedback, options);
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"gone.htm", "0 Byte", "0 Byte", "0", "0", "0"}));
  EXPECT_EQ(sink.rows[0].bytesBefore, -1);
  EXPECT_EQ(sink.rows[0].bytesAfter, -1);
  const std::vector<std::string> expected = {
      "Konnte " + path + " nicht öffnen, schreiben oder Fehler in Datei!",
      "Konnte " + path + " nicht öffnen oder schreiben!",
      "Konnte " + path + " nicht öffnen, schreiben oder Fehler in Datei!"};
  EXPECT_EQ(feedback.errors, expected);
  EXPECT_EQ(sink.rows[0].messages, expected);
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
  EXPECT_FALSE(std::filesystem::exists(path));
  // -1 enters both totals.
  EXPECT_EQ(sink.sums[1].bytesBefore, -1);
  EXPECT_EQ(sink.sums[1].bytesAfter, -1);
  EXPECT_EQ(Cells(sink.sums[1]), (Row{"1 Datei(en)", "0 Byte", "0 Byte", "0", "0", "0"}));
}

TEST_F(BatchRunTest, MissingFileCountsInTheTotalsBesideRealOnes) {
  WriteFile(dir.File("a.htm"), PageWithMarks(1000, 10));
  VectorRows rows({{true, "gone.htm", dir.Path()}, {true, "a.htm", dir.Path()}});
  RunBatch(Flags(0), rows, sink, feedback, DeleteMarks());
  EXPECT_EQ(sink.sums[1].bytesBefore, 999);
  EXPECT_EQ(sink.sums[1].bytesAfter, 899);
  EXPECT_EQ(Cells(sink.sums[1]), (Row{"2 Datei(en)", "999 Byte", "899 Byte", "11", "0", "10"}));
}

TEST_F(BatchRunTest, UntickedRowsSkippedAndTicksChangedDuringTheRunApplyLater) {
  for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"}) WriteFile(dir.File(name), "x");
  VectorRows rows({{true, "a.htm", dir.Path()},
                   {false, "b.htm", dir.Path()},
                   {false, "c.htm", dir.Path()},
                   {true, "d.htm", dir.Path()}});
  bool clicked = false;
  feedback.onYield = [&](int) {
    if (clicked) return;
    clicked = true;
    // "Auswahl umkehren" while the first file runs.
    for (ListRow& row : rows.rows) row.ticked = !row.ticked;
  };
  RunBatch(Flags(2), rows, sink, feedback, {});
  EXPECT_THAT(sink.events, ElementsAre("clear", "start a.htm", "row a.htm", "start b.htm",
                                       "row b.htm", "start c.htm", "row c.htm", "sums"));
  EXPECT_EQ(sink.sums[1].name, "3 Datei(en)");
}

TEST_F(BatchRunTest, RowsAddedDuringTheRunAreNotReached) {
  WriteFile(dir.File("a.htm"), "x");
  VectorRows rows({{true, "a.htm", dir.Path()}});
  feedback.onYield = [&](int yields) {
    if (yields == 1) rows.rows.push_back({true, "a.htm", dir.Path()});
  };
  RunBatch(Flags(2), rows, sink, feedback, {});
  EXPECT_THAT(sink.events, ElementsAre("clear", "start a.htm", "row a.htm", "sums"));
}

TEST_F(BatchRunTest, TwoFilesOfTheSameNameKeepTheirOwnPaths) {
  std::filesystem::create_directory(dir.File("one"));
  std::filesystem::create_directory(dir.File("two"));
  WriteFile(dir.File("one/index.htm"), "\xE4");
  WriteFile(dir.File("two/index.htm"), "\xF6\xF6");
  VectorRows rows({{true, "index.htm", dir.File("one")}, {true, "index.htm", dir.File("two")}});
  RunBatch(Flags(1), rows, sink, feedback, {});
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"index.htm", "1 Byte", "6 Byte", "-500", "1", "0"}));
  EXPECT_EQ(Cells(sink.rows[1]), (Row{"index.htm", "2 Byte", "12 Byte", "-500", "2", "0"}));
  EXPECT_EQ(sink.rows[0].path, dir.File("one/index.htm"));
  EXPECT_EQ(sink.rows[1].path, dir.File("two/index.htm"));
  EXPECT_EQ(ReadFile(dir.File("one/index.htm")), "&auml;");
  EXPECT_EQ(ReadFile(dir.File("two/index.htm")), "&ouml;&ouml;");
}

TEST_F(BatchRunTest, BackupHoldsTheContentFromBeforeTheLatestRun) {
  const std::string page = dir.File("p.htm");
  WriteFile(page, "\xE4 1");
  VectorRows rows({{true, "p.htm", dir.Path()}});
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

TEST_F(BatchRunTest, OperationsWithoutAStepShowZeroInItsColumn) {
  const std::string content = "<b>\xE4</b>  \r\n<b>x</b>";
  struct Case {
    int operation;
    Row cells;
    int loads;
  };
  const Case cases[] = {
      {0, {"p.htm", "20 Byte", "30 Byte", "-50", "0", "2"}, 1},
      {1, {"p.htm", "20 Byte", "25 Byte", "-25", "1", "0"}, 0},
      {2, {"p.htm", "20 Byte", "18 Byte", "10", "0", "0"}, 0},
  };
  for (const Case& c : cases) {
    WriteFile(dir.File("p.htm"), content);
    int loads = 0;
    BatchOptions options;
    options.loadHtmlCodeList = [&loads](Feedback&) {
      ++loads;
      return HtmlCodeList{{"<b>"}, {"<strong>"}};
    };
    VectorRows rows({{true, "p.htm", dir.Path()}});
    RecordingSink runSink;
    RunBatch(Flags(c.operation), rows, runSink, feedback, options);
    ASSERT_EQ(runSink.rows.size(), 1u);
    EXPECT_EQ(Cells(runSink.rows[0]), c.cells) << "operation " << c.operation;
    EXPECT_EQ(loads, c.loads) << "operation " << c.operation;
  }
}

TEST_F(BatchRunTest, ListLoadedOncePerFileWithReplacement) {
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) WriteFile(dir.File(name), "x");
  VectorRows rows({{true, "a.htm", dir.Path()},
                   {false, "b.htm", dir.Path()},
                   {true, "c.htm", dir.Path()},
                   {true, "gone.htm", dir.Path()}});
  for (int operation : {0, 4, 5, 6}) {
    int loads = 0;
    RunBatch(Flags(operation), rows, sink, feedback, DeleteMarks(&loads));
    EXPECT_EQ(loads, 3) << "operation " << operation;
  }
}

TEST_F(BatchRunTest, ReadOnlyPageReportsTheFailedWriteAndKeepsItsBytes) {
  const std::string page = dir.File("ro.htm");
  WriteFile(page, "\xE4\xE4 x");
  chmod(page.c_str(), 0444);
  VectorRows rows({{true, "ro.htm", dir.Path()}});
  RunBatch(Flags(1), rows, sink, feedback, {});
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"ro.htm", "4 Byte", "4 Byte", "0", "2", "0"}));
  EXPECT_THAT(sink.rows[0].messages,
              ElementsAre("Konnte " + page + " nicht öffnen oder schreiben!"));
  EXPECT_EQ(ReadFile(page), "\xE4\xE4 x");
}

TEST_F(BatchRunTest, NulPageMessagesOfEveryStepInOrder) {
  const std::string page = dir.File("nul.htm");
  WriteFile(page, std::string("a\0\xE4  b", 6));
  VectorRows rows({{true, "nul.htm", dir.Path()}});
  BatchOptions options;
  options.loadHtmlCodeList = [](Feedback&) { return HtmlCodeList{{"a"}, {"b"}}; };
  RunBatch(Flags(6), rows, sink, feedback, options);
  ASSERT_EQ(sink.rows.size(), 1u);
  const std::string nul = "Die Datei " + page + " enthält Null-Bytes und wird nicht verändert!";
  // Conversion works over the whole file; the other two steps leave it alone.
  EXPECT_THAT(sink.rows[0].messages, ElementsAre(nul, nul));
  EXPECT_EQ(ReadFile(page), std::string("a\0&auml;  b", 11));
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"nul.htm", "6 Byte", "11 Byte", "-83", "1", "0"}));
}

TEST_F(BatchRunTest, LoaderExceptionEndsTheRunWithoutSums) {
  WriteFile(dir.File("a.htm"), PageWithMarks(100, 1));
  WriteFile(dir.File("b.htm"), PageWithMarks(100, 1));
  VectorRows rows({{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}});
  BatchOptions options;
  options.loadHtmlCodeList = [](Feedback& feedback) -> HtmlCodeList {
    feedback.Error("Listenlängen werden angepasst!");
    throw IniWriteError("In /x/Velkaro.ini kann nicht geschrieben werden");
  };
  EXPECT_THROW(
      {
        try {
          RunBatch(Flags(6), rows, sink, feedback, options);
        } catch (const IniWriteError& error) {
          EXPECT_STREQ(error.what(), "In /x/Velkaro.ini kann nicht geschrieben werden");
          throw;
        }
      },
      IniWriteError);
  EXPECT_THAT(sink.events, ElementsAre("clear", "start a.htm", "row a.htm"));
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_FALSE(sink.rows[0].complete);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"a.htm", "100 Byte", "", "", "", ""}));
  EXPECT_THAT(sink.rows[0].messages, ElementsAre("Listenlängen werden angepasst!"));
  EXPECT_THAT(feedback.errors, ElementsAre("Listenlängen werden angepasst!"));
  EXPECT_EQ(ReadFile(dir.File("a.htm")), PageWithMarks(100, 1));
}

TEST_F(BatchRunTest, LoaderExceptionInALaterRowFinishesTheRowsAhead) {
  for (int pagesAtOnce : {1, 4}) {
    TempDir site;
    for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"}) {
      WriteFile(site.File(name), PageWithMarks(100, 1));
    }
    VectorRows rows({{true, "a.htm", site.Path()},
                     {true, "b.htm", site.Path()},
                     {true, "c.htm", site.Path()},
                     {true, "d.htm", site.Path()}});
    int loads = 0;
    BatchOptions options;
    options.pagesAtOnce = pagesAtOnce;
    options.loadHtmlCodeList = [&loads](Feedback& feedback) -> HtmlCodeList {
      if (++loads == 3) {
        feedback.Error("Listenlängen werden angepasst!");
        throw IniWriteError("In /x/Velkaro.ini kann nicht geschrieben werden");
      }
      return HtmlCodeList{{"0123456789"}, {""}};
    };
    RecordingSink runSink;
    test::RecordingFeedback runFeedback;
    EXPECT_THROW(RunBatch(Flags(0), rows, runSink, runFeedback, options), IniWriteError);
    ASSERT_EQ(runSink.rows.size(), 3u) << pagesAtOnce;
    EXPECT_EQ(Cells(runSink.rows[0]), (Row{"a.htm", "100 Byte", "90 Byte", "10", "0", "1"}));
    EXPECT_EQ(Cells(runSink.rows[1]), (Row{"b.htm", "100 Byte", "90 Byte", "10", "0", "1"}));
    EXPECT_EQ(Cells(runSink.rows[2]), (Row{"c.htm", "100 Byte", "", "", "", ""}));
    EXPECT_FALSE(runSink.rows[2].complete);
    EXPECT_THAT(runSink.rows[2].messages, ElementsAre("Listenlängen werden angepasst!"));
    EXPECT_TRUE(runSink.sums.empty());
    // With several pages in hand the rows are reported once their pages are done.
    const std::vector<std::string> events =
        pagesAtOnce == 1
            ? std::vector<std::string>{"clear",     "start a.htm", "row a.htm", "start b.htm",
                                       "row b.htm", "start c.htm", "row c.htm"}
            : std::vector<std::string>{"clear",     "start a.htm", "start b.htm", "start c.htm",
                                       "row a.htm", "row b.htm",   "row c.htm"};
    EXPECT_EQ(runSink.events, events);
    EXPECT_EQ(ReadFile(site.File("b.htm")), std::string(90, 'x'));
    EXPECT_EQ(ReadFile(site.File("c.htm")), PageWithMarks(100, 1));
    EXPECT_EQ(ReadFile(site.File("d.htm")), PageWithMarks(100, 1));
  }
}

TEST_F(BatchRunTest, LoaderMessagesLandInTheRowOfTheirFile) {
  WriteFile(dir.File("a.htm"), PageWithMarks(100, 1));
  WriteFile(dir.File("b.htm"), "y");
  VectorRows rows({{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}});
  int loads = 0;
  BatchOptions options;
  options.loadHtmlCodeList = [&loads](Feedback& feedback) {
    if (loads++ == 0) feedback.Error("repaired");
    return HtmlCodeList{{"0123456789"}, {""}};
  };
  RunBatch(Flags(0), rows, sink, feedback, options);
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_THAT(sink.rows[0].messages, ElementsAre("repaired"));
  EXPECT_TRUE(sink.rows[1].messages.empty());
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"a.htm", "100 Byte", "90 Byte", "10", "0", "1"}));
}

TEST_F(BatchRunTest, OneYieldPerFileBeforeItsSteps) {
  WriteFile(dir.File("a.htm"), "");
  WriteFile(dir.File("b.htm"), "");
  VectorRows rows({{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}});
  // Empty pages: no step yields, only the run does.
  RunBatch(Flags(6), rows, sink, feedback, DeleteMarks());
  EXPECT_EQ(feedback.yields, 2);
}

TEST_F(BatchRunTest, DryRunReportsTheRealRowsAndTouchesNothing) {
  const std::string a = dir.File("a.htm");
  const std::string ro = dir.File("ro.htm");
  WriteFile(a, PageWithMarks(1000, 10) + "\xE4");
  WriteFile(ro, "\xE4 <p>  x</p>");
  chmod(ro.c_str(), 0444);
  test::AgeFile(a);
  test::AgeFile(ro);
  VectorRows rows(
      {{true, "a.htm", dir.Path()}, {true, "ro.htm", dir.Path()}, {true, "gone.htm", dir.Path()}});
  BatchOptions options = DeleteMarks();
  options.createBak = true;
  options.dryRun = true;
  RecordingSink drySink;
  test::RecordingFeedback dryFeedback;
  RunBatch(Flags(6), rows, drySink, dryFeedback, options);
  EXPECT_EQ(ReadFile(a), PageWithMarks(1000, 10) + "\xE4");
  EXPECT_EQ(ReadFile(ro), "\xE4 <p>  x</p>");
  EXPECT_EQ(test::MTimeOf(a), 1000000000LL * 1000000000LL);
  EXPECT_EQ(test::MTimeOf(ro), 1000000000LL * 1000000000LL);
  EXPECT_FALSE(std::filesystem::exists(a + ".bak"));
  EXPECT_FALSE(std::filesystem::exists(ro + ".bak"));

  options.dryRun = false;
  RunBatch(Flags(6), rows, sink, feedback, options);
  ASSERT_EQ(drySink.rows.size(), 3u);
  ASSERT_EQ(sink.rows.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Cells(drySink.rows[i]), Cells(sink.rows[i])) << i;
    EXPECT_EQ(drySink.rows[i].messages, sink.rows[i].messages) << i;
  }
  EXPECT_EQ(Cells(drySink.sums[1]), Cells(sink.sums[1]));
  EXPECT_EQ(dryFeedback.errors, feedback.errors);
  EXPECT_EQ(sink.rows[0].sizeAfter, "906 Byte");
  EXPECT_FALSE(sink.rows[1].messages.empty());
}

// A site with everything that could make pages written at the same time differ from pages
// written one after the other: the same page twice, a page reached again through a hard link
// and a symbolic link, read-only, missing and NUL pages, backups.
std::vector<ListRow> BuildSite(const std::string& root) {
  std::filesystem::create_directories(root + "/sub");
  for (int i = 0; i < 30; ++i) {
    std::string page = "<p>Seite " + std::to_string(i) +
                       "</p>\r\n\t<b>Gr\xFC\xDF"
                       "e</b>  \r\n";
    for (int k = 0; k < i; ++k) page += "<b>x</b> <i>\xE4</i>\r\n";
    WriteFile(root + "/p" + std::to_string(i) + ".htm", page);
  }
  WriteFile(root + "/sub/nul.htm", std::string("<b>\0\xFC</b>", 9));
  WriteFile(root + "/sub/ro.htm", "<b>\xE4</b>  x");
  chmod((root + "/sub/ro.htm").c_str(), 0444);
  link((root + "/p3.htm").c_str(), (root + "/sub/hard.htm").c_str());
  symlink("../p5.htm", (root + "/sub/soft.htm").c_str());
  std::vector<ListRow> rows;
  for (int i = 0; i < 30; ++i) rows.push_back({true, "p" + std::to_string(i) + ".htm", root});
  rows.insert(rows.begin() + 4, {true, "hard.htm", root + "/sub"});
  rows.insert(rows.begin() + 7, {true, "soft.htm", root + "/sub"});
  rows.insert(rows.begin() + 9, {true, "p8.htm", root});
  rows.push_back({true, "nul.htm", root + "/sub"});
  rows.push_back({true, "ro.htm", root + "/sub"});
  rows.push_back({true, "gone.htm", root});
  rows.push_back({true, "p29.htm", root});
  return rows;
}

std::map<std::string, std::string> FilesBelow(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[entry.path().string().substr(root.size())] = ReadFile(entry.path().string());
    }
  }
  return files;
}

TEST_F(BatchRunTest, ConcurrentWritesGiveTheSameRunAsOneAtATime) {
  const std::string one = dir.File("one");
  const std::string many = dir.File("many");
  VectorRows oneRows(BuildSite(one));
  VectorRows manyRows(BuildSite(many));
  BatchOptions options;
  options.createBak = true;
  options.loadHtmlCodeList = [](Feedback&) {
    return HtmlCodeList{{"<b>", "</b>", "x"}, {"<strong>", "</strong>", "xx"}};
  };
  RecordingSink manySink;
  test::RecordingFeedback manyFeedback;
  RunBatch(Flags(6), oneRows, sink, feedback, options);
  options.pagesAtOnce = 8;
  RunBatch(Flags(6), manyRows, manySink, manyFeedback, options);

  ASSERT_EQ(sink.rows.size(), 37u);
  ASSERT_EQ(manySink.rows.size(), sink.rows.size());
  auto local = [](std::string text, const std::string& root) {
    for (std::size_t at; (at = text.find(root)) != std::string::npos;)
      text.replace(at, root.size(), "~");
    return text;
  };
  for (std::size_t i = 0; i < sink.rows.size(); ++i) {
    EXPECT_EQ(Cells(manySink.rows[i]), Cells(sink.rows[i])) << i;
    EXPECT_EQ(local(manySink.rows[i].path, many), local(sink.rows[i].path, one));
    ASSERT_EQ(manySink.rows[i].messages.size(), sink.rows[i].messages.size()) << i;
    for (std::size_t m = 0; m < sink.rows[i].messages.size(); ++m) {
      EXPECT_EQ(local(manySink.rows[i].messages[m], many), local(sink.rows[i].messages[m], one));
    }
  }
  EXPECT_EQ(Cells(manySink.sums[1]), Cells(sink.sums[1]));
  EXPECT_EQ(manyFeedback.errors.size(), 8u);
  EXPECT_EQ(FilesBelow(many), FilesBelow(one));
  // A page met again, by its name or through a link, is measured after its earlier write.
  EXPECT_EQ(manySink.rows[4].name, "hard.htm");
  EXPECT_EQ(manySink.rows[4].bytesBefore, manySink.rows[3].bytesAfter);
  EXPECT_EQ(manySink.rows[7].name, "soft.htm");
  EXPECT_EQ(manySink.rows[7].bytesBefore, manySink.rows[6].bytesAfter);
  EXPECT_EQ(manySink.rows[11].name, "p8.htm");
  EXPECT_EQ(manySink.rows[11].bytesBefore, manySink.rows[9].bytesAfter);
  EXPECT_NE(manySink.rows[9].bytesBefore, manySink.rows[9].bytesAfter);
  EXPECT_EQ(ReadFile(many + "/p8.htm.bak").find("<b>"), std::string::npos);
}

}  // namespace
}  // namespace vk
