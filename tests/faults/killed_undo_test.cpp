// velkaro-batch --undo killed in the middle of its work: strace sends SIGKILL at the N-th call of
// one system call (each write of a restored page, each sync, each rename, the journal's own
// writes), for N = 1, 2, ... until the undo gets through. After every kill each page holds the
// run's bytes or its old ones, and the next undo finishes the work: the tree is as it was before
// the run, byte for byte (unless the kill came after the journal was marked undone: then the
// undo was complete already). A run killed after any of its renames is undone the same way,
// the program's own run as well as one journaled by hand.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fault_support.h"
#include "journal/runs_folder.h"
#include "support/journal_run.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ChildResult;
using test::ChildSetup;
using test::OldOrNew;
using test::ReadFile;
using test::RunBatchProgram;
using test::TempDir;
using test::WriteFile;

struct Page {
  std::string name;
  std::string oldBytes;
  std::string newBytes;
};

const std::vector<Page> kPages = {
    {"site/a.htm",
     "<p>  Gr\xFC\xDF"
     "e <b>a</b></p>\r\n",
     "<p>Gr&uuml;&szlig;e <strong>a</strong></p>"},
    {"site/b.htm", "<table>\t<tr> <td>\xE4</td> </tr>\r\n</table>\r\n",
     "<table><tr><td>&auml;</td></tr></table>"},
    {"site/sub/c.html", std::string(70000, 'c'), "c"},
    {"site/sub/leer.htm", "", "<p>neu</p>"},
};

// The tree before the run, its journal and the run's renames (all of them when negative).
void MakeRun(const TempDir& dir, int renamed = -1) {
  std::vector<test::RunPage> pages;
  for (const Page& page : kPages) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(page.name)).parent_path());
    WriteFile(dir.File(page.name), page.oldBytes);
    pages.push_back({dir.File(page.name), page.newBytes});
  }
  RunInfo info;
  info.operation = 6;
  info.folder = dir.File("site");
  test::JournalAndRewrite(dir.File("state/Velkaro/runs"), pages, info, {}, renamed);
}

void ExpectTreeAsBeforeTheRun(const TempDir& dir) {
  for (const Page& page : kPages) {
    EXPECT_TRUE(ReadFile(dir.File(page.name)) == page.oldBytes) << page.name;
  }
  const std::vector<RunSummary> runs = ListRuns(dir.File("state/Velkaro/runs"));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_TRUE(runs[0].undone);
}

// Kills the undo at call 1, 2, ... of `call` until it gets through; returns the number of kills.
int KillAtEachCall(const std::string& call, int* leftovers) {
  for (int n = 1;; ++n) {
    if (n >= 200) {
      ADD_FAILURE() << call << ": the undo never got through";
      return n;
    }
    SCOPED_TRACE(call + " #" + std::to_string(n));
    TempDir dir;
    test::ScopedEnv state("XDG_STATE_HOME", dir.File("state"));
    MakeRun(dir);
    ChildSetup setup;
    setup.straceArgs = {"-e", "inject=" + call + ":signal=KILL:when=" + std::to_string(n)};
    const ChildResult undo = RunBatchProgram({"--undo"}, setup);
    const bool killed = !undo.exited && undo.signal == SIGKILL;
    EXPECT_TRUE(killed || undo.exited) << "signal " << undo.signal;
    for (const Page& page : kPages) {
      const std::string state = OldOrNew(dir.File(page.name), page.newBytes, page.oldBytes);
      EXPECT_TRUE(state == "old" || state == "new") << page.name << ": " << state;
    }
    if (!killed) {
      EXPECT_EQ(undo.exitCode, 0) << undo.err;
      EXPECT_EQ(test::TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
      ExpectTreeAsBeforeTheRun(dir);
      return n - 1;
    }
    // A kill between naming a restored page's new file and its rename leaves that file.
    *leftovers += static_cast<int>(test::TemporaryFilesBelow(dir.Path()).size());
    // Killed after the journal was marked: the undo was complete, and the next one finds
    // nothing more to do.
    const std::vector<RunSummary> runs = ListRuns(dir.File("state/Velkaro/runs"));
    EXPECT_EQ(runs.size(), 1u);
    if (!runs.empty() && !runs[0].undone) {
      const ChildResult again = RunBatchProgram({"--undo"});
      EXPECT_TRUE(again.exited);
      EXPECT_EQ(again.exitCode, 0) << again.err;
    }
    ExpectTreeAsBeforeTheRun(dir);
  }
}

TEST(KilledUndo, EveryPageIsTheRunsOrRestoredAndTheNextUndoFinishes) {
  if (!test::StraceWorks()) {
    GTEST_SKIP() << "strace cannot trace a child here (ptrace not permitted)";
  }
  int leftovers = 0;
  std::string counts;
  for (const char* call : {"write", "syncfs", "rename", "ftruncate", "pwrite64", "fdatasync"}) {
    const int kills = KillAtEachCall(call, &leftovers);
    EXPECT_GE(kills, 1) << call;
    counts += std::string(" ") + call + " " + std::to_string(kills);
  }
  std::printf("undo: kills at%s; %d temporary files left behind\n", counts.c_str(), leftovers);
}

TEST(KilledUndo, ARunKilledAfterAnyRenameIsUndoneToTheTreeBeforeIt) {
  for (int renamed = 0; renamed <= static_cast<int>(kPages.size()); ++renamed) {
    SCOPED_TRACE("renamed " + std::to_string(renamed));
    TempDir dir;
    test::ScopedEnv state("XDG_STATE_HOME", dir.File("state"));
    MakeRun(dir, renamed);
    const ChildResult undo = RunBatchProgram({"--undo"});
    EXPECT_TRUE(undo.exited);
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    ExpectTreeAsBeforeTheRun(dir);
  }
}

// velkaro-batch itself killed at its N-th rename (its journal's and its pages'), then undone.
TEST(KilledUndo, TheProgramsRunKilledAtEachRenameIsUndoneToTheTreeBeforeIt) {
  if (!test::StraceWorks()) {
    GTEST_SKIP() << "strace cannot trace a child here (ptrace not permitted)";
  }
  for (int n = 1;; ++n) {
    ASSERT_LT(n, 100) << "the run never got through";
    SCOPED_TRACE("rename #" + std::to_string(n));
    TempDir dir;
    test::ScopedEnv state("XDG_STATE_HOME", dir.File("state"));
    for (const Page& page : kPages) {
      std::filesystem::create_directories(std::filesystem::path(dir.File(page.name)).parent_path());
      WriteFile(dir.File(page.name), page.oldBytes);
    }
    ChildSetup setup;
    setup.straceArgs = {"-e", "inject=rename:signal=KILL:when=" + std::to_string(n)};
    const ChildResult run = RunBatchProgram({"-o", "2", "-r", dir.File("site")}, setup);
    const std::vector<RunSummary> runs = ListRuns(dir.File("state/Velkaro/runs"));
    if (!runs.empty()) {
      const ChildResult undo = RunBatchProgram({"--undo"});
      EXPECT_EQ(undo.exitCode, 0) << undo.err;
    }
    // Killed before its journal existed, the run had changed nothing.
    for (const Page& page : kPages) {
      EXPECT_TRUE(ReadFile(dir.File(page.name)) == page.oldBytes) << page.name;
    }
    if (run.exited) {
      EXPECT_EQ(runs.size(), 1u);
      break;
    }
  }
}

}  // namespace
}  // namespace vk
