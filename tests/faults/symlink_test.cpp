// Symbolic links through velkaro-batch: a page reached through a link (to another folder, to
// another file system, through a chain of links) is rewritten at its target and the link stays
// the same link; dangling and cyclic links are left alone; folder links that loop do not make
// a recursive run go round or process a page twice. In a folder another user owns, root follows
// only links of that user's to that user's files (or links of its own), and a ".bak" link is
// replaced by the backup, never written through.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/special_chars.h"
#include "fault_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ChildResult;
using test::OldOrNew;
using test::ReadFile;
using test::RunBatchProgram;
using test::TempDir;
using test::TemporaryFilesBelow;
using test::WriteFile;

const std::string kPage =
    "<p>Gr\xFC\xDF"
    "e aus M\xFCnchen</p>";
const std::string kConverted = "<p>Gr&uuml;&szlig;e aus M&uuml;nchen</p>";

std::string LinkTarget(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return "no link";
  return std::filesystem::read_symlink(path, ec).string();
}

// Operation 1 (special characters) over `paths`, no backups, an empty settings file.
ChildResult Convert(const TempDir& dir, const std::vector<std::string>& paths,
                    bool subfolders = false) {
  if (!std::filesystem::exists(dir.File("empty.ini"))) WriteFile(dir.File("empty.ini"), "");
  std::vector<std::string> args = {"-o", "1", "--no-backup", "-s", dir.File("empty.ini")};
  if (subfolders) args.push_back("-r");
  args.insert(args.end(), paths.begin(), paths.end());
  return RunBatchProgram(args);
}

TEST(Symlinks, PageBehindALinkIsRewrittenAtItsTarget) {
  TempDir dir;
  TempDir shm("/dev/shm");
  std::filesystem::create_directories(dir.File("site"));
  std::filesystem::create_directories(dir.File("other"));
  WriteFile(dir.File("other/real.htm"), kPage);
  WriteFile(shm.File("elsewhere.htm"), kPage);
  WriteFile(shm.File("chained.htm"), kPage);
  ASSERT_EQ(symlink("../other/real.htm", dir.File("site/near.htm").c_str()), 0);
  ASSERT_EQ(symlink(shm.File("elsewhere.htm").c_str(), dir.File("site/far.htm").c_str()), 0);
  // site/chain.htm -> /dev/shm/.../hop.htm -> chained.htm
  ASSERT_EQ(symlink("chained.htm", shm.File("hop.htm").c_str()), 0);
  ASSERT_EQ(symlink(shm.File("hop.htm").c_str(), dir.File("site/chain.htm").c_str()), 0);
  struct stat before {};
  stat(shm.File("elsewhere.htm").c_str(), &before);

  const ChildResult run = Convert(dir, {dir.File("site")});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("3 Datei(en)"), std::string::npos) << run.out;
  EXPECT_EQ(OldOrNew(dir.File("other/real.htm"), kPage, kConverted), "new");
  EXPECT_EQ(OldOrNew(shm.File("elsewhere.htm"), kPage, kConverted), "new");
  EXPECT_EQ(OldOrNew(shm.File("chained.htm"), kPage, kConverted), "new");
  EXPECT_EQ(LinkTarget(dir.File("site/near.htm")), "../other/real.htm");
  EXPECT_EQ(LinkTarget(dir.File("site/far.htm")), shm.File("elsewhere.htm"));
  EXPECT_EQ(LinkTarget(dir.File("site/chain.htm")), shm.File("hop.htm"));
  EXPECT_EQ(LinkTarget(shm.File("hop.htm")), "chained.htm");
  struct stat after {};
  stat(shm.File("elsewhere.htm").c_str(), &after);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
  EXPECT_EQ(TemporaryFilesBelow(shm.Path()), std::vector<std::string>{});
}

TEST(Symlinks, DanglingAndCyclicLinksAreLeftAlone) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("site"));
  WriteFile(dir.File("site/page.htm"), kPage);
  ASSERT_EQ(symlink("missing.htm", dir.File("site/dead.htm").c_str()), 0);
  ASSERT_EQ(symlink("b.htm", dir.File("site/a.htm").c_str()), 0);
  ASSERT_EQ(symlink("a.htm", dir.File("site/b.htm").c_str()), 0);

  // In a folder they are not listed.
  const ChildResult folderRun = Convert(dir, {dir.File("site")});
  ASSERT_TRUE(folderRun.exited);
  EXPECT_EQ(folderRun.err, "");
  EXPECT_EQ(folderRun.exitCode, 0);
  EXPECT_NE(folderRun.out.find("1 Datei(en)"), std::string::npos) << folderRun.out;
  EXPECT_EQ(OldOrNew(dir.File("site/page.htm"), kPage, kConverted), "new");

  // Named on the command line they are refused before anything is done.
  for (const char* name : {"site/dead.htm", "site/a.htm"}) {
    SCOPED_TRACE(name);
    WriteFile(dir.File("site/page.htm"), kPage);
    const ChildResult run = Convert(dir, {dir.File("site/page.htm"), dir.File(name)});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "Der Parameter ist keine Datei und kein Ordner!\n");
    EXPECT_EQ(OldOrNew(dir.File("site/page.htm"), kPage, kConverted), "old");
  }
  EXPECT_EQ(LinkTarget(dir.File("site/dead.htm")), "missing.htm");
  EXPECT_EQ(LinkTarget(dir.File("site/a.htm")), "b.htm");
  EXPECT_EQ(LinkTarget(dir.File("site/b.htm")), "a.htm");
  EXPECT_FALSE(
      std::filesystem::exists(std::filesystem::symlink_status(dir.File("site/missing.htm"))));
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

