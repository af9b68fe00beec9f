// The file layer's reader, writability rule and replacer, with the page rules and the rules of
// backups and the settings file.
#include "fs/replace_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "fs/disk_file_access.h"
#include "fs/read_file.h"
#include "fs/writable.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace vk {
namespace {

using namespace std::string_literals;
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

// Runs `body` in a child process and returns the number it gave, or -1 when the child did not
// get that far.
int RunInChild(const std::function<int()>& body, const test::ChildSetup& setup = {}) {
  const test::ChildResult child = test::RunInChild([&] { return std::to_string(body()); }, setup);
  return child.exited && child.out.find_first_not_of("0123456789") == std::string::npos &&
                 !child.out.empty()
             ? std::stoi(child.out)
             : -1;
}

// In a child running as root: becomes the unprivileged user "nobody".
bool BecomeNobody() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

FileStatus ReplacePage(const std::string& path, std::string_view content) {
  return ReplaceFile(path, content, PageRules());
}

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

TEST(FileLayer, ReplaceThenReadGivesTheSameBytes) {
  const std::string contents[] = {
      "",
      "a",
      "<p>Gr\xFC\xDF"
      "e</p>\r\n",
      "with\0nul\0bytes"s,
      std::string(3, '\0'),
      // Read in place, and through the reader's own buffer in several turns.
      Pattern((1 << 20) - 1),
      Pattern(1 << 20),
      Pattern((3 << 20) + 17),
  };
  const std::string olds[] = {"old", "", Pattern(70000)};
  for (const auto& old : olds) {
    for (const auto& content : contents) {
      TempDir dir;
      const std::string page = dir.File("page.htm");
      WriteFile(page, old);
      ASSERT_TRUE(ReplacePage(page, content).ok());
      std::string back = "junk";
      ASSERT_TRUE(ReadWholeFile(page, &back).ok());
      EXPECT_EQ(back, content) << "old size " << old.size() << ", new size " << content.size();
      EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
    }
  }
}

TEST(FileLayer, DiskFileAccessReadsAndWritesTheDisk) {
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "before");
  std::string content;
  ASSERT_TRUE(DiskFileAccess().Read(page, &content).ok());
  EXPECT_EQ(content, "before");
  ASSERT_TRUE(DiskFileAccess().Write(page, "after!").ok());
  EXPECT_EQ(ReadFile(page), "after!");
}

TEST(FileLayer, MissingFileAndFolderAreRefused) {
  TempDir dir;
  const std::string missing = dir.File("missing.htm");
  std::string content = "left over";
  FileStatus s = ReadWholeFile(missing, &content);
  EXPECT_EQ(s.code(), Code::kNotFound);
  EXPECT_EQ(s.err(), ENOENT);
  EXPECT_EQ(content, "");

  s = ReplacePage(missing, "new");
  EXPECT_EQ(s.code(), Code::kNotFound);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(IsWritableFile(missing));

  // A path through a missing folder is missing as well.
  EXPECT_EQ(ReadWholeFile(dir.File("no/page.htm"), &content).code(), Code::kNotFound);

  content = "left over";
  EXPECT_EQ(ReadWholeFile(dir.Path(), &content).code(), Code::kIsDirectory);
  EXPECT_EQ(content, "");
  EXPECT_EQ(ReplacePage(dir.Path(), "x").code(), Code::kIsDirectory);
  EXPECT_FALSE(IsWritableFile(dir.Path()));
  EXPECT_TRUE(test::FolderNames(dir.Path()).empty());
}

TEST(FileLayer, PipeIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::string pipe = dir.File("pipe.htm");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  std::string content = "x";
  FileStatus s = ReadWholeFile(pipe, &content);
  EXPECT_EQ(s.code(), Code::kIoError);
  EXPECT_EQ(s.err(), EINVAL);
  EXPECT_EQ(content, "");
  s = ReplacePage(pipe, "new");
  EXPECT_EQ(s.code(), Code::kIoError);
  EXPECT_EQ(s.err(), EINVAL);
  EXPECT_FALSE(IsWritableFile(pipe));
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"pipe.htm"});
}

