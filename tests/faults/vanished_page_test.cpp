// A page that vanishes or turns into a folder while the batch run is at it, before it is read
// and after it is read but before it is written: the run reports the page's three failed steps,
// creates nothing in its place, leaves the folder as it found it, and goes on with the next
// page. Driven in-process through the run's yields.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/batch_support.h"
#include "engine/compress.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "fault_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::OldOrNew;
using test::RecordingSink;
using test::ScriptedFeedback;
using test::TempDir;
using test::TemporaryFilesBelow;
using test::WriteFile;

const std::string kPage =
    "<p>  Gr\xFC\xDF"
    "e <b>x</b></p>\r\n";
const HtmlCodeList kList = {{"<b>"}, {"<strong>"}};

std::string Transformed() {
  SilentFeedback silent;
  std::string text = kPage;
  ReplaceHtmlCodeText(text, kList, PageEncoding::kWindows1252, silent);
  text = ConvertSpecialChars(text).text;
  std::string out;
  CompressHtmlText(text, out, "x", silent);
  return out;
}

std::vector<std::string> FailedSteps(const std::string& path) {
  return {"Konnte " + path + " nicht öffnen, schreiben oder Fehler in Datei!",
          "Konnte " + path + " nicht öffnen oder schreiben!",
          "Konnte " + path + " nicht öffnen, schreiben oder Fehler in Datei!"};
}

struct Sabotage {
  const char* what;
  std::function<void(const std::string& path)> act;
  std::function<void(const std::string& path)> check;  // what is at the path afterwards
};

TEST(VanishedPage, TheRunReportsItAndGoesOn) {
  const Sabotage sabotages[] = {
      {"deleted", [](const std::string& path) { ASSERT_EQ(unlink(path.c_str()), 0); },
       [](const std::string& path) {
         EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path)));
       }},
      {"replaced by a folder",
       [](const std::string& path) {
         ASSERT_EQ(unlink(path.c_str()), 0);
         ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
       },
       [](const std::string& path) {
         EXPECT_TRUE(std::filesystem::is_directory(path));
         EXPECT_TRUE(std::filesystem::is_empty(path));
       }},
  };
  // The first yield after the page's start comes before it is read; the second one comes from
  // the replacement, after the page was read.
  for (const Sabotage& sabotage : sabotages) {
    for (const int atYield : {1, 2}) {
      for (const int pagesAtOnce : {1, 4}) {
        if (pagesAtOnce > 1 && atYield > 1) continue;  // helpers pass no yields on
        SCOPED_TRACE(std::string(sabotage.what) + " at yield " + std::to_string(atYield) + ", " +
                     std::to_string(pagesAtOnce) + " pages at once");
        TempDir dir;
        for (const char* name : {"a.htm", "b.htm", "c.htm"}) WriteFile(dir.File(name), kPage);
        ListedRows<> rows({{true, "a.htm", dir.Path()},
                           {true, "b.htm", dir.Path()},
                           {true, "c.htm", dir.Path()}});
        const std::string victim = dir.File("b.htm");
        int yieldsSinceStart = -1;  // counted from the victim's start on
        bool done = false;
        struct StartSink : RecordingSink {
          std::function<void(const std::string&)> onStart;
          void FileStarted(const std::string& name) override {
            RecordingSink::FileStarted(name);
            onStart(name);
          }
        } sink;
        sink.onStart = [&](const std::string& name) {
          if (name == "b.htm") yieldsSinceStart = 0;
        };
        ScriptedFeedback feedback;
        feedback.onYield = [&](int) {
          if (yieldsSinceStart < 0 || done) return;
          if (++yieldsSinceStart == atYield) {
            sabotage.act(victim);
            done = true;
          }
        };
        BatchOptions options;
        options.loadHtmlCodeList = test::SharedList([](Feedback&) { return kList; });
        options.pagesAtOnce = pagesAtOnce;
        RunBatch(OperationKinds()[6].flags, rows, sink, feedback, options);

        EXPECT_TRUE(done);
        EXPECT_EQ(feedback.errors, FailedSteps(victim));
        ASSERT_EQ(sink.rows.size(), 3u);
        EXPECT_EQ(sink.rows[1].messages, FailedSteps(victim));
        EXPECT_TRUE(sink.rows[0].messages.empty());
        EXPECT_TRUE(sink.rows[2].messages.empty());
        sabotage.check(victim);
        EXPECT_EQ(OldOrNew(dir.File("a.htm"), kPage, Transformed()), "new");
        EXPECT_EQ(OldOrNew(dir.File("c.htm"), kPage, Transformed()), "new");
        EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
      }
    }
  }
}

}  // namespace
}  // namespace vk
