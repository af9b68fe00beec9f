// The run's write path seen from the run: a helper that fails ends the run at its row and
// touches no page behind it, the memory budget keeps pages out of hand, and the journal hears of
// every page before its rename and of nothing in a dry run; a group of pages is synced once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/batch_support.h"
#include "fs/sync_files.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::BatchRunTest;
using test::Flags;
using test::ReadFile;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

std::vector<ListedRow> Pages(const test::TempDir& dir, int count, const std::string& content) {
  std::vector<ListedRow> rows;
  for (int i = 0; i < count; ++i) {
    const std::string name = "p" + std::to_string(i) + ".htm";
    WriteFile(dir.File(name), content);
    rows.push_back({true, name, dir.Path()});
  }
  return rows;
}

// A helper fails on the second page while later pages are in hand: the first page is written and
// reported, the second is reported unfinished, the pages behind it stay as they were, with no
// backup, no leftover and no row.
TEST_F(BatchRunTest, AHelperThatFailsEndsTheRunAtItsRowAndTouchesNothingBehind) {
  ListedRows<> rows(Pages(dir, 6, "\xE4"));
  const std::string failing = dir.File("p1.htm");
  BatchOptions options;
  options.createBak = true;
  options.pagesAtOnce = 4;
  options.seams.afterPrepare = [&](const std::string& path) {
    if (path == failing) throw std::runtime_error("helper failed");
  };
  EXPECT_THROW(RunBatch(Flags(1), rows, sink, feedback, options), std::runtime_error);
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_TRUE(sink.rows[0].complete);
  EXPECT_EQ(sink.rows[1].path, failing);
  EXPECT_FALSE(sink.rows[1].complete);
  EXPECT_TRUE(sink.sums.empty());
  EXPECT_EQ(ReadFile(dir.File("p0.htm")), "&auml;");
  for (int i = 1; i < 6; ++i) {
    const std::string page = dir.File("p" + std::to_string(i) + ".htm");
    EXPECT_EQ(ReadFile(page), "\xE4") << page;
    EXPECT_FALSE(std::filesystem::exists(page + ".bak")) << page;
  }
  EXPECT_EQ(test::FolderNames(dir.Path()).size(), 6u + 1u);
}

// With a budget smaller than any page, every page waits until the one before it is reported.
TEST_F(BatchRunTest, AMemoryBudgetKeepsPagesOutOfHand) {
  for (const std::size_t budget : {std::size_t{1}, std::size_t{1} << 30}) {
    test::TempDir pages;
    ListedRows<> rows(Pages(pages, 4, "\xE4"));
    test::RecordingSink recorded;
    BatchOptions options;
    options.pagesAtOnce = 4;
    options.memoryBudget = budget;
    RunBatch(Flags(1), rows, recorded, feedback, options);
    if (budget == 1) {
      EXPECT_THAT(recorded.events,
                  ElementsAre("clear", "start p0.htm", "start p1.htm", "row p0.htm", "start p2.htm",
                              "row p1.htm", "start p3.htm", "row p2.htm", "row p3.htm", "sums"));
    } else {
      EXPECT_THAT(recorded.events, ElementsAre("clear", "start p0.htm", "start p1.htm",
                                               "start p2.htm", "start p3.htm", "row p0.htm",
                                               "row p1.htm", "row p2.htm", "row p3.htm", "sums"));
    }
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(ReadFile(pages.File("p" + std::to_string(i) + ".htm")), "&auml;");
  }
  EXPECT_GT(DefaultMemoryBudget(), std::size_t{0});
  EXPECT_LE(DefaultMemoryBudget(), std::size_t{512} << 20);
}

