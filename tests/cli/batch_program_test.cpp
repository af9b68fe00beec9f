// velkaro-batch end to end: the program run on temporary folders with its own settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/batch_options.h"
#include "cli/cli_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ProgramRun;
using test::ReadFile;
using test::RunProgram;
using test::TempDir;
using test::TreePicture;
using test::WriteFile;

const std::string kTryHelp = "Try 'velkaro-batch --help' for more information.\n";

class BatchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.File("config"));
    std::filesystem::create_directories(dir.File("site/sub"));
  }
  ProgramRun Run(const std::vector<std::string>& args, const std::string& locale = "de_DE.UTF-8") {
    return RunProgram(args, dir.Path(), dir.File("config"), locale);
  }
  QJsonObject Json(const ProgramRun& run) {
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
    return document.object();
  }
  TempDir dir;
};

TEST_F(BatchProgramTest, TableOfASubfolderRun) {
  WriteFile(dir.File("settings.ini"),
            "[Find HTML Code]\r\n0=<b>\r\n1=</b>\r\n"
            "[Replace HTML Code]\r\n0=<strong>\r\n1=</strong>\r\n");
  WriteFile(dir.File("site/index.htm"),
            "<p>Gr\xFC\xDF"
            "e</p>\r\n<b>x</b>  y\r\n");
  WriteFile(dir.File("site/sub/page.html"), "<table>\t<tr>\t</tr> </table>");
  WriteFile(dir.File("site/sub/style.css"), "b  {}");
  const ProgramRun run = Run({"-o", "6", "-r", "-s", "settings.ini", "site"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "Dateiname      Größe  Neue Größe  Einsparung %  Sonderzeichen  HTML-Code\n"
            "index.htm    27 Byte     44 Byte           -62              2          2\n"
            "page.html    27 Byte     24 Byte            12              0          0\n"
            "**Summen**\n"
            "2 Datei(en)  54 Byte     68 Byte           -25              2          2\n");
  // The line break before an inline tag leaves a blank, which the gap scan keeps.
  EXPECT_EQ(ReadFile(dir.File("site/index.htm")), "<p>Gr&uuml;&szlig;e</p> <strong>x</strong> y");
  EXPECT_EQ(ReadFile(dir.File("site/sub/page.html")), "<table><tr></tr></table>");
  EXPECT_EQ(ReadFile(dir.File("site/sub/style.css")), "b  {}");
}

TEST_F(BatchProgramTest, SizesInTheUsersLocale) {
  WriteFile(dir.File("site/big.htm"), std::string(1000, 'x'));
  const ProgramRun german = Run({"-o", "2", "site/big.htm"}, "de_DE.UTF-8");
  const ProgramRun english = Run({"-o", "2", "site/big.htm"}, "en_US.UTF-8");
  EXPECT_NE(german.out.find("big.htm      1.000 Byte  1.000 Byte"), std::string::npos)
      << german.out;
  EXPECT_NE(english.out.find("big.htm      1,000 Byte  1,000 Byte"), std::string::npos)
      << english.out;
  // The user's own settings file is missing (a first start) and stays so.
  EXPECT_FALSE(std::filesystem::exists(dir.File("config/Velkaro/Velkaro.ini")));
}

TEST_F(BatchProgramTest, JsonOfARunWithMessagesExitsWithOne) {
  WriteFile(dir.File("settings.ini"),
            "[Options]\r\nOptCB.ItemIndex=2\r\n"
            "[Find HTML Code]\r\n0=<b>\r\n[Replace HTML Code]\r\n0=<i>\r\n");
  const std::string good = dir.File("site/good.htm");
  const std::string readOnly = dir.File("site/sub/ro.htm");
  WriteFile(good, "<b>\xE4</b>");
  WriteFile(readOnly, "<b>x</b>");
  chmod(readOnly.c_str(), 0444);
  const ProgramRun run =
      Run({"--json", "--operation=4", "-s", "settings.ini", "site/sub/ro.htm", "site/good.htm"});
  EXPECT_EQ(run.exitCode, 1);
  const std::string cannot =
      "Konnte " + readOnly + " nicht öffnen, schreiben oder Fehler in Datei!";
  EXPECT_EQ(run.err, cannot + "\n");
  const QJsonObject root = Json(run);
  EXPECT_EQ(root.value("operation").toInt(-1), 4);
  EXPECT_EQ(root.value("dry_run").toBool(true), false);
  const QJsonArray files = root.value("files").toArray();
  ASSERT_EQ(files.size(), 2);
  const QJsonObject first = files[0].toObject();
  EXPECT_EQ(first.value("path").toString().toStdString(), readOnly);
  EXPECT_EQ(first.value("name").toString().toStdString(), "ro.htm");
  EXPECT_EQ(first.value("size_before").toInteger(), 8);
  EXPECT_EQ(first.value("size_after").toInteger(), 8);
  EXPECT_EQ(first.value("saving_percent").toInteger(-9), 0);
  EXPECT_EQ(first.value("special_chars").toInteger(-9), 0);
  EXPECT_EQ(first.value("html_code").toInteger(), 1);
  ASSERT_EQ(first.value("messages").toArray().size(), 1);
  EXPECT_EQ(first.value("messages").toArray()[0].toString().toStdString(), cannot);
  const QJsonObject second = files[1].toObject();
  EXPECT_EQ(second.value("path").toString().toStdString(), good);
  EXPECT_EQ(second.value("size_before").toInteger(), 8);
  EXPECT_EQ(second.value("size_after").toInteger(), 13);
  EXPECT_EQ(second.value("saving_percent").toInteger(), -62);
  EXPECT_EQ(second.value("special_chars").toInteger(), 1);
  EXPECT_EQ(second.value("html_code").toInteger(), 1);
  EXPECT_EQ(second.value("messages").toArray().size(), 0);
  EXPECT_EQ(first.value("encoding").toString().toStdString(), "windows-1252");
  EXPECT_EQ(second.value("encoding").toString().toStdString(), "windows-1252");
  const QJsonObject sums = root.value("sums").toObject();
  EXPECT_EQ(sums.value("files").toInteger(), 2);
  EXPECT_EQ(sums.value("size_before").toInteger(), 16);
  EXPECT_EQ(sums.value("size_after").toInteger(), 21);
  EXPECT_EQ(sums.value("saving_percent").toInteger(), -31);
  EXPECT_EQ(sums.value("special_chars").toInteger(), 1);
  EXPECT_EQ(sums.value("html_code").toInteger(), 2);
  EXPECT_EQ(ReadFile(good), "<i>&auml;</b>");
  EXPECT_EQ(ReadFile(readOnly), "<b>x</b>");
}

TEST_F(BatchProgramTest, EachPageInItsOwnEncoding) {
  // The list is stored in Windows-1252; a UTF-8 page gets its texts in UTF-8, a Windows-1252
  // page stays byte for byte as it always was. Declarations in the pages do not count.
  WriteFile(dir.File("settings.ini"),
            "[Find HTML Code]\r\n0=\xE4\r\n1=EUR\r\n"
            "[Replace HTML Code]\r\n0=&auml;\r\n1=\x80\r\n");
  WriteFile(dir.File("site/utf8.htm"),
            "<meta charset=\"windows-1252\"><p>H\xC3\xA4ufigsten 5 EUR \xC3\x9C"
            "ber \xE3\xA4\x98</p>");
  WriteFile(dir.File("site/latin.htm"),
            "<meta charset=\"utf-8\"><p>H\xE4ufigsten 5 EUR \xDC"
            "ber</p>");
  const ProgramRun run = Run({"--json", "-o", "4", "-s", "settings.ini", "site"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadFile(dir.File("site/utf8.htm")),
            "<meta charset=\"windows-1252\"><p>H&auml;ufigsten 5 \xE2\x82\xAC &Uuml;ber "
            "\xE3\xA4\x98</p>");
  EXPECT_EQ(ReadFile(dir.File("site/latin.htm")),
            "<meta charset=\"utf-8\"><p>H&auml;ufigsten 5 \x80 &Uuml;ber</p>");
  std::map<std::string, QJsonObject> byName;
  for (const auto& file : Json(run).value("files").toArray()) {
    byName[file.toObject().value("name").toString().toStdString()] = file.toObject();
  }
  ASSERT_EQ(byName.size(), 2u);
  EXPECT_EQ(byName["utf8.htm"].value("encoding").toString().toStdString(), "utf-8");
  EXPECT_EQ(byName["utf8.htm"].value("html_code").toInteger(), 2);
  EXPECT_EQ(byName["utf8.htm"].value("special_chars").toInteger(), 1);
  EXPECT_EQ(byName["latin.htm"].value("encoding").toString().toStdString(), "windows-1252");
  EXPECT_EQ(byName["latin.htm"].value("html_code").toInteger(), 2);
  EXPECT_EQ(byName["latin.htm"].value("special_chars").toInteger(), 1);
}

TEST_F(BatchProgramTest, TableOfAFailedWrite) {
  const std::string readOnly = dir.File("site/ro.htm");
  WriteFile(readOnly, "\xE4");
  chmod(readOnly.c_str(), 0444);
  const ProgramRun run = Run({"-o", "1", "site"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Konnte " + readOnly + " nicht öffnen oder schreiben!\n");
  EXPECT_EQ(run.out,
            "Dateiname     Größe  Neue Größe  Einsparung %  Sonderzeichen  HTML-Code\n"
            "ro.htm       1 Byte      1 Byte             0              1          0\n"
            "**Summen**\n"
            "1 Datei(en)  1 Byte      1 Byte             0              1          0\n");
}

TEST_F(BatchProgramTest, UsageErrorsChangeNothing) {
  WriteFile(dir.File("site/a.htm"), "\xE4  x");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"--bogus", "site"}, "velkaro-batch: unknown option '--bogus'\n" + kTryHelp},
      {{"-o", "7", "site"},
       "velkaro-batch: the operation must be a number from 0 to 6, not '7'\n" + kTryHelp},
      {{"-r", "--json"}, "velkaro-batch: no PATH given\n" + kTryHelp},
      {{}, "velkaro-batch: no PATH given\n" + kTryHelp},
      {{"-o", "6", "site", "missing.htm"}, "Der Parameter ist keine Datei und kein Ordner!\n"},
      {{"-o", "6", "/dev/null"}, "Der Parameter ist keine Datei und kein Ordner!\n"},
      {{"--diff", "--json", "site"},
       "velkaro-batch: --diff and --json cannot be used together\n" + kTryHelp},
  };
  const auto before = TreePicture(dir.Path());
  for (const Case& c : cases) {
    const ProgramRun run = Run(c.args);
    EXPECT_EQ(run.exitCode, 2) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "") << c.err;
  }
  EXPECT_EQ(TreePicture(dir.Path()), before);
}

