// The stages of a rewrite below the run: the rule for links, what a new file takes over from the
// file it replaces (owner, mode, extended attributes), the check and lock before the rename, and
// the leftovers of killed runs.
#include "fs/staged_file.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fs/fd.h"
#include "fs/file_snapshot.h"
#include "fs/new_file.h"
#include "fs/replace_file.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::FolderNames;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Code = FileStatus::Code;

constexpr uid_t kNobody = 65534;

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

void MakeLink(const std::string& target, const std::string& link, uid_t owner) {
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
  ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0) << link;
}

TEST(LinkRule, ALinkIsFollowedOnlyWhenItIsTheUsersOrItsTargetOwners) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "links of a second user need root";
  TempDir dir;
  const std::string rootsFile = dir.File("root.htm");
  const std::string nobodysFile = dir.File("nobody.htm");
  WriteFile(rootsFile, "root's");
  WriteFile(nobodysFile, "nobody's");
  ASSERT_EQ(::chown(nobodysFile.c_str(), kNobody, kNobody), 0);
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, uid_t>> chain;  // links in order: target, owner
    bool followed;
  } cases[] = {
      {"the user's link to someone's file", {{nobodysFile, 0}}, true},
      {"a stranger's link to the user's file", {{rootsFile, kNobody}}, false},
      {"a link of the file's owner", {{nobodysFile, kNobody}}, true},
      {"the user's link through a stranger's link", {{"", 0}, {rootsFile, kNobody}}, false},
      {"the owner's links all the way", {{"", kNobody}, {nobodysFile, kNobody}}, true},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Built from the end: each link leads to the next one, the last to the file.
    std::string next;
    for (auto it = c.chain.rbegin(); it != c.chain.rend(); ++it) {
      const std::string link = dir.File("link" + std::to_string(++number) + ".htm");
      MakeLink(it->first.empty() ? next : it->first, link, it->second);
      next = link;
    }
    std::string content = "stale";
    FileSnapshot snapshot;
    const FileStatus read = ReadFileWithSnapshot(next, &content, &snapshot);
    const FileStatus written = ReplaceFile(next, "new", PageRules());
    if (c.followed) {
      EXPECT_TRUE(read.ok());
      EXPECT_EQ(snapshot.writePath, c.chain.back().first);
      EXPECT_TRUE(written.ok());
      EXPECT_EQ(ReadFile(c.chain.back().first), "new");
    } else {
      EXPECT_EQ(read.code(), Code::kLinkRefused);
      EXPECT_EQ(content, "");
      EXPECT_EQ(written.code(), Code::kLinkRefused);
    }
    WriteFile(rootsFile, "root's");
  }
  EXPECT_EQ(ReadFile(rootsFile), "root's");

  // A link that leads nowhere may lead to a file made anew only when it is the user's.
  MakeLink(dir.File("made.ini"), dir.File("own.ini"), 0);
  MakeLink(dir.File("made.ini"), dir.File("strange.ini"), kNobody);
  std::string writePath;
  EXPECT_EQ(ResolveWritePath(dir.File("strange.ini"), &writePath, true).code(), Code::kLinkRefused);
  ASSERT_TRUE(ResolveWritePath(dir.File("own.ini"), &writePath, true).ok());
  EXPECT_EQ(writePath, dir.File("made.ini"));
  EXPECT_EQ(ResolveWritePath(dir.File("own.ini"), &writePath).code(), Code::kNotFound);
}