// The syncs of a run: one for the new files of each group of pages, which also covers the
// renames of the group before, and one for the last group's renames, whatever the number of
// pages in hand; a group ends at 64 pages or 32 MB. Nothing to write, nothing synced.
TEST_F(BatchRunTest, AGroupOfPagesIsSyncedOnceWithTheRenamesOfTheGroupBefore) {
  const std::string big = "\xE4" + std::string(11 << 20, 'x');
  struct Case {
    int pages;
    std::string content;
    bool dryRun;
    int pagesAtOnce;
    std::int64_t fileSystemSyncs;
  };
  const Case cases[] = {
      {130, "\xE4", false, 1, 3 + 1},  // groups of 64, 64 and 2 pages
      {130, "\xE4", false, 4, 3 + 1}, {130, "\xE4", true, 1, 0},
      {130, "x", false, 4, 0},    // no page changes
      {4, big, false, 1, 2 + 1},  // 33 MB end the first group after three pages
  };
  for (const Case& c : cases) {
    test::TempDir pages;
    ListedRows<> rows(Pages(pages, c.pages, c.content));
    BatchOptions options;
    options.pagesAtOnce = c.pagesAtOnce;
    options.dryRun = c.dryRun;
    test::RecordingSink recorded;
    const SyncCounts before = SyncCountsSoFar();
    RunBatch(Flags(1), rows, recorded, feedback, options);
    const SyncCounts after = SyncCountsSoFar();
    EXPECT_EQ(after.fileSystems - before.fileSystems, c.fileSystemSyncs) << c.pages;
    EXPECT_EQ(after.files, before.files) << c.pages;
    ASSERT_EQ(recorded.rows.size(), static_cast<std::size_t>(c.pages));
    const bool changes = !c.dryRun && c.content != "x";
    EXPECT_EQ(ReadFile(pages.File("p0.htm")).substr(0, 6),
              changes ? "&auml;" : c.content.substr(0, 6));
  }
}

// Notes what it is told, and what the page on disk holds at that moment; helpers record at
// once, so each record is noted whole, under a lock.
class RecordingJournal : public RunJournal {
 public:
  explicit RecordingJournal(FileStatus answer = FileStatus::Ok()) : answer_(answer) {}
  FileStatus Record(const Page& page) override {
    std::string note = "record " + std::to_string(page.order) + " " + page.path + " [" +
                       std::string(page.oldBytes) + "] -> [" + std::string(page.newBytes) +
                       "] on disk [" + ReadFile(page.path) + "]";
    std::lock_guard<std::mutex> lock(mutex_);
    told.push_back(std::move(note));
    return answer_;
  }
  FileStatus Sync() override {
    std::lock_guard<std::mutex> lock(mutex_);
    told.push_back("sync");
    return syncAnswer;
  }
  std::vector<std::string> told;
  FileStatus syncAnswer = FileStatus::Ok();

 private:
  std::mutex mutex_;
  FileStatus answer_;
};