TEST(FileLayer, UnreadableFileIsAnIoError) {
  if (test::RunningAsRoot()) {
    // Root reads everything; check it as "nobody" in a child.
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string page = dir.File("secret.htm");
    WriteFile(page, "secret");
    ASSERT_EQ(::chmod(page.c_str(), 0600), 0);
    const int code = RunInChild([&] {
      if (!BecomeNobody()) return 10;
      std::string content = "x";
      const FileStatus s = ReadWholeFile(page, &content);
      return s.code() == Code::kIoError && s.err() == EACCES && content.empty() ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
  } else {
    TempDir dir;
    const std::string page = dir.File("secret.htm");
    WriteFile(page, "secret");
    ASSERT_EQ(::chmod(page.c_str(), 0200), 0);
    std::string content = "x";
    const FileStatus s = ReadWholeFile(page, &content);
    EXPECT_EQ(s.code(), Code::kIoError);
    EXPECT_EQ(s.err(), EACCES);
    EXPECT_EQ(content, "");
  }
}

TEST(FileLayer, ReadOnlyFileIsNeverReplaced) {
  // Writable means: some write bit for root, the owner's write bit for the owner.
  struct Case {
    mode_t mode;
    bool writableForRoot, writableForOwner;
  } cases[] = {
      {0444, false, false}, {0400, false, false}, {0000, false, false}, {0555, false, false},
      {0644, true, true},   {0200, true, true},   {0464, true, false},  {0446, true, false},
  };
  const bool root = test::RunningAsRoot();
  for (const auto& c : cases) {
    TempDir dir;
    const std::string page = dir.File("page.htm");
    WriteFile(page, "original \xE4");
    ASSERT_EQ(::chmod(page.c_str(), c.mode), 0);
    const bool expected = root ? c.writableForRoot : c.writableForOwner;
    EXPECT_EQ(IsWritableFile(page), expected) << std::oct << c.mode;
    const FileStatus s = ReplacePage(page, "replaced");
    if (expected) {
      EXPECT_TRUE(s.ok()) << std::oct << c.mode;
    } else {
      EXPECT_EQ(s.code(), Code::kReadOnly) << std::oct << c.mode;
      ::chmod(page.c_str(), 0600);
      EXPECT_EQ(ReadFile(page), "original \xE4") << std::oct << c.mode;
    }
    EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
  }
}

TEST(FileLayer, ReadOnlyFileStaysAsItWasWithItsMode) {
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "keep me");
  ASSERT_EQ(::chmod(page.c_str(), 0444), 0);
  const struct stat before = StatOf(page);
  EXPECT_EQ(ReplacePage(page, "gone").code(), Code::kReadOnly);
  const struct stat after = StatOf(page);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(ReadFile(page), "keep me");
}

TEST(FileLayer, LinkStaysALinkAndItsTargetIsRewritten) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("site").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.File("links").c_str(), 0755), 0);
  const std::string target = dir.File("site/page.htm");
  WriteFile(target, "old target");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  // A relative link, and a link to that link.
  const std::string link = dir.File("links/page.htm");
  const std::string chained = dir.File("links/again.htm");
  ASSERT_EQ(::symlink("../site/page.htm", link.c_str()), 0);
  ASSERT_EQ(::symlink("page.htm", chained.c_str()), 0);

  struct Case {
    std::string through, content;
  } cases[] = {{link, "new through the link"}, {chained, "new through two links"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(ReplacePage(c.through, c.content).ok()) << c.through;
    EXPECT_EQ(ReadFile(target), c.content);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::lstat(chained.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    char buf[64] = {};
    ASSERT_EQ(::readlink(link.c_str(), buf, sizeof buf - 1), 16);
    EXPECT_STREQ(buf, "../site/page.htm");
    EXPECT_EQ(StatOf(target).st_mode & 07777, 0640u);
    EXPECT_EQ(test::FolderNames(dir.File("site")), std::vector<std::string>{"page.htm"});
    EXPECT_EQ(test::FolderNames(dir.File("links")),
              (std::vector<std::string>{"again.htm", "page.htm"}));
  }
}

TEST(FileLayer, DanglingLinkIsMissingAndStaysALink) {
  TempDir dir;
  const std::string link = dir.File("page.htm");
  ASSERT_EQ(::symlink("gone.htm", link.c_str()), 0);
  std::string content;
  EXPECT_EQ(ReadWholeFile(link, &content).code(), Code::kNotFound);
  EXPECT_EQ(ReplacePage(link, "x").code(), Code::kNotFound);
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
}

TEST(FileLayer, ReplacedFileKeepsItsModeBits) {
  const mode_t modes[] = {0600, 0640, 0664, 0755, 0604, 0644, 0700, 04755, 0200};
  for (mode_t mode : modes) {
    TempDir dir;
    const std::string page = dir.File("page.htm");
    WriteFile(page, "old");
    ASSERT_EQ(::chmod(page.c_str(), mode), 0);
    ASSERT_TRUE(ReplacePage(page, "new content").ok()) << std::oct << mode;
    EXPECT_EQ(StatOf(page).st_mode & 07777, mode) << std::oct << mode;
    ::chmod(page.c_str(), 0600);
    EXPECT_EQ(ReadFile(page), "new content");
  }
}

TEST(FileLayer, ReplacedFileKeepsItsOwner) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "only root may give a file away";
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "old");
  ASSERT_EQ(::chown(page.c_str(), 12345, 23456), 0);
  ASSERT_TRUE(ReplacePage(page, "new").ok());
  const struct stat st = StatOf(page);
  EXPECT_EQ(st.st_uid, 12345u);
  EXPECT_EQ(st.st_gid, 23456u);
  EXPECT_EQ(ReadFile(page), "new");
}