// The bytes of a POSIX ACL as the system keeps them in "system.posix_acl_access".
std::string AccessAcl(std::uint16_t userPerm, std::uint32_t otherUser, std::uint16_t otherPerm,
                      std::uint16_t groupPerm, std::uint16_t maskPerm) {
  std::string bytes;
  const auto put = [&bytes](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  const auto entry = [&put](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
    put(tag, 2);
    put(perm, 2);
    put(id, 4);
  };
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  put(2, 4);  // version
  entry(0x01, userPerm, kNone);
  entry(0x02, otherPerm, otherUser);
  entry(0x04, groupPerm, kNone);
  entry(0x10, maskPerm, kNone);
  entry(0x20, 0, kNone);
  return bytes;
}

std::vector<ExtendedAttribute> AttributesOf(const std::string& path) {
  std::vector<ExtendedAttribute> attributes;
  EXPECT_TRUE(ReadAttributesOf(path, &attributes).ok()) << path;
  return attributes;
}

// ACLs and the user's own attributes come along; an ACL the folder would give a new file by
// default is not added to a page that had none. Needs a file system with both (the build tree's
// usually has; tmpfs may lack user attributes).
TEST(ExtendedAttributes, TheNewFileCarriesExactlyWhatTheOldOneCarried) {
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "old");
  ASSERT_EQ(::chmod(page.c_str(), 0640), 0);
  if (::setxattr(page.c_str(), "user.velkaro.note", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "no user attributes on " << dir.Path() << ": " << std::strerror(errno);
  }
  const std::string acl = AccessAcl(6, kNobody, 6, 4, 6);
  if (::setxattr(page.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
    GTEST_SKIP() << "no ACLs on " << dir.Path() << ": " << std::strerror(errno);
  }
  const mode_t mode = StatOf(page).st_mode & 07777;  // the mask shows in the group bits
  const std::vector<ExtendedAttribute> before = AttributesOf(page);
  ASSERT_EQ(before.size(), 2u);

  ASSERT_TRUE(ReplaceFile(page, "new", PageRules()).ok());
  EXPECT_EQ(ReadFile(page), "new");
  EXPECT_EQ(AttributesOf(page), before);
  EXPECT_EQ(StatOf(page).st_mode & 07777, mode);

  // A folder whose default ACL would open new files to another user.
  const std::string folder = dir.File("shared");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string defaults = AccessAcl(7, kNobody, 7, 5, 7);
  ASSERT_EQ(
      ::setxattr(folder.c_str(), "system.posix_acl_default", defaults.data(), defaults.size(), 0),
      0);
  const std::string plain = folder + "/plain.htm";
  WriteFile(plain, "old");
  ASSERT_EQ(::chmod(plain.c_str(), 0600), 0);
  ASSERT_EQ(::removexattr(plain.c_str(), "system.posix_acl_access"), 0);
  ASSERT_TRUE(ReplaceFile(plain, "new", PageRules()).ok());
  EXPECT_EQ(AttributesOf(plain), std::vector<ExtendedAttribute>{});
  EXPECT_EQ(StatOf(plain).st_mode & 07777, 0600u);
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"plain.htm"});
}

TEST(StagedFile, NothingShowsBeforeTheCommitAndNothingStaysWithoutIt) {
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "old");
  std::string content;
  FileSnapshot snapshot;
  ASSERT_TRUE(ReadFileWithSnapshot(page, &content, &snapshot).ok());
  {
    StagedFile staged;
    ASSERT_TRUE(staged.Stage(page, "dropped", &snapshot).ok());
    ASSERT_TRUE(staged.Sync().ok());
    EXPECT_EQ(ReadFile(page), "old");
  }
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
  StagedFile staged;
  ASSERT_TRUE(staged.Stage(page, "new", &snapshot).ok());
  EXPECT_EQ(staged.Folder(), dir.Path());
  FileLock lock;
  ASSERT_TRUE(lock.LockIfUnchanged(snapshot).ok());
  ASSERT_TRUE(staged.Commit().ok());
  lock.Release();
  EXPECT_EQ(ReadFile(page), "new");
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
  // The file that was read is gone now: a second rewrite of the same reading is refused.
  EXPECT_EQ(lock.LockIfUnchanged(snapshot).code(), Code::kChanged);
}

