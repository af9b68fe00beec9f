// An undo through the run's sink: the cells, messages and sums rows the window and
// velkaro-batch show.
#include "undo/undo_rows.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "batch/batch_support.h"
#include "support/journal_run.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::Cells;
using test::ReadFile;
using test::RecordingFeedback;
using test::RecordingSink;
using test::TempDir;
using test::WriteFile;

TEST(UndoRunToSink, RowsAsARunShowsThem) {
  TempDir dir;
  const std::string a = dir.File("a.htm");
  const std::string b = dir.File("b.htm");
  WriteFile(a, std::string(2000, 'a'));
  WriteFile(b, "alt b");
  RunInfo info;
  info.timeNs = std::int64_t{1'700'000'000} * 1'000'000'000;
  info.operation = 2;
  test::JournalAndRewrite(dir.File("runs"), {{a, std::string(1500, 'A')}, {b, "neu b"}}, info);
  WriteFile(b, "bearbeitet");

  RecordingSink sink;
  RecordingFeedback feedback;
  const UndoResult result = UndoRunToSink(dir.File("runs"), std::nullopt, sink, feedback);
  EXPECT_EQ(result.status, UndoResult::Status::kPagesLeft);
  EXPECT_EQ(sink.events, (std::vector<std::string>{"clear", "start b.htm", "start a.htm",
                                                   "row b.htm", "row a.htm", "sums"}));
  const std::string changed =
      "Die Datei " + b + " wurde nach dem Lauf geändert und wird nicht wiederhergestellt!";
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(Cells(sink.rows[0]),
            (std::vector<std::string>{"b.htm", "10 Byte", "10 Byte", "0", "", ""}));
  EXPECT_EQ(sink.rows[0].messages, std::vector<std::string>{changed});
  EXPECT_EQ(sink.rows[0].path, b);
  EXPECT_EQ(Cells(sink.rows[1]),
            (std::vector<std::string>{"a.htm", "1.500 Byte", "2.000 Byte", "-33", "", ""}));
  EXPECT_EQ(sink.rows[1].messages, std::vector<std::string>{});
  EXPECT_EQ(feedback.errors, std::vector<std::string>{changed});
  ASSERT_EQ(sink.sums.size(), 2u);
  EXPECT_EQ(Cells(sink.sums[0]), (std::vector<std::string>{"**Summen**", "", "", "", "", ""}));
  EXPECT_EQ(Cells(sink.sums[1]),
            (std::vector<std::string>{"2 Datei(en)", "1.510 Byte", "2.010 Byte", "-33", "", ""}));
  EXPECT_EQ(ReadFile(a), std::string(2000, 'a'));
  EXPECT_EQ(RunDescription(result.run).substr(19), ", Dateien komprimieren, 2 Datei(en)");
}

TEST(UndoRunToSink, NothingToUndoReportsNoRows) {
  TempDir dir;
  RecordingSink sink;
  RecordingFeedback feedback;
  const UndoResult result = UndoRunToSink(dir.File("runs"), std::nullopt, sink, feedback);
  EXPECT_EQ(result.status, UndoResult::Status::kNoRun);
  EXPECT_EQ(sink.events, std::vector<std::string>{"clear"});
  EXPECT_EQ(feedback.errors, std::vector<std::string>{});
}

}  // namespace
}  // namespace vk
