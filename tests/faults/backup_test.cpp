// The backup asked for (--backup) that cannot be made stops its page, through velkaro-batch: a
// ".bak" that is a folder, a pipe or a read-only file, a name too long for ".bak", a disk too
// full for it. The page stays as it was, the message says why, the run exits with 1, and what
// stood at the ".bak" name is left alone. A ".bak" that is a link is replaced by the backup,
// never written through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
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

// Compression halves it: blanks collapse.
const std::string kPage = "<p>" + std::string(1000, ' ') + "x" + std::string(1000, ' ') + "</p>";
const std::string kCompressed = "<p> x </p>";

std::string BackupFailed(const std::string& page) {
  return "Konnte die Bak-Datei " + page + ".bak nicht schreiben! Die Datei " + page +
         " wird nicht verändert!\n";
}

struct Case {
  const char* what;
  std::string name;  // the page's name
  std::function<void(const std::string& backup, const TempDir& dir)> prepare;
  std::function<void(const std::string& backup, const TempDir& dir)> check;
  bool made;  // the backup is made and the page compressed
  std::optional<rlim_t> fileSizeLimit = std::nullopt;
};

TEST(Backup, OneThatCannotBeMadeStopsItsPage) {
  const auto nothing = [](const std::string&, const TempDir&) {};
  const Case cases[] = {
      {"a folder of the name", "page.htm",
       [](const std::string& b, const TempDir&) { ASSERT_EQ(mkdir(b.c_str(), 0755), 0); },
       [](const std::string& b, const TempDir&) {
         EXPECT_TRUE(std::filesystem::is_directory(b));
         EXPECT_TRUE(std::filesystem::is_empty(b));
       },
       false},
      {"a named pipe of the name", "page.htm",
       [](const std::string& b, const TempDir&) { ASSERT_EQ(mkfifo(b.c_str(), 0644), 0); },
       [](const std::string& b, const TempDir&) { EXPECT_TRUE(std::filesystem::is_fifo(b)); },
       false},
      {"a read-only backup", "page.htm",
       [](const std::string& b, const TempDir&) {
         WriteFile(b, "the backup of before");
         ASSERT_EQ(chmod(b.c_str(), 0444), 0);
       },
       [](const std::string& b, const TempDir&) { EXPECT_EQ(ReadFile(b), "the backup of before"); },
       false},
      {"a name too long for .bak", std::string(248, 'n') + ".htm", nothing,
       [](const std::string&, const TempDir& dir) {
         EXPECT_EQ(test::FolderNames(dir.File("site")),
                   std::vector<std::string>{std::string(248, 'n') + ".htm"});
       },
       false},
      {"a disk too full for the backup, not for the page", "page.htm", nothing,
       [](const std::string&, const TempDir& dir) {
         EXPECT_EQ(test::FolderNames(dir.File("site")), std::vector<std::string>{"page.htm"});
       },
       false, kPage.size() - 1},
      {"a link of the name, to a file elsewhere", "page.htm",
       [](const std::string& b, const TempDir& dir) {
         WriteFile(dir.File("elsewhere.txt"), "not to be touched");
         ASSERT_EQ(symlink(dir.File("elsewhere.txt").c_str(), b.c_str()), 0);
       },
       [](const std::string& b, const TempDir& dir) {
         EXPECT_FALSE(std::filesystem::is_symlink(b));
         EXPECT_EQ(ReadFile(b), kPage);
         EXPECT_EQ(ReadFile(dir.File("elsewhere.txt")), "not to be touched");
       },
       true},
      {"an earlier backup", "page.htm",
       [](const std::string& b, const TempDir&) { WriteFile(b, "older"); },
       [](const std::string& b, const TempDir&) { EXPECT_EQ(ReadFile(b), kPage); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::filesystem::create_directories(dir.File("site"));
    WriteFile(dir.File("empty.ini"), "");
    const std::string page = dir.File("site/" + c.name);
    const std::string backup = page + ".bak";
    WriteFile(page, kPage);
    c.prepare(backup, dir);
    ChildSetup setup;
    setup.fileSizeLimit = c.fileSizeLimit;
    const ChildResult run = RunBatchProgram(
        {"-o", "2", "--backup", "-s", dir.File("empty.ini"), dir.File("site")}, setup);
    ASSERT_TRUE(run.exited) << run.err;
    EXPECT_EQ(OldOrNew(page, kPage, kCompressed), c.made ? "new" : "old");
    EXPECT_EQ(run.err, c.made ? "" : BackupFailed(page));
    EXPECT_EQ(run.exitCode, c.made ? 0 : 1);
    c.check(backup, dir);
    EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace vk
