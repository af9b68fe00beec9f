#include "support/journal_run.h"

#include <gtest/gtest.h>

#include "fs/file_snapshot.h"
#include "fs/replace_group.h"

namespace vk::test {

JournaledRun JournalAndRewrite(const std::string& runsFolder, const std::vector<RunPage>& pages,
                               const RunInfo& info, const KeepLimits& limits, int renamed) {
  FileStatus status = FileStatus::Ok();
  std::unique_ptr<JournalWriter> journal = JournalWriter::Start(runsFolder, info, limits, &status);
  EXPECT_TRUE(status.ok()) << status.err();
  if (!journal) return {};
  std::vector<FileSnapshot> snapshots(pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    std::string old;
    EXPECT_TRUE(ReadFileWithSnapshot(pages[i].path, &old, &snapshots[i]).ok()) << pages[i].path;
    PageRecord record;
    record.path = pages[i].path;
    record.device = snapshots[i].identity.device;
    record.inode = snapshots[i].identity.inode;
    record.oldBytes = old;
    record.newBytes = pages[i].newBytes;
    record.order = static_cast<std::int64_t>(i);
    EXPECT_TRUE(journal->Add(record).ok()) << pages[i].path;
  }
  EXPECT_TRUE(journal->Sync().ok());
  ReplaceGroup group;
  const std::size_t count = renamed < 0 ? pages.size() : static_cast<std::size_t>(renamed);
  for (std::size_t i = 0; i < count && i < pages.size(); ++i) {
    EXPECT_TRUE(group.Stage(snapshots[i], pages[i].newBytes).ok()) << pages[i].path;
  }
  for (const ReplaceGroup::Result& result : group.Commit()) {
    EXPECT_EQ(result.outcome, ReplaceGroup::Outcome::kReplaced) << result.status.err();
  }
  return {journal->Id(), journal->Path()};
}

}  // namespace vk::test
