// A full disk, played by the file size limit (RLIMIT_FSIZE with SIGXFSZ ignored) in a child
// process: every transformation, a settings write and velkaro-batch leave each page and the
// settings file with its old or its new bytes, show their message, and leave no temporary
// file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/compress.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "fault_support.h"
#include "fs/disk_file_access.h"
#include "settings/html_code_list_store.h"
#include "settings/ini_document.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ChildResult;
using test::ChildSetup;
using test::OldOrNew;
using test::ReadFile;
using test::RecordingFeedback;
using test::RunBatchProgram;
using test::RunInChild;
using test::SizeLimited;
using test::TempDir;
using test::TemporaryFilesBelow;
using test::WriteFile;

constexpr char kNoJournalMessage[] =
    "Konnte das Protokoll für Rückgängig nicht anlegen: Dieser Lauf kann nicht rückgängig gemacht "
    "werden!\n";

// A page every transformation changes: blanks to collapse, line breaks, umlauts, <b> tags.
std::string Page(int lines) {
  std::string page;
  for (int i = 0; i < lines; ++i)
    page +=
        "<p>  Gr\xFC\xDF"
        "e <b>" +
        std::to_string(i) + "</b></p>\r\n";
  return page;
}

HtmlCodeList BoldList() { return {{"<b>"}, {"<strong class=x>"}}; }

// Messages and count of one transformation of the file, as the child reports them.
struct Step {
  const char* name;
  std::function<std::string(const std::string& path)> run;
  std::function<std::string(const std::string& text)> expected;  // the new bytes
  std::function<std::string(const std::string& path)> failure;   // the message of a failed write
};

std::string Joined(const RecordingFeedback& feedback, std::int64_t count) {
  std::string text;
  for (const std::string& e : feedback.errors) text += e + "\n";
  return text + "count " + std::to_string(count);
}

std::vector<Step> Steps() {
  const auto wideMessage = [](const std::string& path) {
    return "Konnte " + path + " nicht öffnen, schreiben oder Fehler in Datei!";
  };
  return {
      {"special characters",
       [](const std::string& path) {
         RecordingFeedback feedback;
         const std::int64_t count =
             ConvertSpecialCharsInFile(path, false, feedback, DiskFileAccess());
         return Joined(feedback, count);
       },
       [](const std::string& text) { return ConvertSpecialChars(text).text; },
       [](const std::string& path) { return "Konnte " + path + " nicht öffnen oder schreiben!"; }},
      {"compression",
       [](const std::string& path) {
         RecordingFeedback feedback;
         CompressHtmlFile(path, feedback, DiskFileAccess());
         return Joined(feedback, 0);
       },
       [](const std::string& text) {
         SilentFeedback silent;
         std::string out;
         CompressHtmlText(text, out, "x", silent);
         return out;
       },
       wideMessage},
      {"replacement",
       [](const std::string& path) {
         RecordingFeedback feedback;
         const std::int64_t count = ReplaceHtmlCode(
             path, [] { return std::make_shared<const HtmlCodeList>(BoldList()); }, feedback,
             DiskFileAccess());
         return Joined(feedback, count);
       },
       [](const std::string& text) {
         std::string out = text;
         SilentFeedback silent;
         ReplaceHtmlCodeText(out, BoldList(), PageEncoding::kWindows1252, silent);
         return out;
       },
       wideMessage},
  };
}

// Limits around the sizes that matter: nothing, a little, just below and at the old and the
// new size, and plenty.
std::vector<rlim_t> LimitsAround(std::size_t before, std::size_t after) {
  return {0, 1, 4096, before - 1, before, after - 1, after, after + 65536};
}

std::int64_t CountOf(const std::string& path, const Step& step) {
  // The count the step reports when all goes well, from an unlimited run on a copy.
  TempDir scratch;
  WriteFile(scratch.File("copy.htm"), ReadFile(path));
  const std::string report = step.run(scratch.File("copy.htm"));
  return std::stoll(report.substr(report.rfind(' ') + 1));
}