TEST_F(BatchProgramTest, HelpAndVersion) {
  const ProgramRun help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out, cli::UsageText());
  EXPECT_EQ(Run({"-h", "--bogus-is-not-reached"}).exitCode, 2);
  const ProgramRun version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("velkaro-batch ") + VELKARO_VERSION + "\n");
  EXPECT_EQ(version.err, "");
}

TEST_F(BatchProgramTest, DryRunLeavesEveryByteAndTimeAndReportsTheRealRun) {
  // Unequal lists: the real run repairs the settings file and says so once.
  WriteFile(dir.File("settings.ini"),
            "[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=1\r\n"
            "[Find HTML Code]\r\n0=<b>\r\n1=table\r\n[Replace HTML Code]\r\n0=<strong>\r\n");
  WriteFile(dir.File("site/a.htm"), "<meta content=\"\xE4\">\r\n<b>\xF6</b>  <TABLE>");
  WriteFile(dir.File("site/nul.htm"), std::string("<b>\0\xFC</b>", 9));
  WriteFile(dir.File("site/ro.htm"), "<b>x</b>\r\n\xDF");
  chmod(dir.File("site/ro.htm").c_str(), 0444);
  WriteFile(dir.File("site/sub/pre.htm"), "<pre>  \xE4\r\n</pre>\r\n<p>a  b</p>");
  WriteFile(dir.File("site/sub/open.htm"), "<b><script>x");
  WriteFile(dir.File("site/sub/empty.htm"), "");
  const std::vector<std::string> args = {"-o", "6", "-r", "--json", "-s", "settings.ini", "site"};

  std::vector<std::string> dryArgs = args;
  dryArgs.push_back("--dry-run");
  const auto before = TreePicture(dir.Path());
  const ProgramRun dry = Run(dryArgs);
  EXPECT_EQ(TreePicture(dir.Path()), before);

  const ProgramRun real = Run(args);
  EXPECT_NE(TreePicture(dir.Path()), before);
  EXPECT_TRUE(std::filesystem::exists(dir.File("site/a.htm.bak")));
  EXPECT_EQ(dry.exitCode, 1);
  EXPECT_EQ(real.exitCode, 1);
  EXPECT_EQ(dry.err, real.err);
  EXPECT_NE(real.err.find("Listenlängen werden angepasst!"), std::string::npos);
  const QJsonObject dryRoot = Json(dry);
  const QJsonObject realRoot = Json(real);
  EXPECT_EQ(dryRoot.value("dry_run").toBool(false), true);
  EXPECT_EQ(dryRoot.value("files"), realRoot.value("files"));
  EXPECT_EQ(dryRoot.value("sums"), realRoot.value("sums"));
  EXPECT_EQ(realRoot.value("files").toArray().size(), 6);
}

