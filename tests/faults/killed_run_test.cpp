// velkaro-batch killed in the middle of its work: strace sends SIGKILL at the N-th call of one
// system call (each write, each sync of a file or of a group's file system, each change of mode
// or owner, each rename), for N = 1, 2,
// ... until the run gets through. After every kill each page and the settings file holds its
// old or its new bytes, a hard-linked page's other name its old bytes; a kill just before a
// rename may leave the new file it was about to rename behind (anywhere, where the file system
// has no unnamed files), and the next run removes it and finishes the work.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fault_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ChildResult;
using test::ChildSetup;
using test::OldOrNew;
using test::ReadFile;
using test::RunBatchProgram;
using test::TempDir;
using test::TemporaryFilesBelow;
using test::WriteFile;

// The evened-out pair replaces "</b>" by itself, so a second run changes nothing more.
const std::string kUnevenSettings =
    "[Options]\r\nCreateBak=0\r\n[Find HTML Code]\r\n0=<b>\r\n1=</b>\r\n"
    "[Replace HTML Code]\r\n0=<strong>\r\n";
const std::string kEvenSettings =
    "[Options]\r\nCreateBak=0\r\n[Find HTML Code]\r\n0=<b>\r\n"
    "[Replace HTML Code]\r\n0=<strong>\r\n";
const std::string kPageA =
    "<p>  Gr\xFC\xDF"
    "e <b>a</b></p>\r\n";
const std::string kPageB = "<table>\t<tr> <td>\xE4</td> </tr>\r\n</table>\r\n";
const std::string kPageC = "<pre>  kept  </pre>\r\n<p>  <b>c</b>  </p>";

// A tree, the command line run on it (with the tree's folder for "@"), and its exit code.
struct Scenario {
  const char* what;
  std::map<std::string, std::string> files;
  std::vector<std::string> args;
  int exitCode;
  // Second names of pages, out of the run's reach: {page, second name}.
  std::vector<std::pair<std::string, std::string>> hardLinks = {};
  // Folders made read-only once the tree stands.
  std::vector<std::string> readOnlyFolders = {};
};

// strace counts calls per thread. The settings repair and the renames run on the main thread; a
// single page is written by one helper, so the N-th call of either is the N-th call of its
// page; the whole tree mixes both, and taken one page after the other it reaches every call in
// turn.
const Scenario kScenarios[] = {
    {"settings repair before one page",
     {{"settings.ini", kUnevenSettings}, {"site/a.htm", kPageA}},
     {"-o", "0", "-s", "@/settings.ini", "@/site/a.htm"},
     1},
    {"one page through all three steps",
     {{"settings.ini", kEvenSettings}, {"site/b.htm", kPageB}},
     {"-o", "6", "-s", "@/settings.ini", "@/site/b.htm"},
     0},
    {"a tree with a settings repair",
     {{"settings.ini", kUnevenSettings},
      {"site/a.htm", kPageA},
      {"site/b.htm", kPageB},
      {"site/sub/c.html", kPageC}},
     {"-o", "6", "-r", "-s", "@/settings.ini", "@/site"},
     1},
    {"a tree one page after the other",
     {{"settings.ini", kUnevenSettings},
      {"site/a.htm", kPageA},
      {"site/b.htm", kPageB},
      {"site/sub/c.html", kPageC}},
     {"-o", "6", "-r", "--jobs", "1", "-s", "@/settings.ini", "@/site"},
     1},
    {"a page with a second hard link",
     {{"settings.ini", kEvenSettings}, {"site/a.htm", kPageA}},
     {"-o", "6", "--backup", "-s", "@/settings.ini", "@/site/a.htm"},
     0,
     {{"site/a.htm", "snapshot/a.htm"}}},
    {"a page in a read-only folder",
     {{"settings.ini", kEvenSettings}, {"site/locked/c.html", kPageC}},
     {"-o", "6", "-s", "@/settings.ini", "@/site/locked/c.html"},
     0,
     {},
     {"site/locked"}},
};

void MakeTree(const TempDir& dir, const Scenario& scenario) {
  for (const auto& [name, bytes] : scenario.files) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(name)).parent_path());
    WriteFile(dir.File(name), bytes);
  }
  for (const auto& [page, second] : scenario.hardLinks) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(second)).parent_path());
    ASSERT_EQ(link(dir.File(page).c_str(), dir.File(second).c_str()), 0);
  }
  for (const std::string& folder : scenario.readOnlyFolders) {
    ASSERT_EQ(chmod(dir.File(folder).c_str(), 0555), 0);
  }
}

// The second names keep the old bytes whatever happens to their pages.
void CheckSecondNames(const TempDir& dir, const Scenario& scenario) {
  for (const auto& [page, second] : scenario.hardLinks) {
    EXPECT_EQ(ReadFile(dir.File(second)), scenario.files.at(page)) << second;
  }
}