TEST(Symlinks, FolderLinksThatLoopVisitEveryPageOnce) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("site/sub/deeper"));
  WriteFile(dir.File("settings.ini"), "[Find HTML Code]\r\n0=x\r\n[Replace HTML Code]\r\n0=xx\r\n");
  WriteFile(dir.File("site/top.htm"), "x");
  WriteFile(dir.File("site/sub/middle.htm"), "x");
  WriteFile(dir.File("site/sub/deeper/bottom.htm"), "x");
  ASSERT_EQ(symlink("..", dir.File("site/sub/up").c_str()), 0);
  ASSERT_EQ(symlink(".", dir.File("site/sub/deeper/self").c_str()), 0);
  ASSERT_EQ(symlink(dir.File("site").c_str(), dir.File("site/sub/deeper/home").c_str()), 0);

  // Replacing "x" by "xx" doubles a page each time it is processed.
  const ChildResult run = RunBatchProgram(
      {"-o", "0", "--no-backup", "-r", "-s", dir.File("settings.ini"), dir.File("site")});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("3 Datei(en)"), std::string::npos) << run.out;
  for (const char* page : {"site/top.htm", "site/sub/middle.htm", "site/sub/deeper/bottom.htm"}) {
    EXPECT_EQ(ReadFile(dir.File(page)), "xx") << page;
  }
  EXPECT_EQ(LinkTarget(dir.File("site/sub/up")), "..");
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

constexpr uid_t kNobody = 65534;

void LinkOf(uid_t owner, const std::string& target, const std::string& link) {
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
  ASSERT_EQ(lchown(link.c_str(), owner, owner), 0) << link;
}

TEST(Symlinks, RootOverAFolderAnotherUserOwnsFollowsOnlyLinksThatMayLeadThere) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "links of a second user need root";
  TempDir dir;
  for (const char* folder : {"shared", "outside", "nobodys"}) {
    std::filesystem::create_directories(dir.File(folder));
  }
  ASSERT_EQ(chown(dir.File("shared").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chown(dir.File("nobodys").c_str(), kNobody, kNobody), 0);
  const std::string secret = dir.File("outside/secret.htm");
  const std::string roots = dir.File("outside/roots.htm");
  const std::string victim = dir.File("outside/victim.txt");
  const std::string nobodys = dir.File("nobodys/page.htm");
  const std::string plain = dir.File("shared/plain.htm");
  for (const std::string& file : {secret, roots, nobodys, plain}) WriteFile(file, kPage);
  WriteFile(victim, "not to be overwritten");
  ASSERT_EQ(chown(nobodys.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chown(plain.c_str(), kNobody, kNobody), 0);
  // What the other user put in the folder, and one link of root's own.
  LinkOf(kNobody, "../outside/secret.htm", dir.File("shared/theirs.htm"));
  LinkOf(kNobody, "../nobodys/page.htm", dir.File("shared/own.htm"));
  LinkOf(0, roots, dir.File("shared/mine.htm"));
  LinkOf(kNobody, victim, plain + ".bak");

  WriteFile(dir.File("empty.ini"), "");
  const ChildResult run =
      RunBatchProgram({"-o", "1", "--backup", "-s", dir.File("empty.ini"), dir.File("shared")});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.err, "Die Verknüpfung " + dir.File("shared/theirs.htm") +
                         " gehört einem fremden Benutzer und wird nicht verfolgt!\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(OldOrNew(secret, kPage, kConverted), "old");
  EXPECT_EQ(LinkTarget(dir.File("shared/theirs.htm")), "../outside/secret.htm");
  EXPECT_FALSE(std::filesystem::exists(dir.File("shared/theirs.htm.bak")));
  // Followed: the other user's link to that user's file, and root's own link.
  EXPECT_EQ(ReadFile(nobodys), kConverted);
  EXPECT_EQ(ReadFile(roots), kConverted);
  struct stat st {};
  ASSERT_EQ(stat(nobodys.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kNobody);
  // The backup link is replaced by the backup; the file it led to is not touched.
  EXPECT_EQ(ReadFile(plain), kConverted);
  EXPECT_EQ(LinkTarget(plain + ".bak"), "no link");
  EXPECT_EQ(ReadFile(plain + ".bak"), kPage);
  EXPECT_EQ(ReadFile(victim), "not to be overwritten");
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

// The walk through the subfolders follows a folder link by the same rule: the other user's
// link into a folder of root's is not walked, that user's link to a folder of their own and
// root's own link are.
TEST(Symlinks, TheSubfolderWalkFollowsOnlyFolderLinksThatMayLeadThere) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "links of a second user need root";
  TempDir dir;
  for (const char* folder : {"shared", "outside", "nobodys", "roots"}) {
    std::filesystem::create_directories(dir.File(folder));
    WriteFile(dir.File(std::string(folder) + "/page.htm"), kPage);
  }
  for (const char* owned : {"shared", "shared/page.htm", "nobodys", "nobodys/page.htm"}) {
    ASSERT_EQ(chown(dir.File(owned).c_str(), kNobody, kNobody), 0) << owned;
  }
  LinkOf(kNobody, "../outside", dir.File("shared/theirs"));
  LinkOf(kNobody, "../nobodys", dir.File("shared/own"));
  LinkOf(0, dir.File("roots"), dir.File("shared/mine"));

  WriteFile(dir.File("empty.ini"), "");
  const ChildResult run =
      RunBatchProgram({"-o", "1", "-r", "-s", dir.File("empty.ini"), dir.File("shared")});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("3 Datei(en)"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFile(dir.File("outside/page.htm")), kPage);
  for (const char* page : {"shared/page.htm", "nobodys/page.htm", "roots/page.htm"}) {
    EXPECT_EQ(ReadFile(dir.File(page)), kConverted) << page;
  }
}

}  // namespace
}  // namespace vk
