// The two ways a batch run may go besides the plain one: a dry run that touches nothing, and
// several pages in hand at once, which must give the same run as one page after the other.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <map>
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
using test::PageWithMarks;
using test::ReadFile;
using test::RecordingSink;
using test::WriteFile;

TEST_F(BatchRunTest, DryRunReportsTheRealRowsAndTouchesNothing) {
  const std::string a = dir.File("a.htm");
  const std::string ro = dir.File("ro.htm");
  WriteFile(a, PageWithMarks(1000, 10) + "\xE4");
  WriteFile(ro, "\xE4 <p>  x</p>");
  chmod(ro.c_str(), 0444);
  test::AgeFile(a);
  test::AgeFile(ro);
  ListedRows<> rows(
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
// written one after the other: the same page twice, a page with a second hard link and one
// reached again through a symbolic link, read-only, missing and NUL pages, backups.
std::vector<ListedRow> BuildSite(const std::string& root) {
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
  std::vector<ListedRow> rows;
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
  ListedRows<> oneRows(BuildSite(one));
  ListedRows<> manyRows(BuildSite(many));
  BatchOptions options;
  options.createBak = true;
  options.loadHtmlCodeList = test::SharedList([](Feedback&) {
    return HtmlCodeList{{"<b>", "</b>", "x"}, {"<strong>", "</strong>", "xx"}};
  });
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
  EXPECT_EQ(manyFeedback.errors.size(), 7u);
  EXPECT_EQ(FilesBelow(many), FilesBelow(one));
  // A page met again, by its name or through a symbolic link, is measured after its earlier
  // write and not rewritten again; a hard link's other name became a file of its own, with the
  // old text, and is rewritten.
  EXPECT_EQ(manySink.rows[4].name, "hard.htm");
  EXPECT_EQ(manySink.rows[4].bytesBefore, manySink.rows[3].bytesBefore);
  EXPECT_NE(manySink.rows[4].bytesAfter, manySink.rows[4].bytesBefore);
  EXPECT_EQ(manySink.rows[7].name, "soft.htm");
  EXPECT_EQ(manySink.rows[7].bytesBefore, manySink.rows[6].bytesAfter);
  EXPECT_EQ(manySink.rows[7].bytesAfter, manySink.rows[7].bytesBefore);
  EXPECT_EQ(manySink.rows[11].name, "p8.htm");
  EXPECT_EQ(manySink.rows[11].bytesBefore, manySink.rows[9].bytesAfter);
  EXPECT_EQ(manySink.rows[11].bytesAfter, manySink.rows[11].bytesBefore);
  EXPECT_NE(manySink.rows[9].bytesBefore, manySink.rows[9].bytesAfter);
  // The backup is the first visit's: the page as it was before the run.
  EXPECT_NE(ReadFile(many + "/p8.htm.bak").find("<b>"), std::string::npos);
}

// A cancel seen before a row stops the run there, with one page in hand or several: the pages
// done are written and reported with their sums, the rest are left untouched and unreported.
TEST_F(BatchRunTest, CancelStopsBeforeTheNextRowAndSumsTheRowsDone) {
  for (int pagesAtOnce : {1, 3}) {
    test::TempDir folder;
    std::vector<ListedRow> list;
    for (int i = 0; i < 6; ++i) {
      const std::string name = "p" + std::to_string(i) + ".htm";
      WriteFile(folder.File(name), PageWithMarks(300, 1));
      list.push_back({i != 1, name, folder.Path()});
    }
    ListedRows<> rows(list);
    std::atomic<bool> cancel = false;
    // The cancel comes while the third row (the second ticked) is being started.
    struct CancellingSink : RecordingSink {
      std::atomic<bool>* cancel = nullptr;
      void FileStarted(const std::string& name) override {
        RecordingSink::FileStarted(name);
        if (name == "p2.htm") *cancel = true;
      }
    } recorded;
    recorded.cancel = &cancel;
    BatchOptions options = DeleteMarks();
    options.pagesAtOnce = pagesAtOnce;
    options.cancel = &cancel;
    const RunEnd end = RunBatch(Flags(0), rows, recorded, feedback, options);
    EXPECT_TRUE(end.cancelled);
    EXPECT_EQ(end.filesDone, 2) << pagesAtOnce;
    EXPECT_EQ(end.filesTicked, 5);
    ASSERT_EQ(recorded.rows.size(), 2u);
    EXPECT_EQ(recorded.rows[1].name, "p2.htm");
    EXPECT_EQ(recorded.sums[1].name, "2 Datei(en)");
    EXPECT_EQ(recorded.sums[1].bytesAfter, 2 * 290);
    for (int i = 0; i < 6; ++i) {
      const bool done = i == 0 || i == 2;
      EXPECT_EQ(ReadFile(folder.File("p" + std::to_string(i) + ".htm")).size(), done ? 290u : 300u)
          << pagesAtOnce << " " << i;
    }
  }
}

// The sink sees the old and new bytes of each page the run changed, or would change in a dry
// run; a page left unchanged is not among them.
TEST_F(BatchRunTest, ChangedPagesComeWithTheirOldAndNewBytes) {
  WriteFile(dir.File("a.htm"), "x0123456789y");
  WriteFile(dir.File("same.htm"), "nothing to do");
  ListedRows<> rows({{true, "a.htm", dir.Path()}, {true, "same.htm", dir.Path()}});
  for (bool dryRun : {true, false}) {
    BatchOptions options = DeleteMarks();
    options.dryRun = dryRun;
    RecordingSink recorded;
    RunBatch(Flags(0), rows, recorded, feedback, options);
    // Just before its own row, after the rows before it.
    EXPECT_EQ(recorded.changes,
              std::vector<RecordingSink::Change>({{"a.htm", "x0123456789y", "xy", 0}}))
        << dryRun;
    ASSERT_EQ(recorded.rows.size(), 2u);
    WriteFile(dir.File("a.htm"), "x0123456789y");
  }
}

}  // namespace
}  // namespace vk
