// Which journals are kept: the last runs up to a count, their bytes up to a limit, what a run
// records when its pages do not fit, and what the run is told before it starts.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "journal/journal_writer.h"
#include "journal/runs_folder.h"
#include "journal/undo_coverage.h"
#include "journal/undo_journal.h"
#include "support/journal_run.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Bytes zstd cannot make smaller, so a journal's size is known in advance.
std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

RunInfo At(std::int64_t seconds) {
  RunInfo info;
  info.timeNs = seconds * 1'000'000'000;
  return info;
}

// A run that records one page of `size` random bytes; returns its id.
std::string RunWithPage(const std::string& runs, std::int64_t seconds, std::size_t size,
                        const KeepLimits& limits) {
  FileStatus status = FileStatus::Ok();
  std::unique_ptr<JournalWriter> journal = JournalWriter::Start(runs, At(seconds), limits, &status);
  EXPECT_TRUE(status.ok());
  if (!journal) return "";
  const std::string old = RandomBytes(size, static_cast<unsigned>(seconds));
  PageRecord record;
  record.path = "/seite.htm";
  record.oldBytes = old;
  EXPECT_TRUE(journal->Add(record).ok());
  EXPECT_TRUE(journal->Sync().ok());
  return journal->Id();
}

std::vector<std::string> Ids(const std::string& runs) {
  std::vector<std::string> ids;
  for (const RunSummary& run : ListRuns(runs)) ids.push_back(run.id);
  return ids;
}

TEST(KeepJournals, TheLastRunsUpToTheCount) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  const KeepLimits limits{3, std::int64_t{1} << 30};
  std::vector<std::string> made;
  for (int i = 0; i < 5; ++i) {
    made.push_back(RunWithPage(runs, 1000 + i, 100, limits));
    const std::size_t kept = std::min<std::size_t>(made.size(), 3);
    EXPECT_EQ(Ids(runs), std::vector<std::string>(made.rbegin(), made.rbegin() + kept)) << i;
  }
}

