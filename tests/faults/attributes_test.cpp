// What a page carries beyond its bytes survives velkaro-batch: a POSIX ACL (set with setfacl)
// and extended attributes (setfattr) come out as they went in, with the page's mode; a default
// ACL of the folder does not widen a page that had none; and a page whose attributes the user
// cannot give to a new file is left as it is, with a message, rather than lose them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fault_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ChildResult;
using test::ChildSetup;
using test::OldOrNew;
using test::RunBatchProgram;
using test::TempDir;
using test::TemporaryFilesBelow;
using test::WriteFile;

constexpr uid_t kNobody = 65534;
const std::string kPage =
    "<p>Gr\xFC\xDF"
    "e</p>";
const std::string kConverted = "<p>Gr&uuml;&szlig;e</p>";

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Runs a shell command; its standard output, or nullopt when it failed.
std::optional<std::string> Shell(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  return pclose(pipe) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

// Everything a page carries besides its bytes, as the tools show it.
std::string Carried(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return "mode " + std::to_string(st.st_mode & 07777) + "\n" +
         Shell("getfacl -c " + Quoted(path)).value_or("no getfacl") +
         Shell("getfattr -d -m - -e hex " + Quoted(path)).value_or("no getfattr");
}

class Attributes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Shell("command -v setfacl && command -v setfattr")) {
      GTEST_SKIP() << "setfacl and setfattr are missing (scripts/setup installs acl and attr)";
    }
    std::filesystem::create_directories(dir.File("site"));
    WriteFile(dir.File("empty.ini"), "");
    page = dir.File("site/page.htm");
    WriteFile(page, kPage);
    if (!Shell("setfacl -m u:nobody:rw,g::r " + Quoted(page)) ||
        !Shell("setfattr -n user.velkaro.note -v kept " + Quoted(page))) {
      GTEST_SKIP() << "the file system of " << dir.Path() << " takes no ACLs or user attributes";
    }
  }
  ChildResult Run(const ChildSetup& setup = {}) {
    return RunBatchProgram({"-o", "1", "-s", dir.File("empty.ini"), dir.File("site")}, setup);
  }
  TempDir dir;
  std::string page;
};

TEST_F(Attributes, AclsAndAttributesComeOutAsTheyWentIn) {
  ASSERT_EQ(chmod(page.c_str(), 0640), 0);  // the mask shows in the group bits
  ASSERT_TRUE(Shell("setfacl -m u:nobody:rw " + Quoted(page)));
  const std::string before = Carried(page);
  ASSERT_NE(before.find("user:nobody:rw-"), std::string::npos) << before;
  ASSERT_NE(before.find("user.velkaro.note"), std::string::npos) << before;
  const ChildResult run = Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(OldOrNew(page, kPage, kConverted), "new");
  EXPECT_EQ(Carried(page), before);
}

TEST_F(Attributes, AFoldersDefaultAclDoesNotWidenAPage) {
  const std::string plain = dir.File("site/plain.htm");
  WriteFile(plain, kPage);
  ASSERT_EQ(chmod(plain.c_str(), 0600), 0);
  ASSERT_TRUE(Shell("setfacl -d -m u:nobody:rwx,g::rwx,o::rwx " + Quoted(dir.File("site"))));
  const std::string before = Carried(plain);
  ASSERT_EQ(before.find("nobody"), std::string::npos) << before;
  const ChildResult run = Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(OldOrNew(plain, kPage, kConverted), "new");
  EXPECT_EQ(Carried(plain), before);
}

// A file capability only a privileged user may set: the unprivileged user who may write the page
// cannot give it to the new file.
TEST_F(Attributes, APageWhoseAttributesCannotBeKeptIsLeftAsItIs) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "setting a capability and a second user need root";
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.File("site").c_str(), 0777), 0);
  ASSERT_EQ(chmod(page.c_str(), 0666), 0);
  ASSERT_EQ(chmod(dir.File("empty.ini").c_str(), 0666), 0);
  ASSERT_TRUE(
      Shell("setfattr -n security.capability -v "
            "0x0000000200040000000000000000000000000000 " +
            Quoted(page)));
  const std::string before = Carried(page);
  ChildSetup asNobody;
  asNobody.user = kNobody;
  const ChildResult probe = RunBatchProgram({"--version"}, asNobody);
  if (!probe.exited || probe.exitCode != 0) {
    GTEST_SKIP() << "user " << kNobody << " cannot run " << VELKARO_BATCH_EXE;
  }
  const ChildResult run = Run(asNobody);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.err, "Konnte die erweiterten Attribute (Zugriffsrechte) von " + page +
                         " nicht übernehmen! Die Datei wird nicht verändert!\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(OldOrNew(page, kPage, kConverted), "old");
  EXPECT_EQ(Carried(page), before);
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

// Run by a user who may write the page but is not in its group, the new file cannot keep the
// group: a page whose group has rights the others lack is left as it is, since its members
// would lose them; a page whose group has no more rights than anybody is rewritten.
TEST(Group, APageIsLeftWhereItsGroupCannotBeKeptAndHadRightsOfItsOwn) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "a second user needs root";
  TempDir dir;
  std::filesystem::create_directories(dir.File("site"));
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.File("site").c_str(), 0777), 0);
  WriteFile(dir.File("empty.ini"), "");
  ASSERT_EQ(chmod(dir.File("empty.ini").c_str(), 0666), 0);
  const std::string shared = dir.File("site/shared.htm");
  const std::string open = dir.File("site/open.htm");
  for (const auto& [page, mode] : {std::pair{shared, 0660}, std::pair{open, 0644}}) {
    WriteFile(page, kPage);
    ASSERT_EQ(chown(page.c_str(), kNobody, 0), 0);  // group root, which nobody is not in
    ASSERT_EQ(chmod(page.c_str(), static_cast<mode_t>(mode)), 0);
  }
  ChildSetup asNobody;
  asNobody.user = kNobody;
  const ChildResult probe = RunBatchProgram({"--version"}, asNobody);
  if (!probe.exited || probe.exitCode != 0) {
    GTEST_SKIP() << "user " << kNobody << " cannot run " << VELKARO_BATCH_EXE;
  }
  const ChildResult run =
      RunBatchProgram({"-o", "1", "-s", dir.File("empty.ini"), dir.File("site")}, asNobody);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.err, "Konnte die Gruppe von " + shared +
                         " nicht übernehmen! Die Datei wird nicht verändert!\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(OldOrNew(shared, kPage, kConverted), "old");
  EXPECT_EQ(OldOrNew(open, kPage, kConverted), "new");
  struct stat st {};
  ASSERT_EQ(stat(shared.c_str(), &st), 0);
  EXPECT_EQ(st.st_gid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace vk
