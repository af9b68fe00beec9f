// The HTML code list during a batch run: loaded once per file with replacement, its messages
// in the row of their file, and an exception from loading it ending the run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/batch_support.h"
#include "settings/ini_file.h"
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
using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;
using Row = std::vector<std::string>;

TEST_F(BatchRunTest, ListLoadedOncePerFileWithReplacement) {
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) WriteFile(dir.File(name), "x");
  ListedRows<> rows({{true, "a.htm", dir.Path()},
                     {false, "b.htm", dir.Path()},
                     {true, "c.htm", dir.Path()},
                     {true, "gone.htm", dir.Path()}});
  for (int operation : {0, 4, 5, 6}) {
    int loads = 0;
    RunBatch(Flags(operation), rows, sink, feedback, DeleteMarks(&loads));
    EXPECT_EQ(loads, 3) << "operation " << operation;
  }
}

TEST_F(BatchRunTest, LoaderExceptionEndsTheRunWithoutSums) {
  WriteFile(dir.File("a.htm"), PageWithMarks(100, 1));
  WriteFile(dir.File("b.htm"), PageWithMarks(100, 1));
  ListedRows<> rows({{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}});
  BatchOptions options;
  options.loadHtmlCodeList = test::SharedList([](Feedback& feedback) -> HtmlCodeList {
    feedback.Error("Listenlängen werden angepasst!");
    throw IniWriteError("In /x/Velkaro.ini kann nicht geschrieben werden");
  });
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
    ListedRows<> rows({{true, "a.htm", site.Path()},
                       {true, "b.htm", site.Path()},
                       {true, "c.htm", site.Path()},
                       {true, "d.htm", site.Path()}});
    int loads = 0;
    BatchOptions options;
    options.pagesAtOnce = pagesAtOnce;
    options.loadHtmlCodeList = test::SharedList([&loads](Feedback& feedback) -> HtmlCodeList {
      if (++loads == 3) {
        feedback.Error("Listenlängen werden angepasst!");
        throw IniWriteError("In /x/Velkaro.ini kann nicht geschrieben werden");
      }
      return HtmlCodeList{{"0123456789"}, {""}};
    });
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
    // The rows ahead are reported once their group is on the disk, with one page in hand or
    // several.
    EXPECT_THAT(runSink.events, ElementsAre("clear", "start a.htm", "start b.htm", "start c.htm",
                                            "row a.htm", "row b.htm", "row c.htm"));
    EXPECT_EQ(ReadFile(site.File("b.htm")), std::string(90, 'x'));
    EXPECT_EQ(ReadFile(site.File("c.htm")), PageWithMarks(100, 1));
    EXPECT_EQ(ReadFile(site.File("d.htm")), PageWithMarks(100, 1));
  }
}

TEST_F(BatchRunTest, LoaderMessagesLandInTheRowOfTheirFile) {
  WriteFile(dir.File("a.htm"), PageWithMarks(100, 1));
  WriteFile(dir.File("b.htm"), "y");
  ListedRows<> rows({{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}});
  int loads = 0;
  BatchOptions options;
  options.loadHtmlCodeList = test::SharedList([&loads](Feedback& feedback) {
    if (loads++ == 0) feedback.Error("repaired");
    return HtmlCodeList{{"0123456789"}, {""}};
  });
  RunBatch(Flags(0), rows, sink, feedback, options);
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_THAT(sink.rows[0].messages, ElementsAre("repaired"));
  EXPECT_TRUE(sink.rows[1].messages.empty());
  EXPECT_EQ(Cells(sink.rows[0]), (Row{"a.htm", "100 Byte", "90 Byte", "10", "0", "1"}));
}

}  // namespace
}  // namespace vk
