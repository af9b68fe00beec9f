// Undo from a journal as the run will write it: byte for byte back, owner, mode and extended
// attributes kept, later edits never lost, a failed page tried again, runs taken newest first.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "fs/fd.h"
#include "fs/file_snapshot.h"
#include "fs/replace_group.h"
#include "journal/journal_reader.h"
#include "journal/journal_writer.h"
#include "journal/runs_folder.h"
#include "journal/undo_journal.h"
#include "support/journal_run.h"
#include "support/test_support.h"

namespace vk {
namespace {

using namespace std::string_literals;
using Outcome = UndoPage::Outcome;
using Status = UndoResult::Status;
using test::JournalAndRewrite;
using test::ReadFile;
using test::RunPage;
using test::TempDir;
using test::WriteFile;

class Recorder : public UndoObserver {
 public:
  void PageStarted(const std::string& path) override { started.push_back(path); }
  void PageDone(const UndoPage& page) override { pages.push_back(page); }
  std::vector<std::string> started;
  std::vector<UndoPage> pages;
};

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

RunInfo At(std::int64_t seconds, int operation = 6) {
  RunInfo info;
  info.timeNs = seconds * 1'000'000'000;
  info.operation = operation;
  info.folder = "/site";
  return info;
}

TEST(UndoRun, EveryKindOfPageGetsItsOldBytesBack) {
  TempDir dir;
  const std::string site = dir.File("site");
  std::filesystem::create_directories(site);
  struct Case {
    std::string name;
    std::string oldBytes;
    std::string newBytes;
  } cases[] = {
      {"leer.htm", "", "<p>neu</p>"},
      {"wird-leer.htm", "<p>alt</p>", ""},
      {"nul.htm", "a\0b\0\0c"s, "a b c"},
      {"\xE4rger.htm",
       "<p>Gr\xFC\xDF"
       "e \x80</p>\r\n",
       "<p>Gr&uuml;&szlig;e &euro;</p>\r\n"},
      {"gr\xC3\xBC\xC3\x9F"
       "e.html",
       "<p>Gr\xC3\xBC\xC3\x9F"
       "e</p>\n",
       "<p>Gr&uuml;&szlig;e</p>\n"},
      {"verlinkt.htm", "<b>zwei Namen</b>", "<strong>zwei Namen</strong>"},
      {"link.htm", "<i>Ziel</i>", "<em>Ziel</em>"},
      {"gross.htm", Pattern(3 << 20), Pattern(2 << 20)},
  };
  std::vector<RunPage> pages;
  for (const Case& c : cases) {
    WriteFile(site + "/" + c.name, c.oldBytes);
    pages.push_back({site + "/" + c.name, c.newBytes});
  }
  ASSERT_EQ(::link((site + "/verlinkt.htm").c_str(), dir.File("anderer-name.htm").c_str()), 0);
  std::filesystem::remove(site + "/link.htm");
  WriteFile(dir.File("ziel.htm"), "<i>Ziel</i>");
  std::filesystem::create_symlink(dir.File("ziel.htm"), site + "/link.htm");
  const test::JournaledRun run = JournalAndRewrite(dir.File("runs"), pages);
  for (const Case& c : cases) ASSERT_TRUE(ReadFile(site + "/" + c.name) == c.newBytes) << c.name;

  Recorder recorder;
  const UndoResult result = UndoRun(dir.File("runs"), std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kUndone);
  EXPECT_EQ(result.run.id, run.id);
  EXPECT_EQ(result.restored, static_cast<int>(std::size(cases)));
  EXPECT_EQ(result.left, 0);
  EXPECT_TRUE(result.markedUndone);
  EXPECT_EQ(result.message, "");
  for (const Case& c : cases) EXPECT_TRUE(ReadFile(site + "/" + c.name) == c.oldBytes) << c.name;
  // The other name of the hard-linked page kept the old text all along; the link is a link.
  EXPECT_EQ(ReadFile(dir.File("anderer-name.htm")), "<b>zwei Namen</b>");
  EXPECT_TRUE(S_ISLNK(StatOf(site + "/link.htm").st_mode));
  EXPECT_EQ(ReadFile(dir.File("ziel.htm")), "<i>Ziel</i>");

  // Backwards in the run's order, each with the sizes of restoring it.
  ASSERT_EQ(recorder.pages.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[std::size(cases) - 1 - i];
    const UndoPage& page = recorder.pages[i];
    EXPECT_EQ(page.path, site + "/" + c.name);
    EXPECT_EQ(page.outcome, Outcome::kRestored) << c.name;
    EXPECT_EQ(page.sizeBefore, static_cast<std::int64_t>(c.newBytes.size())) << c.name;
    EXPECT_EQ(page.sizeAfter, static_cast<std::int64_t>(c.oldBytes.size())) << c.name;
    EXPECT_EQ(page.message, "") << c.name;
  }
  EXPECT_EQ(recorder.started.size(), std::size(cases));
  EXPECT_EQ(test::FolderNames(site).size(), std::size(cases));  // nothing left beside them

  const std::vector<RunSummary> runs = ListRuns(dir.File("runs"));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_TRUE(runs[0].undone);
  EXPECT_EQ(NewestRunToUndo(dir.File("runs")), std::nullopt);
}

// A POSIX access ACL as the kernel stores it: version 2, then (tag, permissions, id) entries.
std::string AccessAcl(uid_t namedUser) {
  std::string acl;
  const auto put = [&acl](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) acl.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  put(2, 4);
  const std::uint32_t none = 0xFFFFFFFF;
  const std::uint32_t entries[][3] = {
      {0x01, 6, none}, {0x02, 6, namedUser}, {0x04, 4, none}, {0x10, 6, none}, {0x20, 0, none}};
  for (const auto& entry : entries) {
    put(entry[0], 2);
    put(entry[1], 2);
    put(entry[2], 4);
  }
  return acl;
}

std::string Attribute(const std::string& path, const char* name) {
  std::string value(256, '\0');
  const ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
  if (size < 0) return "<" + std::string(std::strerror(errno)) + ">";
  value.resize(static_cast<std::size_t>(size));
  return value;
}

TEST(UndoRun, KeepsOwnerModeAndExtendedAttributes) {
  TempDir dir;
  const std::string page = dir.File("seite.htm");
  WriteFile(page, "<b>alt</b>");
  ASSERT_EQ(::chmod(page.c_str(), 0640), 0);
  const bool root = test::RunningAsRoot();
  if (root) {
    ASSERT_EQ(::chown(page.c_str(), 4321, 4322), 0);
  }
  const std::string label = "Wert\0mit Null"s;
  const bool attributes =
      ::setxattr(page.c_str(), "user.velkaro", label.data(), label.size(), 0) == 0;
  const std::string acl = AccessAcl(4321);
  const bool acls = attributes && ::setxattr(page.c_str(), "system.posix_acl_access", acl.data(),
                                             acl.size(), 0) == 0;
  const struct stat before = StatOf(page);

  JournalAndRewrite(dir.File("runs"), {{page, "<strong>neu</strong>"}});
  ASSERT_NE(StatOf(page).st_ino, before.st_ino);
  Recorder recorder;
  ASSERT_EQ(UndoRun(dir.File("runs"), std::nullopt, recorder).status, Status::kUndone);

  EXPECT_EQ(ReadFile(page), "<b>alt</b>");
  const struct stat after = StatOf(page);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  if (!attributes) GTEST_SKIP() << "no extended attributes on the test folder's file system";
  EXPECT_EQ(Attribute(page, "user.velkaro"), label);
  if (acls) {
    EXPECT_EQ(Attribute(page, "system.posix_acl_access"), acl);
  }
}

TEST(UndoRun, APageChangedSinceTheRunIsLeftWithItsMessage) {
  TempDir dir;
  const std::string a = dir.File("a.htm");
  const std::string b = dir.File("b.htm");
  const std::string c = dir.File("c.htm");
  WriteFile(a, "alt a");
  WriteFile(b, "alt b");
  WriteFile(c, "alt c");
  JournalAndRewrite(dir.File("runs"), {{a, "neu a"}, {b, "neu b"}, {c, "neu c"}});
  WriteFile(b, "von Hand bearbeitet");
  std::filesystem::remove(c);

  Recorder recorder;
  const UndoResult result = UndoRun(dir.File("runs"), std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kPagesLeft);
  EXPECT_EQ(result.restored, 1);
  EXPECT_EQ(result.left, 2);
  // Left for good: the run counts as undone, the next undo takes the one before.
  EXPECT_TRUE(result.markedUndone);
  EXPECT_EQ(ReadFile(a), "alt a");
  EXPECT_EQ(ReadFile(b), "von Hand bearbeitet");
  EXPECT_FALSE(std::filesystem::exists(c));
  ASSERT_EQ(recorder.pages.size(), 3u);
  EXPECT_EQ(recorder.pages[0].outcome, Outcome::kLeft);
  EXPECT_EQ(recorder.pages[0].message,
            "Die Datei " + c + " gibt es nicht mehr und wird nicht wiederhergestellt!");
  EXPECT_EQ(recorder.pages[0].sizeBefore, -1);
  EXPECT_EQ(recorder.pages[1].outcome, Outcome::kLeft);
  EXPECT_EQ(recorder.pages[1].message,
            "Die Datei " + b + " wurde nach dem Lauf geändert und wird nicht wiederhergestellt!");
  EXPECT_EQ(recorder.pages[1].sizeBefore, 19);
  EXPECT_EQ(recorder.pages[1].sizeAfter, 19);
  EXPECT_EQ(recorder.pages[2].outcome, Outcome::kRestored);
  EXPECT_EQ(NewestRunToUndo(dir.File("runs")), std::nullopt);
}

// A run killed after its first rename: the pages it did not reach hold their old bytes.
TEST(UndoRun, PagesTheRunDidNotReplaceCountAsRestored) {
  TempDir dir;
  WriteFile(dir.File("a.htm"), "alt a");
  WriteFile(dir.File("b.htm"), "alt bb");
  WriteFile(dir.File("c.htm"), "alt ccc");
  JournalAndRewrite(dir.File("runs"),
                    {{dir.File("a.htm"), "A"}, {dir.File("b.htm"), "B"}, {dir.File("c.htm"), "C"}},
                    {}, {}, /*renamed=*/1);
  Recorder recorder;
  const UndoResult result = UndoRun(dir.File("runs"), std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kUndone);
  EXPECT_EQ(result.restored, 3);
  EXPECT_TRUE(result.markedUndone);
  ASSERT_EQ(recorder.pages.size(), 3u);
  EXPECT_EQ(recorder.pages[0].outcome, Outcome::kWasRestored);
  // Its row shows the page as it is: "Größe" is the size before the undo.
  EXPECT_EQ(recorder.pages[0].sizeBefore, 7);
  EXPECT_EQ(recorder.pages[0].sizeAfter, 7);
  EXPECT_EQ(recorder.pages[1].outcome, Outcome::kWasRestored);
  EXPECT_EQ(recorder.pages[2].outcome, Outcome::kRestored);
  EXPECT_EQ(ReadFile(dir.File("a.htm")), "alt a");
  EXPECT_EQ(ReadFile(dir.File("b.htm")), "alt bb");
  EXPECT_EQ(ReadFile(dir.File("c.htm")), "alt ccc");
}

TEST(UndoRun, APageThatCannotBeWrittenNowIsTriedAgainNextTime) {
  TempDir dir;
  const std::string a = dir.File("a.htm");
  const std::string b = dir.File("b.htm");
  WriteFile(a, "alt a");
  WriteFile(b, "alt b");
  JournalAndRewrite(dir.File("runs"), {{a, "neu a"}, {b, "neu b"}});
  ASSERT_EQ(::chmod(b.c_str(), 0444), 0);

  Recorder first;
  UndoResult result = UndoRun(dir.File("runs"), std::nullopt, first);
  EXPECT_EQ(result.status, Status::kPagesLeft);
  EXPECT_FALSE(result.markedUndone);
  ASSERT_EQ(first.pages.size(), 2u);
  EXPECT_EQ(first.pages[0].outcome, Outcome::kFailed);
  EXPECT_EQ(first.pages[0].message, "Konnte " + b + " nicht wiederherstellen!");
  EXPECT_EQ(ReadFile(b), "neu b");
  EXPECT_EQ(ReadFile(a), "alt a");

  ASSERT_EQ(::chmod(b.c_str(), 0644), 0);
  Recorder second;
  result = UndoRun(dir.File("runs"), std::nullopt, second);
  EXPECT_EQ(result.status, Status::kUndone);
  EXPECT_TRUE(result.markedUndone);
  ASSERT_EQ(second.pages.size(), 2u);
  EXPECT_EQ(second.pages[0].outcome, Outcome::kRestored);
  EXPECT_EQ(second.pages[1].outcome, Outcome::kWasRestored);
  EXPECT_EQ(ReadFile(b), "alt b");
}

// An older run named before the newer one that changed its pages since leaves them; once the
// newer run is undone, the older one named again takes its pages back.
TEST(UndoRun, ARunUndoneOutOfOrderCanBeUndoneAgainOnceTheLaterRunIsUndone) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  const std::string page = dir.File("seite.htm");
  WriteFile(page, "erste Fassung");
  const test::JournaledRun older = JournalAndRewrite(runs, {{page, "zweite Fassung"}}, At(1000));
  JournalAndRewrite(runs, {{page, "dritte"}}, At(2000, 2));
  Recorder recorder;
  UndoResult result = UndoRun(runs, older.id, recorder);
  EXPECT_EQ(result.status, Status::kPagesLeft);
  EXPECT_EQ(ReadFile(page), "dritte");
  result = UndoRun(runs, std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kUndone);
  EXPECT_EQ(ReadFile(page), "zweite Fassung");
  EXPECT_EQ(NewestRunToUndo(runs), std::nullopt);
  Recorder again;
  result = UndoRun(runs, older.id, again);
  EXPECT_EQ(result.status, Status::kUndone);
  ASSERT_EQ(again.pages.size(), 1u);
  EXPECT_EQ(again.pages[0].outcome, Outcome::kRestored);
  EXPECT_EQ(ReadFile(page), "erste Fassung");
}

// An undo stopped before a page leaves the pages not reached as the run left them and the run
// to be undone; the next undo finishes it, counting the pages restored before as done.
TEST(UndoRun, AStoppedUndoLeavesTheRestForTheNextOne) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  std::vector<test::RunPage> pages;
  for (int i = 0; i < 300; ++i) {
    const std::string page = dir.File("p" + std::to_string(i) + ".htm");
    WriteFile(page, "alt " + std::to_string(i));
    pages.push_back({page, "neu " + std::to_string(i)});
  }
  const test::JournaledRun run = JournalAndRewrite(runs, pages);
  // Stopped once the first group of pages is back.
  class Stopping : public Recorder {
   public:
    bool Stopped() const override { return pages.size() >= 256; }
  } stopping;
  UndoResult result = UndoRun(runs, std::nullopt, stopping);
  EXPECT_TRUE(result.stopped);
  EXPECT_FALSE(result.markedUndone);
  EXPECT_EQ(result.restored, 256);
  // Pages go back newest first: the first 44 pages are the ones not reached.
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(ReadFile(dir.File("p" + std::to_string(i) + ".htm")),
              (i < 44 ? "neu " : "alt ") + std::to_string(i));
  }
  ASSERT_EQ(NewestRunToUndo(runs)->id, run.id);
  Recorder rest;
  result = UndoRun(runs, std::nullopt, rest);
  EXPECT_FALSE(result.stopped);
  EXPECT_TRUE(result.markedUndone);
  EXPECT_EQ(result.restored, 300);
  ASSERT_EQ(rest.pages.size(), 300u);
  EXPECT_EQ(rest.pages[0].outcome, Outcome::kWasRestored);
  EXPECT_EQ(rest.pages[299].outcome, Outcome::kRestored);
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(ReadFile(dir.File("p" + std::to_string(i) + ".htm")), "alt " + std::to_string(i));
  }
}