TEST(DiskFull, EachTransformationKeepsTheOldPageWhenTheNewOneDoesNotFit) {
  const std::string before = Page(120);
  for (const Step& step : Steps()) {
    const std::string after = step.expected(before);
    ASSERT_NE(after, before) << step.name;
    for (const rlim_t limit : LimitsAround(before.size(), after.size())) {
      SCOPED_TRACE(std::string(step.name) + ", limit " + std::to_string(limit));
      TempDir dir;
      const std::string path = dir.File("page.htm");
      WriteFile(path, before);
      const std::int64_t count = CountOf(path, step);
      const ChildResult child = RunInChild([&] { return step.run(path); }, SizeLimited(limit));
      ASSERT_TRUE(child.exited);
      const bool fits = limit >= after.size();
      EXPECT_EQ(OldOrNew(path, before, after), fits ? "new" : "old");
      EXPECT_EQ(child.out,
                (fits ? "" : step.failure(path) + "\n") + "count " + std::to_string(count));
      EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
    }
  }
}

// A page with a second hard link becomes a file of its own, or stays as it was; the other name
// keeps the old text either way.
TEST(DiskFull, PageWithTwoLinksBecomesAFileOfItsOwnOrStaysAsItWas) {
  const std::string before = Page(120);
  for (const Step& step : Steps()) {
    const std::string after = step.expected(before);
    for (const rlim_t limit : LimitsAround(before.size(), after.size())) {
      SCOPED_TRACE(std::string(step.name) + ", limit " + std::to_string(limit));
      TempDir dir;
      const std::string path = dir.File("page.htm");
      WriteFile(path, before);
      ASSERT_EQ(link(path.c_str(), dir.File("second.htm").c_str()), 0);
      const std::int64_t count = CountOf(path, step);
      const ChildResult child = RunInChild([&] { return step.run(path); }, SizeLimited(limit));
      ASSERT_TRUE(child.exited);
      const bool fits = limit >= after.size();
      EXPECT_EQ(OldOrNew(path, before, after), fits ? "new" : "old");
      EXPECT_EQ(OldOrNew(dir.File("second.htm"), before, after), "old");
      struct stat info {};
      ASSERT_EQ(stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_nlink, fits ? 1u : 2u);
      EXPECT_EQ(child.out,
                (fits ? "" : step.failure(path) + "\n") + "count " + std::to_string(count));
      EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
    }
  }
}

TEST(DiskFull, SettingsWriteKeepsTheOldFileWhenTheNewOneDoesNotFit) {
  const std::string before =
      "; kept as it is\r\n[Options]\r\nIgnoreMetaTags=0\r\nCreateBak=1\r\n[Placement]\r\n"
      "Left=10\r\n";
  const std::string value(300, 'v');
  IniDocument document(before);
  document.SetValue("Options", "Note", value);
  const std::string after = document.Bytes();
  for (const rlim_t limit : LimitsAround(before.size(), after.size())) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    TempDir dir;
    const std::string path = dir.File("Velkaro.ini");
    WriteFile(path, before);
    const ChildResult child = RunInChild(
        [&] {
          TTheIniFile ini;
          SettingsStoreForFile(path).ApplyTo(ini);
          ini.SetSection("Options");
          ini.SetOpen(true);
          ini.WriteText("Note", value);
          return std::string("written");
        },
        SizeLimited(limit));
    ASSERT_TRUE(child.exited);
    const bool fits = limit >= after.size();
    EXPECT_EQ(OldOrNew(path, before, after), fits ? "new" : "old");
    EXPECT_EQ(child.out,
              fits ? "written" : "exception: In " + path + " kann nicht geschrieben werden");
    EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
  }
}

TEST(DiskFull, CodeListRepairThatDoesNotFitKeepsTheOldSettings) {
  const std::string before =
      "[Find HTML Code]\r\n0=<b>\r\n1=</b>\r\n[Replace HTML Code]\r\n0=<strong>\r\n";
  for (const rlim_t limit : std::vector<rlim_t>{0, before.size(), before.size() + 4096}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    TempDir dir;
    const std::string path = dir.File("Velkaro.ini");
    WriteFile(path, before);
    const ChildResult child = RunInChild(
        [&] {
          TTheIniFile ini;
          HtmlCodeList list;
          RecordingFeedback feedback;
          LoadHtmlCodeList(ini, SettingsStoreForFile(path), list, feedback);
          return feedback.errors.at(0) + "|" + list.replace.at(1);
        },
        SizeLimited(limit));
    ASSERT_TRUE(child.exited);
    const std::string repaired =
        "[Find HTML Code]\r\n0=<b>\r\n1=</b>\r\n[Replace HTML Code]\r\n0=<strong>\r\n1=</b>\r\n";
    const bool fits = limit >= repaired.size();
    EXPECT_EQ(ReadFile(path), fits ? repaired : before);
    EXPECT_EQ(child.out, fits ? std::string(kUnequalListsMessage) + "|</b>"
                              : "exception: In " + path + " kann nicht geschrieben werden");
    EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
  }
}