std::vector<std::string> Args(const TempDir& dir, const Scenario& scenario) {
  std::vector<std::string> args;
  for (const std::string& arg : scenario.args) {
    args.push_back(arg[0] == '@' ? dir.Path() + arg.substr(1) : arg);
  }
  return args;
}

// Every regular file below the folder, by its name relative to it.
std::set<std::string> FilesBelow(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      names.insert(std::filesystem::relative(entry.path(), folder).string());
    }
  }
  return names;
}

// Kills the run at call 1, 2, ... of `call` until it gets through; returns the number of kills.
int KillAtEachCall(const Scenario& scenario, const std::string& call,
                   const std::map<std::string, std::string>& newFiles, int* leftovers) {
  for (int n = 1;; ++n) {
    if (n >= 200) {
      ADD_FAILURE() << call << ": the run never got through";
      return n;
    }
    SCOPED_TRACE(call + " #" + std::to_string(n));
    TempDir dir;
    MakeTree(dir, scenario);
    ChildSetup setup;
    setup.straceArgs = {"-e", "inject=" + call + ":signal=KILL:when=" + std::to_string(n)};
    const ChildResult run = RunBatchProgram(Args(dir, scenario), setup);
    const bool killed = !run.exited && run.signal == SIGKILL;
    EXPECT_TRUE(killed || run.exited) << "signal " << run.signal;
    for (const auto& [name, bytes] : scenario.files) {
      const std::string state = OldOrNew(dir.File(name), bytes, newFiles.at(name));
      EXPECT_TRUE(state == "old" || state == "new") << name << ": " << state;
    }
    CheckSecondNames(dir, scenario);
    if (!killed) {
      EXPECT_EQ(run.exitCode, scenario.exitCode) << run.err;
      EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
      return n - 1;
    }
    // Only files being written when the kill came may be left over: one beside each file the
    // run had in hand. Where new files have no name until they are complete, only a kill
    // between naming one and renaming it leaves it, and the run's own thread names and renames
    // them one after the other.
    const std::vector<std::string> left = TemporaryFilesBelow(dir.Path());
    if (call != "rename" && test::FolderHasUnnamedFiles(dir.Path())) {
      EXPECT_EQ(left, std::vector<std::string>{});
    }
    EXPECT_LE(left.size(), 1u);
    for (const std::string& path : left) {
      const std::string leftName = std::filesystem::path(path).filename().string();
      bool besideOne = false;
      for (const auto& [name, bytes] : scenario.files) {
        const std::string prefix = "." + std::filesystem::path(name).filename().string() + ".";
        besideOne = besideOne || leftName.rfind(prefix, 0) == 0;
      }
      EXPECT_TRUE(besideOne) << path;
    }
    *leftovers += static_cast<int>(left.size());
    // The next run removes what was left and finishes the work.
    const ChildResult again = RunBatchProgram(Args(dir, scenario));
    EXPECT_TRUE(again.exited);
    std::set<std::string> expected;
    for (const auto& [name, bytes] : scenario.files) {
      EXPECT_EQ(ReadFile(dir.File(name)), newFiles.at(name)) << name;
      expected.insert(name);
    }
    for (const auto& [page, second] : scenario.hardLinks) expected.insert(second);
    CheckSecondNames(dir, scenario);
    if (std::find(scenario.args.begin(), scenario.args.end(), "--backup") != scenario.args.end()) {
      for (const auto& [name, bytes] : scenario.files) {
        if (name.ends_with(".htm") || name.ends_with(".html")) expected.insert(name + ".bak");
      }
    }
    EXPECT_EQ(FilesBelow(dir.Path()), expected);
  }
}

TEST(KilledRun, EveryFileIsOldOrNewAfterAKillAtAnyStep) {
  if (!test::StraceWorks()) {
    GTEST_SKIP() << "strace cannot trace a child here (ptrace not permitted)";
  }
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.what);
    // What an uninterrupted run makes of the tree.
    std::map<std::string, std::string> newFiles;
    {
      TempDir reference;
      MakeTree(reference, scenario);
      const ChildResult run = RunBatchProgram(Args(reference, scenario));
      ASSERT_TRUE(run.exited);
      ASSERT_EQ(run.exitCode, scenario.exitCode) << run.err;
      for (const auto& [name, bytes] : scenario.files) {
        newFiles[name] = ReadFile(reference.File(name));
        // Every page changes; the settings file only where its lists are evened out.
        if (name != "settings.ini" || scenario.exitCode == 1) {
          ASSERT_NE(newFiles[name], bytes) << name;
        }
      }
    }
    int leftovers = 0;
    std::string counts;
    for (const char* call : {"write", "fsync", "syncfs", "fchown", "fchmod", "rename"}) {
      const int kills = KillAtEachCall(scenario, call, newFiles, &leftovers);
      // Every scenario writes at least one file, so each of these calls is made at least once.
      // Pages are synced by their group's syncfs: fsync syncs the settings file when the run
      // repairs it, and otherwise only the undo journal's folder once, with its first records.
      if (std::string(call) == "fsync" && scenario.exitCode == 0) {
        EXPECT_LE(kills, 1) << call;
      } else {
        EXPECT_GE(kills, 1) << call;
      }
      counts += std::string(" ") + call + " " + std::to_string(kills);
    }
    std::printf("%s: kills at%s; %d temporary files left behind\n", scenario.what, counts.c_str(),
                leftovers);
  }
}