// A journal damaged in the middle: the pages of its whole records go back, and the undo says
// how many records it could not read (their pages cannot even be named).
TEST(UndoRun, ADamagedJournalSaysSo) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  std::vector<test::RunPage> pages;
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) {
    WriteFile(dir.File(name), std::string("alt ") + name);
    pages.push_back({dir.File(name), std::string("neu ") + name});
  }
  const test::JournaledRun run = JournalAndRewrite(runs, pages);
  std::uint64_t damageAt = 0;
  {
    Fd fd(::open(run.journal.c_str(), O_RDONLY | O_CLOEXEC));
    JournalReader reader;
    ASSERT_TRUE(reader.Read(fd.get()).ok());
    ASSERT_EQ(reader.Pages().size(), 3u);
    damageAt = reader.Pages()[1].frameOffset + 2;
  }
  std::string bytes = ReadFile(run.journal);
  bytes[damageAt] = static_cast<char>(bytes[damageAt] ^ 0x10);
  WriteFile(run.journal, bytes);

  Recorder recorder;
  const UndoResult result = UndoRun(runs, std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kPagesLeft);
  EXPECT_EQ(result.message, "Das Protokoll des Laufs " + run.id +
                                " ist beschädigt: 1 Datei(en) darin können nicht "
                                "wiederhergestellt werden!");
  EXPECT_EQ(result.restored, 2);
  EXPECT_EQ(ReadFile(dir.File("a.htm")), "alt a.htm");
  EXPECT_EQ(ReadFile(dir.File("b.htm")), "neu b.htm");
  EXPECT_EQ(ReadFile(dir.File("c.htm")), "alt c.htm");
}

