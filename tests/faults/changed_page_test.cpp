// A page that someone changes while the run holds it, stepped in through the run's seam just
// before the page's check and rename (no timing): saved in place, saved by a rename, turned
// into a link to another file, deleted, made a folder. The run never overwrites it: the new
// text is dropped, the row says why, and a backup asked for is not put in place either. The
// rows after it are written as usual.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/batch_support.h"
#include "engine/special_chars.h"
#include "fault_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ReadFile;
using test::RecordingSink;
using test::ScriptedFeedback;
using test::TempDir;
using test::TemporaryFilesBelow;
using test::WriteFile;

const std::string kPage =
    "<p>Gr\xFC\xDF"
    "e</p>";
const std::string kConverted = "<p>Gr&uuml;&szlig;e</p>";

std::string ChangedMessage(const std::string& path) {
  return "Die Datei " + path + " wurde inzwischen geändert und wird nicht überschrieben!";
}

std::vector<std::string> FailedSteps(const std::string& path) {
  return {"Konnte " + path + " nicht öffnen oder schreiben!"};
}

struct Change {
  const char* what;
  std::function<void(const std::string& page)> act;
  std::function<void(const std::string& page)> check;  // what stands at the page afterwards
  bool changedMessage;  // otherwise the page is gone: the step's write failed
};

TEST(ChangedPage, WhatSomeoneSavedMeanwhileIsNeverOverwritten) {
  const std::string edited = "<p>edited \xE4 meanwhile</p>";
  const Change changes[] = {
      {"saved in place", [&](const std::string& p) { WriteFile(p, edited); },
       [&](const std::string& p) { EXPECT_EQ(ReadFile(p), edited); }, true},
      {"saved by renaming a new file over it",
       [&](const std::string& p) {
         WriteFile(p + ".tmp", kPage);  // even the same bytes: it is another file
         ASSERT_EQ(rename((p + ".tmp").c_str(), p.c_str()), 0);
       },
       [&](const std::string& p) { EXPECT_EQ(ReadFile(p), kPage); }, true},
      {"turned into a link to another file",
       [&](const std::string& p) {
         WriteFile(p + ".other", kPage);
         ASSERT_EQ(unlink(p.c_str()), 0);
         ASSERT_EQ(symlink((p + ".other").c_str(), p.c_str()), 0);
       },
       [&](const std::string& p) {
         EXPECT_TRUE(std::filesystem::is_symlink(p));
         EXPECT_EQ(ReadFile(p + ".other"), kPage);
       },
       true},
      {"deleted", [](const std::string& p) { ASSERT_EQ(unlink(p.c_str()), 0); },
       [](const std::string& p) {
         EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(p)));
       },
       false},
      {"made a folder",
       [](const std::string& p) {
         ASSERT_EQ(unlink(p.c_str()), 0);
         ASSERT_EQ(mkdir(p.c_str(), 0755), 0);
       },
       [](const std::string& p) { EXPECT_TRUE(std::filesystem::is_directory(p)); }, false},
  };
  for (const Change& change : changes) {
    for (const int pagesAtOnce : {1, 4}) {
      SCOPED_TRACE(std::string(change.what) + ", " + std::to_string(pagesAtOnce) +
                   " pages at once");
      TempDir dir;
      for (const char* name : {"a.htm", "b.htm", "c.htm"}) WriteFile(dir.File(name), kPage);
      ListedRows<> rows(
          {{true, "a.htm", dir.Path()}, {true, "b.htm", dir.Path()}, {true, "c.htm", dir.Path()}});
      const std::string victim = dir.File("b.htm");
      BatchOptions options;
      options.createBak = true;
      options.pagesAtOnce = pagesAtOnce;
      options.seams.beforeCommit = [&](const std::string& path) {
        if (path == victim) change.act(path);
      };
      RecordingSink sink;
      ScriptedFeedback feedback;
      RunBatch(OperationKinds()[1].flags, rows, sink, feedback, options);

      const std::vector<std::string> said = change.changedMessage
                                                ? std::vector<std::string>{ChangedMessage(victim)}
                                                : FailedSteps(victim);
      EXPECT_EQ(feedback.errors, said);
      ASSERT_EQ(sink.rows.size(), 3u);
      EXPECT_EQ(sink.rows[1].messages, said);
      EXPECT_EQ(sink.rows[1].specialChars, "2");  // what the step found, as on a failed write
      change.check(victim);
      EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(victim + ".bak")));
      for (const char* name : {"a.htm", "c.htm"}) {
        EXPECT_EQ(ReadFile(dir.File(name)), kConverted) << name;
        EXPECT_EQ(ReadFile(dir.File(name) + ".bak"), kPage) << name;
      }
      EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
    }
  }
}

}  // namespace
}  // namespace vk
