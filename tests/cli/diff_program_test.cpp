// velkaro-batch --diff end to end: the diffs it prints, applied with patch -p1 to a copy of the
// pages as they were, give exactly the pages a real run writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;
using test::RunProgram;
using test::TempDir;
using test::TreeBytes;
using test::WriteFile;

// A line of over 200 bytes: shown whole, never cut.
std::string LongCell() {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "W\xF6rter  ";
  return text;
}

void WriteSite(const std::string& site) {
  fs::create_directories(site + "/sub/tief");
  WriteFile(site + "/crlf.htm",
            "<p>K\xE4se</p>\r\n<p>a  b</p>\r\n<p>Stra\xDF"
            "e</p>\r\n");
  WriteFile(site + "/ohne-ende.htm", "<p>\xFC</p>\n<p>x</p>");
  WriteFile(site + "/gleich.htm", "<b>nichts</b>");
  WriteFile(site + "/sub/zeilen.htm",
            "<table>\r\n\t<tr>\t<td>" + LongCell() + "</td></tr>\r\n</table>\r\n<p>\xE4</p>\n");
  WriteFile(site + "/sub/ohne ende.htm", "a\r\n\xE4\r\nb");
  WriteFile(site + "/sub/tief/leer.htm", "  \r\n\r\n ");
}

TEST(DiffProgramTest, PatchGivesTheRealRunsPages) {
  struct Case {
    std::string what;
    std::vector<std::string> args;  // the operation and paths; --diff is added
    std::string patchIn;            // where patch -p1 applies the output, below the copy
  };
  const Case cases[] = {
      {"conversion keeps CR LF and missing line breaks",
       {"-o", "1", "-r", "--dry-run", "site"},
       "site"},
      {"compression makes whole-page lines", {"-o", "6", "-r", "site"}, "site"},
      {"a subfolder given", {"-o", "3", "-r", "--dry-run", "site/sub"}, "site/sub"},
      {"files given by name",
       {"-o", "6", "--dry-run", "site/sub/zeilen.htm", "site/sub/ohne ende.htm"},
       "site/sub"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFile(dir.File("settings.ini"),
              "[Find HTML Code]\r\n0=<b>\r\n[Replace HTML Code]\r\n0=<strong>\r\n");
    fs::create_directories(dir.File("config"));
    for (const char* copy : {"alt", "lauf", "echt", "gepatcht"})
      WriteSite(dir.File(copy) + "/site");
    const auto run = [&](const std::string& copy, std::vector<std::string> args) {
      args.insert(args.begin(), {"--no-backup", "-s", dir.File("settings.ini")});
      return RunProgram(args, dir.File(copy), dir.File("config"));
    };

    std::vector<std::string> diffArgs = c.args;
    diffArgs.push_back("--diff");
    const ProgramRun withDiff = run("lauf", diffArgs);
    std::vector<std::string> realArgs;
    for (const std::string& arg : c.args) {
      if (arg != "--dry-run") realArgs.push_back(arg);
    }
    const ProgramRun real = run("echt", realArgs);
    EXPECT_EQ(withDiff.exitCode, 0) << withDiff.err;
    EXPECT_EQ(withDiff.err, "");
    ASSERT_EQ(real.exitCode, 0) << real.err;

    const auto old = TreeBytes(dir.File("alt/site"));
    const auto expected = TreeBytes(dir.File("echt/site"));
    ASSERT_NE(expected, old);
    const bool dryRun = c.args != realArgs;
    EXPECT_EQ(TreeBytes(dir.File("lauf/site")), dryRun ? old : expected);
    // A diff for each page that changed and nothing else: no table, no page left as it was.
    std::size_t changed = 0;
    for (const auto& [path, bytes] : expected) changed += old.at(path) != bytes;
    std::size_t headers = 0;
    for (std::size_t at = withDiff.out.find("\n+++ "); at != std::string::npos;
         at = withDiff.out.find("\n+++ ", at + 1)) {
      ++headers;
    }
    EXPECT_EQ(headers, changed) << withDiff.out;
    EXPECT_EQ(withDiff.out.find("Dateiname"), std::string::npos);

    EXPECT_EQ(test::ApplyPatch(dir.File("gepatcht/" + c.patchIn), withDiff.out), "");
    EXPECT_EQ(TreeBytes(dir.File("gepatcht/site")), expected);
  }
}

}  // namespace
}  // namespace vk