TEST_F(BatchRunTest, TheJournalHearsOfEveryPageBeforeItsRenameAndOfNothingInADryRun) {
  const std::string changed = dir.File("a.htm");
  const std::string same = dir.File("b.htm");
  WriteFile(changed, "\xE4");
  WriteFile(same, "x");
  ListedRows<> rows({{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}});
  for (const int pagesAtOnce : {1, 4}) {
    WriteFile(changed, "\xE4");
    RecordingJournal journal;
    BatchOptions options;
    options.pagesAtOnce = pagesAtOnce;
    options.journal = &journal;
    options.dryRun = true;
    RunBatch(Flags(1), rows, sink, feedback, options);
    EXPECT_TRUE(journal.told.empty());
    options.dryRun = false;
    RunBatch(Flags(1), rows, sink, feedback, options);
    EXPECT_THAT(journal.told,
                ElementsAre("record 0 " + changed + " [\xE4] -> [&auml;] on disk [\xE4]", "sync"));
    EXPECT_EQ(ReadFile(changed), "&auml;");
  }

  // The records of a group, made by the helpers in any order and each with its row, are
  // synced once, before its renames.
  WriteFile(changed, "\xE4");
  WriteFile(same, "\xF6");
  RecordingJournal grouped;
  BatchOptions groupOptions;
  groupOptions.journal = &grouped;
  groupOptions.pagesAtOnce = 16;
  RunBatch(Flags(1), rows, sink, feedback, groupOptions);
  ASSERT_EQ(grouped.told.size(), 3u);
  EXPECT_EQ(grouped.told.back(), "sync");
  EXPECT_THAT(std::vector<std::string>(grouped.told.begin(), grouped.told.end() - 1),
              UnorderedElementsAre("record 0 " + changed + " [\xE4] -> [&auml;] on disk [\xE4]",
                                   "record 1 " + same + " [\xF6] -> [&ouml;] on disk [\xF6]"));
  WriteFile(same, "x");

  // A journal that cannot record the page keeps it as it is, reported as a failed write.
  WriteFile(changed, "\xE4");
  RecordingJournal refusing(FileStatus::Error(FileStatus::Code::kIoError, 28));
  BatchOptions options;
  options.journal = &refusing;
  test::RecordingSink refused;
  RunBatch(Flags(1), rows, refused, feedback, options);
  EXPECT_EQ(ReadFile(changed), "\xE4");
  EXPECT_THAT(refused.rows[0].messages,
              ElementsAre("Konnte die alte Fassung von " + changed +
                          " nicht für Rückgängig aufheben! Die Datei wird nicht verändert!"));

  // A journal whose sync fails keeps every page of the group as it is, each reported.
  WriteFile(same, "\xF6");
  RecordingJournal unsynced;
  unsynced.syncAnswer = FileStatus::Error(FileStatus::Code::kIoError, 5);
  options.journal = &unsynced;
  test::RecordingSink unsyncedSink;
  RunBatch(Flags(1), rows, unsyncedSink, feedback, options);
  EXPECT_EQ(ReadFile(changed), "\xE4");
  EXPECT_EQ(ReadFile(same), "\xF6");
  ASSERT_EQ(unsyncedSink.rows.size(), 2u);
  EXPECT_THAT(unsyncedSink.rows[1].messages,
              ElementsAre("Konnte die alte Fassung von " + same +
                          " nicht für Rückgängig aufheben! Die Datei wird nicht verändert!"));
  EXPECT_EQ(test::FolderNames(dir.Path()).size(), 2u);
}

// The sync of a group runs while the pages behind it are prepared, further ahead than the pages
// in hand alone would go; no page of the group is renamed before its sync returns.
TEST_F(BatchRunTest, AGroupIsSyncedWhileThePagesBehindItArePrepared) {
  ListedRows<> rows(Pages(dir, 70, "\xE4"));
  const std::string lastPage = dir.File("p69.htm");
  std::mutex mutex;
  std::condition_variable seen;
  bool lastPrepared = false;
  class WaitingJournal : public RunJournal {
   public:
    std::function<void()> onFirstSync;
    FileStatus Record(const Page&) override { return FileStatus::Ok(); }
    FileStatus Sync() override {
      if (syncs_++ == 0) onFirstSync();
      return FileStatus::Ok();
    }

   private:
    int syncs_ = 0;
  } journal;
  bool preparedDuringSync = false;
  std::string firstPageDuringSync;
  journal.onFirstSync = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    preparedDuringSync =
        seen.wait_for(lock, std::chrono::seconds(20), [&] { return lastPrepared; });
    firstPageDuringSync = ReadFile(dir.File("p0.htm"));
  };
  BatchOptions options;
  options.pagesAtOnce = 2;
  options.journal = &journal;
  options.seams.afterPrepare = [&](const std::string& path) {
    if (path != lastPage) return;
    std::lock_guard<std::mutex> lock(mutex);
    lastPrepared = true;
    seen.notify_all();
  };
  RunBatch(Flags(1), rows, sink, feedback, options);
  EXPECT_TRUE(preparedDuringSync);
  EXPECT_EQ(firstPageDuringSync, "\xE4");
  ASSERT_EQ(sink.rows.size(), 70u);
  for (int i = 0; i < 70; ++i)
    EXPECT_EQ(ReadFile(dir.File("p" + std::to_string(i) + ".htm")), "&auml;");
}

}  // namespace
}  // namespace vk
