// What the batch run reports: the cells of each file row, the saving, the two sums rows and
// the messages each file gets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/batch_support.h"
#include "engine/my_tools.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::BatchRunTest;
using test::Cells;
using test::DeleteMarks;
using test::Flags;
using test::PageWithMarks;
using test::ReadFile;
using test::RecordingSink;
using test::WriteFile;
using ::testing::ElementsAre;
using Row = std::vector<std::string>;

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
  ListedRows<> rows({{true, "a.htm", dir.Path()},
                     {true, "b.htm", dir.Path()},
                     {true, "c.htm", dir.Path() + "/"}});
  RunBatch(Flags(0), rows, sink, feedback, DeleteMarks());

  // The rows of a group of pages are reported once the group is on the disk.
  EXPECT_THAT(sink.events, ElementsAre("clear", "start a.htm", "start b.htm", "start c.htm",
                                       "row a.htm", "row b.htm", "row c.htm", "sums"));
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
  ListedRows<> rows({{true, "a.htm", dir.Path()}, {true, "b.html", dir.Path()}});
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
  ListedRows<> rows({{true, "grow.htm", dir.Path()}});
  RunBatch(Flags(1), rows, sink, feedback, {});
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"grow.htm", "1.000 Byte", "1.010 Byte", "-1", "2", "0"}));
  EXPECT_EQ(ReadFile(dir.File("grow.htm")), std::string(998, 'x') + "&auml;&uuml;");
  EXPECT_EQ(Cells(sink.sums[1]), (Row{"1 Datei(en)", "1.000 Byte", "1.010 Byte", "-1", "2", "0"}));
}

TEST_F(BatchRunTest, MissingFileGetsItsRowEachStepsErrorAndNoBackup) {
  const std::string path = dir.File("gone.htm");
  ListedRows<> rows({{true, "gone.htm", dir.Path()}});
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
  ListedRows<> rows({{true, "gone.htm", dir.Path()}, {true, "a.htm", dir.Path()}});
  RunBatch(Flags(0), rows, sink, feedback, DeleteMarks());
  EXPECT_EQ(sink.sums[1].bytesBefore, 999);
  EXPECT_EQ(sink.sums[1].bytesAfter, 899);
  EXPECT_EQ(Cells(sink.sums[1]), (Row{"2 Datei(en)", "999 Byte", "899 Byte", "11", "0", "10"}));
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
    options.loadHtmlCodeList = test::SharedList([&loads](Feedback&) {
      ++loads;
      return HtmlCodeList{{"<b>"}, {"<strong>"}};
    });
    ListedRows<> rows({{true, "p.htm", dir.Path()}});
    RecordingSink runSink;
    RunBatch(Flags(c.operation), rows, runSink, feedback, options);
    ASSERT_EQ(runSink.rows.size(), 1u);
    EXPECT_EQ(Cells(runSink.rows[0]), c.cells) << "operation " << c.operation;
    EXPECT_EQ(loads, c.loads) << "operation " << c.operation;
  }
}

TEST_F(BatchRunTest, ReadOnlyPageReportsTheFailedWriteAndKeepsItsBytes) {
  const std::string page = dir.File("ro.htm");
  WriteFile(page, "\xE4\xE4 x");
  chmod(page.c_str(), 0444);
  ListedRows<> rows({{true, "ro.htm", dir.Path()}});
  RunBatch(Flags(1), rows, sink, feedback, {});
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"ro.htm", "4 Byte", "4 Byte", "0", "2", "0"}));
  EXPECT_THAT(sink.rows[0].messages,
              ElementsAre("Konnte " + page + " nicht öffnen oder schreiben!"));
  EXPECT_EQ(ReadFile(page), "\xE4\xE4 x");
}

// A page with NUL bytes is left as it is by every operation that replaces or compresses, with
// one message though two steps find it; the conversion alone converts it.
TEST_F(BatchRunTest, NulPageLeftAsItIsWhereAStepRefusesIt) {
  const std::string page = dir.File("nul.htm");
  const std::string content("a\0\xE4  b", 6);
  const std::string nul = "Die Datei " + page + " enthält Null-Bytes und wird nicht verändert!";
  for (int operation = 0; operation < kOperationCount; ++operation) {
    SCOPED_TRACE(operation);
    WriteFile(page, content);
    ListedRows<> rows({{true, "nul.htm", dir.Path()}});
    BatchOptions options;
    options.loadHtmlCodeList = test::SharedList([](Feedback&) {
      return HtmlCodeList{{"a"}, {"b"}};
    });
    test::RecordingSink recorded;
    RunBatch(Flags(operation), rows, recorded, feedback, options);
    ASSERT_EQ(recorded.rows.size(), 1u);
    if (operation == 1) {
      EXPECT_THAT(recorded.rows[0].messages, ElementsAre());
      EXPECT_EQ(ReadFile(page), std::string("a\0&auml;  b", 11));
      EXPECT_EQ(Cells(recorded.rows[0]), (Row{"nul.htm", "6 Byte", "11 Byte", "-83", "1", "0"}));
    } else {
      EXPECT_THAT(recorded.rows[0].messages, ElementsAre(nul));
      EXPECT_EQ(ReadFile(page), content);
      EXPECT_EQ(Cells(recorded.rows[0]), (Row{"nul.htm", "6 Byte", "6 Byte", "0", "0", "0"}));
    }
  }
}

}  // namespace
}  // namespace vk