TEST(UndoRun, RunsGoBackNewestFirst) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  const std::string page = dir.File("seite.htm");
  WriteFile(page, "erste Fassung");
  const test::JournaledRun older = JournalAndRewrite(runs, {{page, "zweite Fassung"}}, At(1000));
  const test::JournaledRun newer = JournalAndRewrite(runs, {{page, "dritte"}}, At(2000, 2));
  ASSERT_EQ(NewestRunToUndo(runs)->id, newer.id);
  EXPECT_EQ(NewestRunToUndo(runs)->operation, 2);

  Recorder recorder;
  UndoResult result = UndoRun(runs, std::nullopt, recorder);
  EXPECT_EQ(result.run.id, newer.id);
  EXPECT_EQ(ReadFile(page), "zweite Fassung");
  ASSERT_EQ(NewestRunToUndo(runs)->id, older.id);

  // Named again, an undone run finds its page holding the old bytes already.
  Recorder again;
  result = UndoRun(runs, newer.id, again);
  EXPECT_EQ(result.status, Status::kUndone);
  ASSERT_EQ(again.pages.size(), 1u);
  EXPECT_EQ(again.pages[0].outcome, Outcome::kWasRestored);
  EXPECT_EQ(ReadFile(page), "zweite Fassung");
  result = UndoRun(runs, "20000101-000000-beef", recorder);
  EXPECT_EQ(result.status, Status::kUnknownRun);
  EXPECT_EQ(result.message, "Einen Lauf 20000101-000000-beef gibt es nicht!");

  result = UndoRun(runs, std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kUndone);
  EXPECT_EQ(result.run.id, older.id);
  EXPECT_EQ(ReadFile(page), "erste Fassung");
  result = UndoRun(runs, std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kNoRun);
  EXPECT_EQ(result.message, "Es gibt keinen Lauf, der rückgängig gemacht werden kann!");
  EXPECT_EQ(recorder.pages.size(), 2u);
}