// Between the reading and the rename someone saves the page, or a link is turned elsewhere:
// the check before the rename notices, and says how.
TEST(FileLock, APageChangedSinceItWasReadIsNotTheOneToReplace) {
  struct Case {
    const char* what;
    void (*change)(const std::string& page, const std::string& dir);
    Code code;
  } cases[] = {
      {"saved in place, longer",
       [](const std::string& p, const std::string&) { WriteFile(p, "old+"); }, Code::kChanged},
      {"saved by renaming a new file over it",
       [](const std::string& p, const std::string& d) {
         WriteFile(d + "/other", "old");
         ASSERT_EQ(::rename((d + "/other").c_str(), p.c_str()), 0);
       },
       Code::kChanged},
      {"its link turned to another file",
       [](const std::string&, const std::string& d) {
         WriteFile(d + "/elsewhere.htm", "old");
         ASSERT_EQ(::unlink((d + "/link.htm").c_str()), 0);
         ASSERT_EQ(::symlink("elsewhere.htm", (d + "/link.htm").c_str()), 0);
       },
       Code::kChanged},
      {"deleted",
       [](const std::string& p, const std::string&) { ASSERT_EQ(::unlink(p.c_str()), 0); },
       Code::kNotFound},
      {"a folder now",
       [](const std::string& p, const std::string&) {
         ASSERT_EQ(::unlink(p.c_str()), 0);
         ASSERT_EQ(::mkdir(p.c_str(), 0755), 0);
       },
       Code::kIsDirectory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string page = dir.File("page.htm");
    WriteFile(page, "old");
    ASSERT_EQ(::symlink("page.htm", dir.File("link.htm").c_str()), 0);
    std::string content;
    FileSnapshot snapshot;
    ASSERT_TRUE(ReadFileWithSnapshot(dir.File("link.htm"), &content, &snapshot).ok());
    EXPECT_EQ(snapshot.writePath, page);
    FileLock lock;
    ASSERT_TRUE(lock.LockIfUnchanged(snapshot).ok());
    lock.Release();
    c.change(page, dir.Path());
    EXPECT_EQ(lock.LockIfUnchanged(snapshot).code(), c.code);
  }
}

// Two rewrites of one reading, as two runs over the same page would make them: whichever comes
// second finds the first one's file and leaves it.
TEST(FileLock, TheSecondOfTwoRewritesFindsTheFirstOnesFile) {
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "old");
  std::string content;
  FileSnapshot first;
  FileSnapshot second;
  ASSERT_TRUE(ReadFileWithSnapshot(page, &content, &first).ok());
  ASSERT_TRUE(ReadFileWithSnapshot(page, &content, &second).ok());
  StagedFile firstFile;
  ASSERT_TRUE(firstFile.Stage(page, "first", &first).ok());
  FileLock firstLock;
  ASSERT_TRUE(firstLock.LockIfUnchanged(first).ok());
  FileStatus secondStatus = FileStatus::Ok();
  std::thread other([&] {
    FileLock secondLock;
    secondStatus = secondLock.LockIfUnchanged(second);
  });
  ASSERT_TRUE(firstFile.Commit().ok());
  firstLock.Release();
  other.join();
  EXPECT_EQ(secondStatus.code(), Code::kChanged);
  EXPECT_EQ(ReadFile(page), "first");
}

TEST(RemoveLeftovers, OnlyTheUsersTemporaryFilesThatNobodyWrites) {
  TempDir dir;
  const std::vector<std::string> leftovers = {".page.htm.vk-Ab3xY9", ".vk-ZZZZZZ",
                                              ".a.ini.vk-000000"};
  const std::vector<std::string> kept = {"page.htm", "page.htm.vk-Ab3xY9", ".page.htm.vk-Ab3xY",
                                         ".page.htm.vk-Ab3xY9x", ".page.htm.vk-Ab3_Y9"};
  for (const std::string& name : leftovers) WriteFile(dir.File(name), "x");
  for (const std::string& name : kept) WriteFile(dir.File(name), "x");
  // A folder of the name, and a file that is being written (its writer holds the lock).
  ASSERT_EQ(::mkdir(dir.File(".folder.vk-abcdef").c_str(), 0755), 0);
  WriteFile(dir.File(".live.htm.vk-abcdef"), "x");
  const Fd writer(::open(dir.File(".live.htm.vk-abcdef").c_str(), O_RDONLY));
  ASSERT_EQ(::flock(writer.get(), LOCK_EX), 0);
  std::vector<std::string> expected = kept;
  expected.push_back(".folder.vk-abcdef");
  expected.push_back(".live.htm.vk-abcdef");
  if (test::RunningAsRoot()) {
    WriteFile(dir.File(".others.htm.vk-qwerty"), "x");
    ASSERT_EQ(::chown(dir.File(".others.htm.vk-qwerty").c_str(), kNobody, kNobody), 0);
    expected.push_back(".others.htm.vk-qwerty");
  }
  std::sort(expected.begin(), expected.end());

  // With a name, only that name's.
  EXPECT_EQ(RemoveLeftovers(dir.Path(), "a.ini"), 1);
  EXPECT_TRUE(std::filesystem::exists(dir.File(".vk-ZZZZZZ")));
  EXPECT_EQ(RemoveLeftovers(dir.Path()), 2);
  EXPECT_EQ(FolderNames(dir.Path()), expected);
}

}  // namespace
}  // namespace vk