TEST_F(BatchProgramTest, OptionsDefaultToTheSettingsFile) {
  WriteFile(dir.File("settings.ini"),
            "[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=1\r\nOptCB.ItemIndex=1\r\n");
  const std::string page = dir.File("site/m.htm");
  const std::string original = "<meta content=\"\xE4\">\xE4";
  WriteFile(page, original);
  ProgramRun run = Run({"-s", "settings.ini", "site"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(page), "<meta content=\"\xE4\">&auml;");
  EXPECT_EQ(ReadFile(page + ".bak"), original);

  std::filesystem::remove(page + ".bak");
  WriteFile(page, original);
  run = Run({"--no-backup", "--no-ignore-meta-tags", "-s", "settings.ini", "site"});
  EXPECT_EQ(ReadFile(page), "<meta content=\"&auml;\">&auml;");
  EXPECT_FALSE(std::filesystem::exists(page + ".bak"));

  WriteFile(page, original + "  x");
  run = Run({"-o", "2", "-s", "settings.ini", "site"});
  EXPECT_EQ(ReadFile(page), original + " x");
}

TEST_F(BatchProgramTest, TheUsersSettingsFileWithoutDashS) {
  std::filesystem::create_directories(dir.File("config/Velkaro"));
  WriteFile(dir.File("config/Velkaro/Velkaro.ini"),
            "[Find HTML Code]\r\n0=x\r\n[Replace HTML Code]\r\n0=y\r\n");
  WriteFile(dir.File("site/notes.txt"), "xX");
  const ProgramRun run = Run({"site/notes.txt"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.File("site/notes.txt")), "yy");
  EXPECT_NE(run.out.find("notes.txt    2 Byte      2 Byte             0              0          2"),
            std::string::npos)
      << run.out;
}

TEST_F(BatchProgramTest, FilePathsWhateverTheirExtensionInTheOrderGiven) {
  WriteFile(dir.File("site/z.htm"), "z");
  WriteFile(dir.File("site/notes.txt"), "n");
  WriteFile(dir.File("site/sub/a.htm"), "a");
  const ProgramRun run = Run({"--json", "-o", "2", "site/notes.txt", "./site//sub/", "site/z.htm"});
  EXPECT_EQ(run.exitCode, 0);
  const QJsonArray files = Json(run).value("files").toArray();
  std::vector<std::string> paths;
  for (const auto& file : files)
    paths.push_back(file.toObject().value("path").toString().toStdString());
  EXPECT_EQ(paths, (std::vector<std::string>{dir.File("site/notes.txt"), dir.File("site/sub/a.htm"),
                                             dir.File("site/z.htm")}));
}

TEST_F(BatchProgramTest, LinkLoopWithSubfoldersEnds) {
  std::filesystem::create_directories(dir.File("site/a/b"));
  WriteFile(dir.File("site/p.htm"), "p");
  WriteFile(dir.File("site/a/q.htm"), "q");
  WriteFile(dir.File("site/a/b/r.htm"), "r");
  ASSERT_EQ(symlink("../..", dir.File("site/a/b/up").c_str()), 0);
  ASSERT_EQ(symlink("..", dir.File("site/a/back").c_str()), 0);
  const ProgramRun run = Run({"--json", "-r", "-o", "2", "site"});
  EXPECT_EQ(run.exitCode, 0);
  std::multiset<std::string> paths;
  for (const auto& file : Json(run).value("files").toArray()) {
    paths.insert(file.toObject().value("path").toString().toStdString());
  }
  EXPECT_EQ(paths, (std::multiset<std::string>{dir.File("site/p.htm"), dir.File("site/a/q.htm"),
                                               dir.File("site/a/b/r.htm")}));
}

}  // namespace
}  // namespace vk
