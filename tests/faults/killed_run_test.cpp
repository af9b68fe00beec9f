// velkaro-batch killed in the middle of its work: strace sends SIGKILL at the N-th call of one
// system call (each write, each sync, each change of mode or owner, each rename), for N = 1, 2,
// ... until the run gets through. After every kill each page and the settings file holds its
// old or its new bytes; a kill just before a rename may leave the new file it was about to
// rename behind (anywhere, where the file system has no unnamed files), and the next run
// finishes the work regardless.
#include <gtest/gtest.h>
#include <signal.h>

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
  bool oneThread = false;  // every file is written on one thread
};

// strace counts calls per thread. The settings repair alone runs on the main thread; a single
// page is written by one helper, so the N-th call of either is the N-th call of its page; the
// whole tree mixes both, and taken one page after the other it reaches every call in turn.
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
     1,
     true},
};

void MakeTree(const TempDir& dir, const Scenario& scenario) {
  for (const auto& [name, bytes] : scenario.files) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(name)).parent_path());
    WriteFile(dir.File(name), bytes);
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
    if (!killed) {
      EXPECT_EQ(run.exitCode, scenario.exitCode) << run.err;
      EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
      return n - 1;
    }
    // Only files being written when the kill came may be left over: one beside each file the
    // run had in hand. Where new files have no name until they are complete, only a kill
    // between naming one and renaming it leaves it; with several threads writing, another
    // thread may be at that point when the kill comes, whatever call it came at.
    const std::vector<std::string> left = TemporaryFilesBelow(dir.Path());
    if (scenario.oneThread && call != "rename" && test::FolderHasUnnamedFiles(dir.Path())) {
      EXPECT_EQ(left, std::vector<std::string>{});
    }
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
    // The next run finishes the work; the leftover does not stand in its way.
    const ChildResult again = RunBatchProgram(Args(dir, scenario));
    EXPECT_TRUE(again.exited);
    std::set<std::string> expected;
    for (const auto& [name, bytes] : scenario.files) {
      EXPECT_EQ(ReadFile(dir.File(name)), newFiles.at(name)) << name;
      expected.insert(name);
    }
    for (const std::string& path : left) {
      expected.insert(std::filesystem::relative(path, dir.Path()).string());
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
    for (const char* call : {"write", "fsync", "fchown", "fchmod", "rename"}) {
      const int kills = KillAtEachCall(scenario, call, newFiles, &leftovers);
      // Every scenario writes at least one file, so each of these calls is made at least once.
      EXPECT_GE(kills, 1) << call;
      counts += std::string(" ") + call + " " + std::to_string(kills);
    }
    std::printf("%s: kills at%s; %d temporary files left behind\n", scenario.what, counts.c_str(),
                leftovers);
  }
}

}  // namespace
}  // namespace vk
