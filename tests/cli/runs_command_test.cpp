// velkaro-batch --runs and --undo end to end, on journals made as the run makes them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "support/journal_run.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ProgramRun;
using test::ReadFile;
using test::RunProgram;
using test::TempDir;
using test::WriteFile;

RunInfo At(std::int64_t seconds, int operation, const std::string& folder) {
  RunInfo info;
  info.timeNs = seconds * 1'000'000'000;
  info.operation = operation;
  info.folder = folder;
  return info;
}

class RunsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir.File("site")); }
  ProgramRun Run(const std::vector<std::string>& args) {
    return RunProgram(args, dir.Path(), dir.File("config"));
  }
  QJsonObject Json(const ProgramRun& run) {
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
    return document.object();
  }
  std::string Runs() const { return dir.File("state/Velkaro/runs"); }

  TempDir dir;
  test::ScopedEnv state{"XDG_STATE_HOME", dir.File("state")};
  test::ScopedEnv zone{"TZ", "UTC"};
};

TEST_F(RunsCommandTest, ListsTheRunsNewestFirst) {
  const std::string page = dir.File("site/seite.htm");
  WriteFile(page, std::string(3000, 'a'));
  const test::JournaledRun older =
      test::JournalAndRewrite(Runs(), {{page, "b"}}, At(1'700'000'000, 6, dir.File("site")));
  const test::JournaledRun newer = test::JournalAndRewrite(Runs(), {{page, "c"}},
                                                           At(1'700'003'600, 2,
                                                              dir.File("site/Gr\xFC\xDF"
                                                                       "e")));

  const ProgramRun table = Run({"--runs"});
  EXPECT_EQ(table.exitCode, 0);
  EXPECT_EQ(table.err, "");
  const std::string olderSize = std::to_string(std::filesystem::file_size(older.journal));
  const std::string newerSize = std::to_string(std::filesystem::file_size(newer.journal));
  const std::string pad(olderSize.size() - 2, ' ');
  EXPECT_EQ(table.out, "Lauf                  Zeit                 Operation  Dateien  " + pad +
                           "  Größe  Zustand  Ordner\n" + newer.id +
                           "  14.11.2023 23:13:20          2        1  " + newerSize +
                           " Byte           " +
                           // The folder's Windows-1252 name as its characters, as the window
                           // shows it.
                           dir.File("site/Gr\xC3\xBC\xC3\x9F"
                                    "e") +
                           "\n" + older.id + "  14.11.2023 22:13:20          6        1  " +
                           olderSize + " Byte           " + dir.File("site") + "\n");

  const ProgramRun json = Run({"--runs", "--json"});
  EXPECT_EQ(json.exitCode, 0);
  const QJsonArray runs = Json(json)["runs"].toArray();
  ASSERT_EQ(runs.size(), 2);
  const QJsonObject first = runs[0].toObject();
  EXPECT_EQ(first["id"].toString().toStdString(), newer.id);
  EXPECT_EQ(first["time"].toString().toStdString(), "2023-11-14T23:13:20+00:00");
  EXPECT_EQ(first["operation"].toInt(), 2);
  // A folder name that is not UTF-8 comes as its Windows-1252 characters.
  EXPECT_EQ(first["folder"].toString().toStdString(), dir.File("site/Gr\u00FC\u00DF"
                                                               "e"));
  EXPECT_EQ(first["pages"].toInt(), 1);
  EXPECT_EQ(first["page_bytes"].toInt(), 1);
  EXPECT_EQ(first["bytes"].toInteger(), static_cast<qint64>(std::stoll(newerSize)));
  EXPECT_TRUE(first["complete"].toBool());
  EXPECT_FALSE(first["undone"].toBool());
  EXPECT_FALSE(first["busy"].toBool());
  EXPECT_EQ(runs[1].toObject()["page_bytes"].toInt(), 3000);

  // Undone, its journal a record longer.
  EXPECT_EQ(Run({"--undo"}).exitCode, 0);
  const std::string after = Run({"--runs"}).out;
  const std::string undoneSize = std::to_string(std::filesystem::file_size(newer.journal));
  EXPECT_NE(after.find(newer.id + "  14.11.2023 23:13:20          2        1  " + undoneSize +
                       " Byte  rückgängig gemacht  "),
            std::string::npos)
      << after;
}

TEST_F(RunsCommandTest, UndoPrintsARunsTableAndExitsAsARun) {
  const std::string a = dir.File("site/a.htm");
  const std::string b = dir.File("site/b.htm");
  WriteFile(a, "<b>alt</b>");
  WriteFile(b, "<b>auch alt</b>");
  const test::JournaledRun run = test::JournalAndRewrite(
      Runs(), {{a, "<strong>neu</strong>"}, {b, "neu"}}, At(1'700'000'000, 0, dir.File("site")));

  const ProgramRun undo = Run({"--undo"});
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  EXPECT_EQ(undo.err, "");
  EXPECT_EQ(undo.out,
            run.id + ": 14.11.2023 22:13:20, HTML-Code in Dateien ersetzen, 2 Datei(en), " +
                dir.File("site") +
                "\n"
                "Dateiname      Größe  Neue Größe  Einsparung %  Sonderzeichen  HTML-Code\n"
                "b.htm         3 Byte     15 Byte          -400\n"
                "a.htm        20 Byte     10 Byte            50\n"
                "**Summen**\n"
                "2 Datei(en)  23 Byte     25 Byte            -8\n");
  EXPECT_EQ(ReadFile(a), "<b>alt</b>");
  EXPECT_EQ(ReadFile(b), "<b>auch alt</b>");

  const ProgramRun again = Run({"--undo"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(again.err, "Es gibt keinen Lauf, der rückgängig gemacht werden kann!\n");
  // Named, the undone run is undone again: its pages hold their old bytes already.
  const ProgramRun named = Run({"--undo", run.id});
  EXPECT_EQ(named.exitCode, 0);
  EXPECT_EQ(named.err, "");
  EXPECT_EQ(ReadFile(a), "<b>alt</b>");
  EXPECT_EQ(ReadFile(b), "<b>auch alt</b>");
  const ProgramRun unknown = Run({"--undo", "gibt-es-nicht"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "Einen Lauf gibt-es-nicht gibt es nicht!\n");
}

TEST_F(RunsCommandTest, UndoAsJsonWithAPageLeft) {
  const std::string a = dir.File("site/a.htm");
  const std::string b = dir.File("site/b.htm");
  WriteFile(a, "alt a");
  WriteFile(b, "alt b");
  const test::JournaledRun run = test::JournalAndRewrite(Runs(), {{a, "neu a"}, {b, "neu b"}},
                                                         At(1'700'000'000, 3, dir.File("site")));
  WriteFile(b, "bearbeitet");

  const ProgramRun undo = Run({"--undo", run.id, "--json"});
  EXPECT_EQ(undo.exitCode, 1);
  const std::string message =
      "Die Datei " + b + " wurde nach dem Lauf geändert und wird nicht wiederhergestellt!";
  EXPECT_EQ(undo.err, message + "\n");
  const QJsonObject json = Json(undo);
  EXPECT_EQ(json["undo"].toObject()["id"].toString().toStdString(), run.id);
  EXPECT_EQ(json["undo"].toObject()["operation"].toInt(), 3);
  EXPECT_TRUE(json["undone"].toBool());
  EXPECT_TRUE(json["error"].isNull());
  const QJsonObject result = json["result"].toObject();
  EXPECT_EQ(result["operation"].toInt(), 3);
  const QJsonArray files = result["files"].toArray();
  ASSERT_EQ(files.size(), 2);
  EXPECT_EQ(files[0].toObject()["path"].toString().toStdString(), b);
  EXPECT_EQ(files[0].toObject()["messages"].toArray()[0].toString().toStdString(), message);
  EXPECT_EQ(files[1].toObject()["size_before"].toInt(), 5);
  EXPECT_EQ(result["sums"].toObject()["files"].toInt(), 2);
  EXPECT_EQ(ReadFile(a), "alt a");
  EXPECT_EQ(ReadFile(b), "bearbeitet");

  const ProgramRun none = Run({"--undo", "--json"});
  EXPECT_EQ(none.exitCode, 1);
  const QJsonObject empty = Json(none);
  EXPECT_TRUE(empty["undo"].isNull());
  EXPECT_EQ(empty["result"].toObject()["files"].toArray().size(), 0);
  EXPECT_EQ(empty["error"].toString().toStdString(),
            "Es gibt keinen Lauf, der rückgängig gemacht werden kann!");
}

}  // namespace
}  // namespace vk

namespace vk {
namespace {

// The program's own runs journal themselves: a real run is undone byte for byte, a dry run and
// a run that changed nothing leave no journal, and a run that may not fit says so first.
class RunJournalTest : public ::testing::Test {
 protected:
  test::ProgramRun Run(const std::vector<std::string>& args) {
    return test::RunProgram(args, dir.Path(), dir.File("config"));
  }
  std::size_t Journals() const {
    const std::string runs = dir.File("state/Velkaro/runs");
    if (!std::filesystem::exists(runs)) return 0;
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(runs),
                                                  std::filesystem::directory_iterator()));
  }

  test::TempDir dir;
  test::ScopedEnv state{"XDG_STATE_HOME", dir.File("state")};
};

TEST_F(RunJournalTest, ARealRunIsUndoneByteForByte) {
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"site/leer.htm", ""},
      {"site/alt.htm",
       "Gr\xFC\xDF"
       "e <b>fett</b>"},
      {"site/utf8.htm",
       "Gr\xC3\xBC\xC3\x9F"
       "e &amp; <i>x</i>"},
      {"site/unter/tief.htm", "<p>   viel   Platz   </p>\n\n"}};
  for (const auto& [name, bytes] : pages) {
    std::filesystem::create_directories(std::filesystem::path(dir.File(name)).parent_path());
    test::WriteFile(dir.File(name), bytes);
  }
  EXPECT_EQ(Run({"-o", "6", "-r", "-n", dir.File("site")}).exitCode, 0);
  EXPECT_EQ(Journals(), 0u);  // a dry run keeps nothing

  const test::ProgramRun run = Run({"-o", "6", "-r", dir.File("site")});
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(Journals(), 1u);
  EXPECT_NE(test::ReadFile(dir.File("site/utf8.htm")), pages[2].second);
  const test::ProgramRun undo = Run({"--undo"});
  EXPECT_EQ(undo.exitCode, 0) << undo.err;
  for (const auto& [name, bytes] : pages) EXPECT_EQ(test::ReadFile(dir.File(name)), bytes) << name;

  // Nothing left to change: the second run of the same pages keeps no journal of its own.
  Run({"-o", "6", "-r", dir.File("site")});
  Run({"-o", "6", "-r", dir.File("site")});
  EXPECT_EQ(Journals(), 2u);
}

TEST_F(RunJournalTest, ARunThatMayNotFitSaysSoFirstAndStillRuns) {
  test::WriteFile(dir.File("settings.ini"), "[Options]\r\nUndoKeepMB=1\r\n");
  test::WriteFile(dir.File("gross.htm"), std::string(2 << 20, 'a') + "  b");
  const test::ProgramRun run =
      Run({"-o", "2", "-s", dir.File("settings.ini"), dir.File("gross.htm")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err,
            "Dieser Lauf kann eventuell nicht vollständig rückgängig gemacht werden: Die Dateien "
            "sind zusammen 2.048 KByte groß, aufgehoben werden höchstens 1.024 KByte!\n");
  EXPECT_EQ(test::ReadFile(dir.File("gross.htm")), std::string(2 << 20, 'a') + " b");
}

}  // namespace
}  // namespace vk