// A page with several hard links becomes a file of its own: its other names keep the old text
// (they may be snapshots), whatever the new text's size.
TEST(FileLayer, HardLinkedFileBecomesAFileOfItsOwn) {
  const std::string contents[] = {"a longer content than before, " + Pattern(10000), "short", ""};
  for (const auto& content : contents) {
    TempDir dir;
    const std::string first = dir.File("first.htm");
    const std::string second = dir.File("second.htm");
    const std::string old = "original content of medium length";
    WriteFile(first, old);
    ASSERT_EQ(::chmod(first.c_str(), 0640), 0);
    ASSERT_EQ(::link(first.c_str(), second.c_str()), 0);
    const ino_t inode = StatOf(first).st_ino;
    ASSERT_TRUE(ReplacePage(second, content).ok());
    EXPECT_EQ(ReadFile(first), old);
    EXPECT_EQ(ReadFile(second), content);
    const struct stat st = StatOf(second);
    EXPECT_NE(st.st_ino, inode);
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(StatOf(first).st_nlink, 1u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"first.htm", "second.htm"}));
  }
}

// The size limit of a process stands in for a full disk: writes past it fail with EFBIG.
TEST(FileLayer, FailedWriteLeavesTheOriginalAndNoTemporaryFile) {
  struct Case {
    const char* what;
    bool hardLinked;
  } cases[] = {{"one name", false}, {"two hard links", true}};
  const std::string original = "<html>original " + Pattern(1500) + "</html>";
  const std::string bigger = Pattern(20000);
  for (const auto& c : cases) {
    TempDir dir;
    const std::string page = dir.File("page.htm");
    WriteFile(page, original);
    std::vector<std::string> names{"page.htm"};
    if (c.hardLinked) {
      ASSERT_EQ(::link(page.c_str(), dir.File("twin.htm").c_str()), 0);
      names.push_back("twin.htm");
    }
    const struct stat before = StatOf(page);
    const int code = RunInChild(
        [&] {
          const FileStatus s = ReplacePage(page, bigger);
          if (s.ok()) return 1;
          return s.code() == Code::kTooLarge && s.err() == EFBIG ? 0 : 2;
        },
        test::SizeLimited(4096));
    EXPECT_EQ(code, 0) << c.what;
    EXPECT_EQ(ReadFile(page), original) << c.what;
    EXPECT_EQ(test::FolderNames(dir.Path()), names) << c.what;
    const struct stat after = StatOf(page);
    EXPECT_EQ(after.st_ino, before.st_ino) << c.what;
    EXPECT_EQ(after.st_size, before.st_size) << c.what;
    EXPECT_EQ(after.st_nlink, before.st_nlink) << c.what;
  }
}

// Nothing is ever written into the page itself: where no new file can stand beside it, it is
// left as it is.
TEST(FileLayer, FolderWithoutRoomForANewFileLeavesThePage) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  const std::string folder = dir.File("locked");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string page = folder + "/page.htm";
  WriteFile(page, "original text that is rather long");
  const ino_t inode = StatOf(page).st_ino;
  int code;
  if (test::RunningAsRoot()) {
    // Root may create files anywhere; the page's owner "nobody" may not in a folder of root's.
    ASSERT_EQ(::chown(page.c_str(), kNobody, kNobody), 0);
    code = RunInChild([&] {
      if (!BecomeNobody()) return 10;
      const FileStatus s = ReplacePage(page, "new");
      return s.code() == Code::kNoNewFile && s.err() == EACCES ? 0 : 1;
    });
  } else {
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    const FileStatus s = ReplacePage(page, "new");
    code = s.code() == Code::kNoNewFile && s.err() == EACCES ? 0 : 1;
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  }
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(page), "original text that is rather long");
  EXPECT_EQ(StatOf(page).st_ino, inode);
  EXPECT_EQ(test::FolderNames(folder), std::vector<std::string>{"page.htm"});
}