// Sixteen pages in hand (the default), forty pages with backups: wherever the kill comes, at
// most the one new file the run was renaming is left, and the next run removes it.
TEST(KilledRun, PagesInHandLeaveNothingBehindForTheNextRun) {
  if (!test::StraceWorks()) {
    GTEST_SKIP() << "strace cannot trace a child here (ptrace not permitted)";
  }
  Scenario scenario{"forty pages", {{"settings.ini", kEvenSettings}}, {}, 0};
  for (int i = 0; i < 40; ++i) {
    scenario.files["site/p" + std::to_string(i) + ".htm"] = kPageA + std::to_string(i);
  }
  scenario.args = {"-o", "6", "--backup", "-s", "@/settings.ini", "@/site"};
  int leftovers = 0;
  for (const char* call : {"rename", "fsync", "write"}) {
    for (const int n : {1, 9, 16, 33, 60}) {
      SCOPED_TRACE(std::string(call) + " #" + std::to_string(n));
      TempDir dir;
      MakeTree(dir, scenario);
      ChildSetup setup;
      setup.straceArgs = {"-e",
                          "inject=" + std::string(call) + ":signal=KILL:when=" + std::to_string(n)};
      const ChildResult run = RunBatchProgram(Args(dir, scenario), setup);
      if (run.exited) continue;  // the run got through before the n-th call
      ASSERT_EQ(run.signal, SIGKILL);
      const std::vector<std::string> left = TemporaryFilesBelow(dir.Path());
      EXPECT_LE(left.size(), 1u);
      leftovers += static_cast<int>(left.size());
      const ChildResult again = RunBatchProgram(Args(dir, scenario));
      ASSERT_TRUE(again.exited);
      EXPECT_EQ(again.exitCode, 0) << again.err;
      EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
      EXPECT_EQ(FilesBelow(dir.Path()).size(), 1 + 2 * 40u);
    }
  }
  std::printf(
      "forty pages in hand: %d temporary files left by the kills, none after the next "
      "runs\n",
      leftovers);
}

// A run of 150 pages commits them in groups of 64, 64 and 22: one syncfs makes a group's new files
// and the renames of the group before durable, the group's renames follow; one more syncfs at
// the end makes the last renames durable. Killed at the data sync of a group, no page of that
// group is renamed yet and every page of the groups before it is; killed at a group's rename,
// the pages before it in the group are new; the next run finishes the work.
TEST(KilledRun, AGroupIsRenamedOnlyAfterItsSync) {
  if (!test::StraceWorks()) {
    GTEST_SKIP() << "strace cannot trace a child here (ptrace not permitted)";
  }
  Scenario scenario{"150 pages", {{"settings.ini", kEvenSettings}}, {}, 0};
  for (int i = 0; i < 150; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "site/p%03d.htm", i);
    scenario.files[name] = kPageA + std::to_string(i);
  }
  scenario.args = {"-o", "6", "-s", "@/settings.ini", "@/site"};
  const auto newPages = [](const TempDir& dir) {
    int count = 0;
    for (int i = 0; i < 150; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "site/p%03d.htm", i);
      count += ReadFile(dir.File(name)).find("<strong>") != std::string::npos ? 1 : 0;
    }
    return count;
  };
  struct Kill {
    const char* call;
    int n;
    int newPages;  // pages renamed when the kill comes
  };
  const Kill kills[] = {
      {"syncfs", 1, 0}, {"syncfs", 2, 64},  {"syncfs", 3, 128}, {"syncfs", 4, 150},
      {"rename", 1, 0}, {"rename", 64, 63}, {"rename", 65, 64}, {"rename", 150, 149},
  };
  for (const Kill& kill : kills) {
    SCOPED_TRACE(std::string(kill.call) + " #" + std::to_string(kill.n));
    TempDir dir;
    MakeTree(dir, scenario);
    ChildSetup setup;
    setup.straceArgs = {
        "-e", "inject=" + std::string(kill.call) + ":signal=KILL:when=" + std::to_string(kill.n)};
    const ChildResult run = RunBatchProgram(Args(dir, scenario), setup);
    ASSERT_FALSE(run.exited);
    ASSERT_EQ(run.signal, SIGKILL);
    EXPECT_EQ(newPages(dir), kill.newPages);
    EXPECT_LE(TemporaryFilesBelow(dir.Path()).size(), 1u);
    const ChildResult again = RunBatchProgram(Args(dir, scenario));
    ASSERT_TRUE(again.exited);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(newPages(dir), 150);
    EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace vk