// velkaro-batch over a folder: the pages that fit are written whole, the one that does not
// stays as it was, with the messages of its steps; the settings file is not touched.
TEST(DiskFull, BatchProgramWritesWhatFitsAndKeepsTheRest) {
  TempDir dir;
  const std::string settings =
      "[Options]\r\nCreateBak=0\r\n[Find HTML Code]\r\n0=<b>\r\n[Replace HTML Code]\r\n"
      "0=<strong class=x>\r\n";
  WriteFile(dir.File("settings.ini"), settings);
  std::filesystem::create_directories(dir.File("site"));
  const std::string small = Page(3);
  const std::string big = Page(1000);  // neither it nor any of its steps' results fits
  WriteFile(dir.File("site/small.htm"), small);
  WriteFile(dir.File("site/big.htm"), big);
  const rlim_t limit = 16384;
  ASSERT_GT(big.size(), limit);

  const ChildResult run = RunBatchProgram(
      {"-o", "6", "-s", dir.File("settings.ini"), dir.File("site")}, SizeLimited(limit));
  ASSERT_TRUE(run.exited) << run.err;
  EXPECT_EQ(run.exitCode, 1);
  const std::string bigPath = dir.File("site/big.htm");
  EXPECT_EQ(run.err, "Konnte " + bigPath +
                         " nicht öffnen, schreiben oder Fehler in Datei!\n"
                         "Konnte " +
                         bigPath +
                         " nicht öffnen oder schreiben!\n"
                         "Konnte " +
                         bigPath + " nicht öffnen, schreiben oder Fehler in Datei!\n");
  EXPECT_EQ(OldOrNew(bigPath, big, ""), "old");
  std::string expectedSmall = small;
  SilentFeedback silent;
  ReplaceHtmlCodeText(expectedSmall, BoldList(), PageEncoding::kWindows1252, silent);
  expectedSmall = ConvertSpecialChars(expectedSmall).text;
  std::string compressed;
  CompressHtmlText(expectedSmall, compressed, "x", silent);
  EXPECT_EQ(OldOrNew(dir.File("site/small.htm"), small, compressed), "new");
  EXPECT_EQ(ReadFile(dir.File("settings.ini")), settings);
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

// Unequal lists make the run write the settings file first; when that write fails the run
// ends at the first page, which stays as it was, and so does the settings file.
TEST(DiskFull, BatchProgramEndsWhenTheRepairedListDoesNotFit) {
  TempDir dir;
  const std::string settings =
      "[Find HTML Code]\r\n0=<b>\r\n1=</b>\r\n[Replace HTML Code]\r\n0=<strong>\r\n";
  WriteFile(dir.File("settings.ini"), settings);
  const std::string page = Page(2);
  WriteFile(dir.File("page.htm"), page);

  for (const bool json : {false, true}) {
    std::vector<std::string> args = {"-o", "0", "-s", dir.File("settings.ini"),
                                     dir.File("page.htm")};
    if (json) args.push_back("--json");
    const ChildResult run = RunBatchProgram(args, SizeLimited(settings.size()));
    ASSERT_TRUE(run.exited) << run.err;
    EXPECT_EQ(run.exitCode, 1);
    // The limit leaves no room for the run's undo journal either, which the run says first.
    EXPECT_EQ(run.err, std::string(kNoJournalMessage) + std::string(kUnequalListsMessage) +
                           "\nIn " + dir.File("settings.ini") + " kann nicht geschrieben werden\n");
    EXPECT_EQ(ReadFile(dir.File("settings.ini")), settings);
    EXPECT_EQ(ReadFile(dir.File("page.htm")), page);
    EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
    if (!json) continue;
    // The rows went out as they came; the object is closed all the same, without sums.
    QJsonParseError error;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    EXPECT_TRUE(root.value("sums").isNull());
    const QJsonArray files = root.value("files").toArray();
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].toObject().value("path").toString().toStdString(), dir.File("page.htm"));
    EXPECT_TRUE(files[0].toObject().value("size_after").isNull());
  }
}

}  // namespace
}  // namespace vk