// Someone else's page the user may write, in a folder the user may write: the new file cannot be
// given away, so it becomes the user's, with the page's mode (the group stays the user's where
// the user is no member of the page's).
TEST(FileLayer, SomeoneElsesWritablePageKeepsItsModeWhereItsOwnerCannotBeKept) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "needs a second user";
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  const std::string page = dir.File("shared.htm");
  WriteFile(page, "root's page");
  ASSERT_EQ(::chmod(page.c_str(), 0666), 0);
  const int code = RunInChild([&] {
    if (!BecomeNobody()) return 10;
    return ReplacePage(page, "edited by nobody").ok() ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(page), "edited by nobody");
  const struct stat st = StatOf(page);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  EXPECT_EQ(st.st_mode & 07777, 0666u);
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"shared.htm"});
}

// The rules of the settings file: a missing file is created (through a link that leads nowhere,
// as its target) with 0666 less the umask; a file with several hard links becomes a file of
// its own.
TEST(FileLayer, CreatingRulesMakeTheFileWhereItIsMissing) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  struct Case {
    const char* what;
    std::string path;  // where the write goes
    std::string file;  // where the new file appears
  } cases[] = {
      {"missing", dir.File("new.ini"), dir.File("new.ini")},
      {"dangling link", dir.File("link.ini"), dir.File("target.ini")},
  };
  ASSERT_EQ(::symlink("target.ini", dir.File("link.ini").c_str()), 0);
  for (const auto& c : cases) {
    EXPECT_TRUE(ReplaceFile(c.path, "[Options]\r\n", CreatingRules()).ok()) << c.what;
    EXPECT_EQ(ReadFile(c.file), "[Options]\r\n") << c.what;
    EXPECT_EQ(StatOf(c.file).st_mode & 07777, 0644u) << c.what;
  }
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::lstat(dir.File("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // The page rules never create.
  EXPECT_EQ(ReplacePage(dir.File("other.htm"), "x").code(), Code::kNotFound);

  const std::string first = dir.File("first.ini");
  WriteFile(first, "old");
  ASSERT_EQ(::link(first.c_str(), dir.File("second.ini").c_str()), 0);
  ASSERT_TRUE(ReplaceFile(first, "new", CreatingRules()).ok());
  EXPECT_EQ(ReadFile(first), "new");
  EXPECT_EQ(ReadFile(dir.File("second.ini")), "old");
  EXPECT_EQ(StatOf(first).st_nlink, 1u);
}

TEST(FileLayer, ReadingStopsAtTheSizeLimit) {
  TempDir dir;
  const std::string ten = dir.File("ten");
  WriteFile(ten, "0123456789");
  std::string content = "x";
  const FileStatus tooBig = ReadWholeFile(ten, &content, 9);
  EXPECT_EQ(tooBig.code(), Code::kTooLarge);
  EXPECT_EQ(tooBig.err(), EFBIG);
  EXPECT_EQ(content, "");
  EXPECT_TRUE(ReadWholeFile(ten, &content, 10).ok());
  EXPECT_EQ(content, "0123456789");
}

TEST(FileLayer, MakingWritableAndProbing) {
  TempDir dir;
  const std::string page = dir.File("page.htm");
  WriteFile(page, "x");
  ASSERT_EQ(::chmod(page.c_str(), 0444), 0);
  EXPECT_FALSE(IsWritableFile(page));
  EXPECT_TRUE(MakeUserWritable(page));
  EXPECT_EQ(StatOf(page).st_mode & 07777, 0644u);
  EXPECT_TRUE(IsWritableFile(page));
  EXPECT_FALSE(MakeUserWritable(dir.Path()));
  EXPECT_FALSE(MakeUserWritable(dir.File("missing")));

  EXPECT_TRUE(ProbeNewFile(dir.File("probe.ini")).ok());
  EXPECT_EQ(ProbeNewFile(page).err(), EEXIST);
  EXPECT_EQ(ProbeNewFile(dir.File("no/probe.ini")).code(), Code::kNotFound);
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"page.htm"});
}

}  // namespace
}  // namespace vk