TEST(UndoRun, ARunStillAtWorkIsNotTouched) {
  TempDir dir;
  const std::string page = dir.File("seite.htm");
  WriteFile(page, "alt");
  FileStatus status = FileStatus::Ok();
  std::unique_ptr<JournalWriter> journal = JournalWriter::Start(dir.File("runs"), {}, {}, &status);
  PageRecord record;
  record.path = page;
  record.oldBytes = "alt";
  record.newBytes = "neu";
  ASSERT_TRUE(journal->Add(record).ok());
  ASSERT_TRUE(journal->Sync().ok());
  WriteFile(page, "neu");

  Recorder recorder;
  const UndoResult result = UndoRun(dir.File("runs"), std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kBusy);
  EXPECT_EQ(result.message, "Der Lauf " + journal->Id() +
                                " ist noch nicht beendet oder wird gerade rückgängig gemacht!");
  EXPECT_EQ(ReadFile(page), "neu");
  journal.reset();
  EXPECT_EQ(UndoRun(dir.File("runs"), std::nullopt, recorder).status, Status::kUndone);
  EXPECT_EQ(ReadFile(page), "alt");
}

// Reached twice (under two names, say): the second change goes back first, then the first.
TEST(UndoRun, APageTheRunReachedTwiceGoesBackInTwoSteps) {
  TempDir dir;
  const std::string page = dir.File("seite.htm");
  WriteFile(page, "A");
  FileStatus status = FileStatus::Ok();
  {
    std::unique_ptr<JournalWriter> journal =
        JournalWriter::Start(dir.File("runs"), {}, {}, &status);
    const char* const versions[] = {"A", "BB", "CCC"};
    for (int step = 0; step < 2; ++step) {
      std::string old;
      FileSnapshot snapshot;
      ASSERT_TRUE(ReadFileWithSnapshot(page, &old, &snapshot).ok());
      ASSERT_EQ(old, versions[step]);
      PageRecord record;
      record.path = page;
      record.oldBytes = old;
      record.newBytes = versions[step + 1];
      record.order = step;
      ASSERT_TRUE(journal->Add(record).ok());
      ASSERT_TRUE(journal->Sync().ok());
      ReplaceGroup group;
      ASSERT_TRUE(group.Stage(snapshot, versions[step + 1]).ok());
      ASSERT_EQ(group.Commit()[0].outcome, ReplaceGroup::Outcome::kReplaced);
    }
  }
  Recorder recorder;
  EXPECT_EQ(UndoRun(dir.File("runs"), std::nullopt, recorder).status, Status::kUndone);
  EXPECT_EQ(ReadFile(page), "A");
  ASSERT_EQ(recorder.pages.size(), 2u);
  EXPECT_EQ(recorder.pages[0].sizeBefore, 3);
  EXPECT_EQ(recorder.pages[1].sizeAfter, 1);
}

// A link someone else planted in the page's place since the run leads nowhere undo writes.
TEST(UndoRun, AForeignLinkInThePagesPlaceIsLeft) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to give a link to another user";
  TempDir dir;
  const std::string page = dir.File("seite.htm");
  const std::string target = dir.File("fremd.htm");
  WriteFile(page, "alt");
  JournalAndRewrite(dir.File("runs"), {{page, "neu"}});
  WriteFile(target, "neu");
  std::filesystem::remove(page);
  std::filesystem::create_symlink(target, page);
  ASSERT_EQ(::lchown(page.c_str(), 65534, 65534), 0);

  Recorder recorder;
  const UndoResult result = UndoRun(dir.File("runs"), std::nullopt, recorder);
  EXPECT_EQ(result.status, Status::kPagesLeft);
  ASSERT_EQ(recorder.pages.size(), 1u);
  EXPECT_EQ(recorder.pages[0].message,
            "Die Datei " + page +
                " ist eine Verknüpfung eines anderen Benutzers und wird nicht wiederhergestellt!");
  EXPECT_EQ(ReadFile(target), "neu");
}

}  // namespace
}  // namespace vk
