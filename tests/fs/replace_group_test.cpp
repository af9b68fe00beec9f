// Replacing a group of files with one sync: what the group replaces, and what it leaves when a
// file changed meanwhile or the group is dropped.
#include "fs/replace_group.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"

namespace vk {
namespace {

using test::FolderNames;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct stat LstatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

TEST(ReplaceGroup, ReplacesEveryFileInTheOrderStaged) {
  TempDir dir;
  WriteFile(dir.File("a.htm"), "alt a");
  WriteFile(dir.File("b.htm"), "alt b");
  WriteFile(dir.File("ziel.htm"), "alt Ziel");
  std::filesystem::create_symlink(dir.File("ziel.htm"), dir.File("link.htm"));
  ASSERT_EQ(::link(dir.File("b.htm").c_str(), dir.File("b-zweiter-name.htm").c_str()), 0);
  ::chmod(dir.File("a.htm").c_str(), 0604);
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"a.htm", "neu a"}, {"b.htm", "neu b"}, {"link.htm", "neuer Inhalt des Ziels"}};
  ReplaceGroup group;
  for (const auto& [name, bytes] : pages) {
    std::string old;
    FileSnapshot snapshot;
    ASSERT_TRUE(ReadFileWithSnapshot(dir.File(name), &old, &snapshot).ok()) << name;
    ASSERT_TRUE(group.Stage(snapshot, bytes).ok()) << name;
  }
  EXPECT_EQ(group.Count(), 3u);
  EXPECT_EQ(group.Bytes(), 32);
  EXPECT_EQ(ReadFile(dir.File("a.htm")), "alt a");  // nothing visible before the commit
  const std::vector<ReplaceGroup::Result> results = group.Commit();
  ASSERT_EQ(results.size(), 3u);
  for (const ReplaceGroup::Result& result : results) {
    EXPECT_EQ(result.outcome, ReplaceGroup::Outcome::kReplaced) << result.status.err();
  }
  EXPECT_EQ(group.Count(), 0u);
  EXPECT_EQ(ReadFile(dir.File("a.htm")), "neu a");
  EXPECT_EQ(LstatOf(dir.File("a.htm")).st_mode & 07777, 0604u);
  EXPECT_EQ(ReadFile(dir.File("b.htm")), "neu b");
  EXPECT_EQ(ReadFile(dir.File("b-zweiter-name.htm")), "alt b");  // a file of its own now
  EXPECT_EQ(LstatOf(dir.File("b.htm")).st_nlink, 1u);
  EXPECT_TRUE(S_ISLNK(LstatOf(dir.File("link.htm")).st_mode));
  EXPECT_EQ(ReadFile(dir.File("ziel.htm")), "neuer Inhalt des Ziels");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"a.htm", "b-zweiter-name.htm",
                                                               "b.htm", "link.htm", "ziel.htm"}));
}

TEST(ReplaceGroup, AFileChangedMeanwhileKeepsTheChange) {
  TempDir dir;
  WriteFile(dir.File("a.htm"), "alt a");
  WriteFile(dir.File("b.htm"), "alt b");
  WriteFile(dir.File("c.htm"), "alt c");
  ReplaceGroup group;
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) {
    std::string old;
    FileSnapshot snapshot;
    ASSERT_TRUE(ReadFileWithSnapshot(dir.File(name), &old, &snapshot).ok());
    ASSERT_TRUE(group.Stage(snapshot, std::string("neu ") + name).ok());
  }
  // Saved by someone (another inode), and edited in place with the same size and a later time.
  WriteFile(dir.File("a.htm.tmp"), "gespeichert");
  std::filesystem::rename(dir.File("a.htm.tmp"), dir.File("a.htm"));
  WriteFile(dir.File("b.htm"), "ALT B");
  struct timespec later[2] = {{0, UTIME_OMIT}, {2'000'000'000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("b.htm").c_str(), later, 0), 0);

  const std::vector<ReplaceGroup::Result> results = group.Commit();
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].outcome, ReplaceGroup::Outcome::kChangedMeanwhile);
  EXPECT_EQ(results[1].outcome, ReplaceGroup::Outcome::kChangedMeanwhile);
  EXPECT_EQ(results[2].outcome, ReplaceGroup::Outcome::kReplaced);
  EXPECT_EQ(ReadFile(dir.File("a.htm")), "gespeichert");
  EXPECT_EQ(ReadFile(dir.File("b.htm")), "ALT B");
  EXPECT_EQ(ReadFile(dir.File("c.htm")), "neu c.htm");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"a.htm", "b.htm", "c.htm"}));
}

TEST(ReplaceGroup, AGroupDroppedBeforeItsCommitLeavesNothing) {
  TempDir dir;
  WriteFile(dir.File("a.htm"), "alt a");
  {
    ReplaceGroup group;
    std::string old;
    FileSnapshot snapshot;
    ASSERT_TRUE(ReadFileWithSnapshot(dir.File("a.htm"), &old, &snapshot).ok());
    ASSERT_TRUE(group.Stage(snapshot, "neu a").ok());
  }
  EXPECT_EQ(ReadFile(dir.File("a.htm")), "alt a");
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"a.htm"});
}

}  // namespace
}  // namespace vk
