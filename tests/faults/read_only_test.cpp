// Pages the user may not write, as root and as an unprivileged user, through velkaro-batch: a
// page that is not writable is never replaced (its folder may be writable); a writable page in
// a folder the user cannot create files in is left as it is, with a message saying why, since
// nothing is written in place; a page that belongs to someone else keeps its owner where the
// user may give the new file away, and its mode always. Each page ends with its old or its new
// bytes, no temporary file is left.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/compress.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
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
    "<p>  Gr\xFC\xDF"
    "e <b>x</b></p>\r\n<p>\tzwei</p>\r\n";
const std::string kSettings = "[Find HTML Code]\r\n0=<b>\r\n[Replace HTML Code]\r\n0=<strong>\r\n";

// The page after operation 6 with the settings above.
std::string Transformed() {
  SilentFeedback silent;
  std::string text = kPage;
  ReplaceHtmlCodeText(text, {{"<b>"}, {"<strong>"}}, PageEncoding::kWindows1252, silent);
  text = ConvertSpecialChars(text).text;
  std::string out;
  CompressHtmlText(text, out, "x", silent);
  return out;
}

// The three steps' messages for a page that cannot be written.
std::string RefusedMessages(const std::string& path) {
  return "Konnte " + path +
         " nicht öffnen, schreiben oder Fehler in Datei!\n"
         "Konnte " +
         path +
         " nicht öffnen oder schreiben!\n"
         "Konnte " +
         path + " nicht öffnen, schreiben oder Fehler in Datei!\n";
}

// What the run says about the page.
enum class Said { kNothing, kStepsRefused, kNoNewFile };

struct Case {
  const char* what;
  mode_t folderMode;
  mode_t pageMode;
  bool ownedByUser;  // folder and page belong to the user who runs the program
  Said said;         // the page is written exactly when nothing is said
  bool ownerKept;
};

std::string NoNewFileMessage(const std::string& path) {
  return "Im Ordner von " + path +
         " kann keine neue Datei angelegt werden! Die Datei wird nicht verändert!\n";
}

struct Outcome {
  ChildResult run;
  std::string page;
  struct stat before {};
  struct stat after {};
  std::vector<std::string> leftovers;
};

Outcome RunCase(const Case& c, const TempDir& dir, std::optional<uid_t> user) {
  Outcome o;
  const std::string folder = dir.File("site");
  std::filesystem::create_directories(folder);
  o.page = folder + "/page.htm";
  WriteFile(o.page, kPage);
  WriteFile(dir.File("settings.ini"), kSettings);
  chmod(dir.File("settings.ini").c_str(), 0666);
  chmod(dir.Path().c_str(), 0755);
  if (user && c.ownedByUser) test::GiveTree(folder, *user);
  chmod(o.page.c_str(), c.pageMode);
  chmod(folder.c_str(), c.folderMode);
  stat(o.page.c_str(), &o.before);
  ChildSetup setup;
  setup.user = user;
  o.run =
      RunBatchProgram({"-o", "6", "--no-backup", "-s", dir.File("settings.ini"), folder}, setup);
  stat(o.page.c_str(), &o.after);
  chmod(folder.c_str(), 0755);
  o.leftovers = TemporaryFilesBelow(dir.Path());
  return o;
}

void Check(const Case& c, const Outcome& o, uid_t user) {
  ASSERT_TRUE(o.run.exited) << o.run.err;
  const bool written = c.said == Said::kNothing;
  EXPECT_EQ(OldOrNew(o.page, kPage, Transformed()), written ? "new" : "old");
  EXPECT_EQ(o.run.err, c.said == Said::kStepsRefused ? RefusedMessages(o.page)
                       : c.said == Said::kNoNewFile  ? NoNewFileMessage(o.page)
                                                     : "");
  EXPECT_EQ(o.run.exitCode, written ? 0 : 1);
  EXPECT_EQ(o.after.st_mode & 07777, c.pageMode);
  // Nothing is written in place: a page written is a new file, one left alone the same.
  EXPECT_EQ(o.after.st_ino == o.before.st_ino, !written);
  EXPECT_EQ(o.after.st_uid, c.ownerKept ? o.before.st_uid : user);
  EXPECT_EQ(o.after.st_gid, c.ownerKept ? o.before.st_gid : user);
  EXPECT_EQ(o.leftovers, std::vector<std::string>{});
}

TEST(ReadOnly, AsRoot) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "these cases need root";
  const Case cases[] = {
      {"read-only page, writable folder", 0755, 0444, false, Said::kStepsRefused, true},
      {"page without any write bit, writable folder", 0755, 0400, false, Said::kStepsRefused, true},
      {"writable page, read-only folder", 0555, 0644, false, Said::kNothing, true},
      {"read-only page, read-only folder", 0555, 0444, false, Said::kStepsRefused, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Check(c, RunCase(c, dir, std::nullopt), 0);
  }
}

TEST(ReadOnly, AsAnUnprivilegedUser) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "switching to another user needs root";
  ChildSetup asNobody;
  asNobody.user = kNobody;
  const ChildResult probe = RunBatchProgram({"--version"}, asNobody);
  if (!probe.exited || probe.exitCode != 0) {
    GTEST_SKIP() << "user " << kNobody << " cannot run " << VELKARO_BATCH_EXE
                 << " (a folder above it is closed to other users): " << probe.err;
  }
  const Case cases[] = {
      {"someone else's page, open folder", 0777, 0644, false, Said::kStepsRefused, true},
      {"someone else's writable page, closed folder", 0755, 0666, false, Said::kNoNewFile, true},
      // The new file cannot be given to root: it is nobody's, with the page's mode.
      {"someone else's writable page, open folder", 0777, 0666, false, Said::kNothing, false},
      {"own page, own read-only folder", 0555, 0644, true, Said::kNoNewFile, true},
      {"own read-only page, own read-only folder", 0555, 0444, true, Said::kStepsRefused, true},
      {"own read-only page, own folder", 0755, 0444, true, Said::kStepsRefused, true},
      {"own page, own folder", 0755, 0644, true, Said::kNothing, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Check(c, RunCase(c, dir, kNobody), kNobody);
  }
}

}  // namespace
}  // namespace vk