TEST(KeepJournals, TheOldestGoFirstToKeepTheBytesUnderTheLimit) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  // Each journal a little over 30,000 bytes; three of them fit under 100,000.
  const KeepLimits limits{20, 100'000};
  const std::string first = RunWithPage(runs, 1000, 30'000, limits);
  const std::string second = RunWithPage(runs, 1001, 30'000, limits);
  const std::string third = RunWithPage(runs, 1002, 30'000, limits);
  EXPECT_EQ(Ids(runs), (std::vector<std::string>{third, second, first}));
  // The fourth makes room as it grows: the first goes.
  const std::string fourth = RunWithPage(runs, 1003, 30'000, limits);
  EXPECT_EQ(Ids(runs), (std::vector<std::string>{fourth, third, second}));
  // A run of 60,000 bytes needs two of them gone, oldest first.
  const std::string fifth = RunWithPage(runs, 1004, 60'000, limits);
  EXPECT_EQ(Ids(runs), (std::vector<std::string>{fifth, fourth}));
  std::int64_t total = 0;
  for (const RunSummary& run : ListRuns(runs)) total += run.bytes;
  EXPECT_LE(total, limits.bytes);
  // A smaller limit in the settings takes effect when the next run starts.
  const std::string sixth = RunWithPage(runs, 1005, 100, KeepLimits{20, 70'000});
  EXPECT_EQ(Ids(runs), (std::vector<std::string>{sixth, fifth}));
}

// A run bigger than the limit records what fits and notes the rest; undo restores the one
// and names the others.
TEST(KeepJournals, ARunOverTheLimitKeepsWhatFitsAndSaysSo) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  std::vector<test::RunPage> pages;
  for (int i = 0; i < 3; ++i) {
    const std::string page = dir.File("seite" + std::to_string(i) + ".htm");
    WriteFile(page, RandomBytes(40'000, static_cast<unsigned>(i)));
    pages.push_back({page, "neu " + std::to_string(i)});
  }
  RunWithPage(runs, 1000, 30'000, {20, 60'000});  // an older run, removed to make room
  const test::JournaledRun run = test::JournalAndRewrite(runs, pages, At(2000), {20, 60'000});
  const std::vector<RunSummary> listed = ListRuns(runs);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_FALSE(listed[0].complete);
  EXPECT_EQ(listed[0].pages, 3);
  EXPECT_LE(listed[0].bytes, 60'000);

  class Recorder : public UndoObserver {
   public:
    void PageDone(const UndoPage& page) override { pages.push_back(page); }
    std::vector<UndoPage> pages;
  } recorder;
  const UndoResult result = UndoRun(runs, std::nullopt, recorder);
  EXPECT_EQ(result.status, UndoResult::Status::kPagesLeft);
  EXPECT_TRUE(result.markedUndone);
  ASSERT_EQ(recorder.pages.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(recorder.pages[i].outcome, UndoPage::Outcome::kLeft);
    EXPECT_EQ(recorder.pages[i].message, "Die alte Fassung der Datei " + pages[2 - i].path +
                                             " wurde nicht aufgehoben (Grenze für Rückgängig "
                                             "erreicht)!");
    EXPECT_EQ(ReadFile(pages[2 - i].path), pages[2 - i].newBytes);
  }
  EXPECT_EQ(recorder.pages[2].outcome, UndoPage::Outcome::kRestored);
  EXPECT_EQ(ReadFile(pages[0].path), RandomBytes(40'000, 0));
}

TEST(KeepJournals, ARunStillAtWorkAndForeignFilesStay) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  FileStatus status = FileStatus::Ok();
  std::unique_ptr<JournalWriter> atWork = JournalWriter::Start(runs, At(1000), {}, &status);
  ASSERT_NE(atWork, nullptr);
  WriteFile(dir.File("runs/notizen.txt"), "bleibt");
  WriteFile(dir.File("runs/abgebrochen.vkj"), "");  // a start killed before its run record
  const std::string newer = RunWithPage(runs, 2000, 10, {1, std::int64_t{1} << 30});
  EXPECT_EQ(Ids(runs), (std::vector<std::string>{newer, atWork->Id()}));
  EXPECT_EQ(ReadFile(dir.File("runs/notizen.txt")), "bleibt");
  EXPECT_FALSE(std::filesystem::exists(dir.File("runs/abgebrochen.vkj")));
  atWork.reset();
  const std::string newest = RunWithPage(runs, 3000, 10, {1, std::int64_t{1} << 30});
  EXPECT_EQ(Ids(runs), std::vector<std::string>{newest});
}

TEST(KeepJournals, NoJournalWhenTheLimitsKeepNone) {
  TempDir dir;
  for (const KeepLimits limits : {KeepLimits{0, 1 << 20}, KeepLimits{5, 0}}) {
    FileStatus status = FileStatus::Error(FileStatus::Code::kIoError);
    EXPECT_EQ(JournalWriter::Start(dir.File("runs"), {}, limits, &status), nullptr);
    EXPECT_TRUE(status.ok());
    EXPECT_FALSE(std::filesystem::exists(dir.File("runs")));
  }
  FileStatus status = FileStatus::Ok();
  EXPECT_EQ(JournalWriter::Start("", {}, {}, &status), nullptr);
  EXPECT_EQ(status.code(), FileStatus::Code::kNotFound);
}

TEST(RunsFolder, FromTheStateHome) {
  struct Case {
    std::optional<std::string> state, home;
    std::string folder;
  } cases[] = {
      {"/var/zustand", "/home/anna", "/var/zustand/Velkaro/runs/"},
      {"/var/zustand/", "/home/anna", "/var/zustand/Velkaro/runs/"},
      {"relativ", "/home/anna", "/home/anna/.local/state/Velkaro/runs/"},
      {std::nullopt, "/home/anna/", "/home/anna/.local/state/Velkaro/runs/"},
      {std::nullopt, std::nullopt, ""},
      {"", "relativ", ""},
  };
  for (const Case& c : cases) {
    test::ScopedEnv state("XDG_STATE_HOME", c.state);
    test::ScopedEnv home("HOME", c.home);
    EXPECT_EQ(RunsFolder(), c.folder) << c.state.value_or("-") << " " << c.home.value_or("-");
  }
}

TEST(CheckUndoCoverage, TheWholeSizesAgainstTheLimit) {
  const std::string partial =
      "Dieser Lauf kann eventuell nicht vollständig rückgängig gemacht werden: Die Dateien sind "
      "zusammen %1 groß, aufgehoben werden höchstens %2!";
  struct Case {
    std::vector<std::int64_t> sizes;
    KeepLimits limits;
    UndoCoverage::Kind kind;
    std::string total, limit;
  } cases[] = {
      {{}, {}, UndoCoverage::Kind::kComplete, "", ""},
      {{500'000'000, 500'000'000}, {}, UndoCoverage::Kind::kComplete, "", ""},
      {{600'000'000, 500'000'000}, {}, UndoCoverage::Kind::kPartial, "1.049 MByte", "1.024 MByte"},
      {{90'000}, {20, 100'000}, UndoCoverage::Kind::kComplete, "", ""},
      {{50'000, 50'000},
       {20, 100'000},
       UndoCoverage::Kind::kPartial,
       "100.000 Byte",
       "100.000 Byte"},
      {{1'000'000'000'000}, {0, 100}, UndoCoverage::Kind::kOff, "", ""},
      {{1}, {5, 0}, UndoCoverage::Kind::kOff, "", ""},
  };
  for (const Case& c : cases) {
    const UndoCoverage coverage = CheckUndoCoverage(c.sizes, c.limits);
    EXPECT_EQ(coverage.kind, c.kind) << c.total;
    if (c.kind != UndoCoverage::Kind::kPartial) {
      EXPECT_EQ(coverage.message, "");
      continue;
    }
    std::string message = partial;
    message.replace(message.find("%1"), 2, c.total);
    message.replace(message.find("%2"), 2, c.limit);
    EXPECT_EQ(coverage.message, message);
    EXPECT_EQ(coverage.question, message + " Trotzdem starten?");
  }
}

}  // namespace
}  // namespace vk
