// velkaro-batch's command line: what each argument list asks for, and the errors.
#include "cli/batch_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vk::cli {
namespace {

using Args = std::vector<std::string>;

// A compact picture of a parsed command line, so each case is one line of the table.
std::string Describe(const CommandLine& line) {
  auto flag = [](const std::optional<bool>& value) { return value ? (*value ? "1" : "0") : "-"; };
  std::string text = "o=" + (line.operation ? std::to_string(*line.operation) : "-") +
                     " bak=" + flag(line.backup) + " meta=" + flag(line.ignoreMetaTags) +
                     " r=" + (line.subfolders ? "1" : "0") + " n=" + (line.dryRun ? "1" : "0") +
                     " json=" + (line.json ? "1" : "0") + " h=" + (line.help ? "1" : "0") +
                     " v=" + (line.version ? "1" : "0") + " s=" + line.settingsFile.value_or("-");
  if (line.jobs) text += " j=" + std::to_string(*line.jobs);  // shown only where given
  if (line.diff) text += " diff";                             // the same
  text += " paths=";
  for (const std::string& path : line.paths) text += "[" + path + "]";
  return text;
}

TEST(ParseCommandLineTest, WhatEachCommandLineAsksFor) {
  struct Case {
    Args args;
    std::string expected;
  };
  const Case cases[] = {
      {{"site"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[site]"},
      {{"-o", "6", "a", "b"}, "o=6 bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[a][b]"},
      {{"-o0", "a"}, "o=0 bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[a]"},
      {{"--operation", "3", "a"}, "o=3 bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[a]"},
      {{"--operation=5", "a"}, "o=5 bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[a]"},
      {{"--backup", "--no-ignore-meta-tags", "a"},
       "o=- bak=1 meta=0 r=0 n=0 json=0 h=0 v=0 s=- paths=[a]"},
      {{"--backup", "--no-backup", "--ignore-meta-tags", "a"},
       "o=- bak=0 meta=1 r=0 n=0 json=0 h=0 v=0 s=- paths=[a]"},
      {{"-r", "-n", "--json", "a"}, "o=- bak=- meta=- r=1 n=1 json=1 h=0 v=0 s=- paths=[a]"},
      {{"--subfolders", "--dry-run", "a"}, "o=- bak=- meta=- r=1 n=1 json=0 h=0 v=0 s=- paths=[a]"},
      {{"-rno4", "a"}, "o=4 bak=- meta=- r=1 n=1 json=0 h=0 v=0 s=- paths=[a]"},
      {{"-rs", "my.ini", "a"}, "o=- bak=- meta=- r=1 n=0 json=0 h=0 v=0 s=my.ini paths=[a]"},
      {{"-sx.ini", "a"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=x.ini paths=[a]"},
      {{"--settings=/e/V.ini", "a"},
       "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=/e/V.ini paths=[a]"},
      {{"a", "-o", "1", "b"}, "o=1 bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[a][b]"},
      {{"--", "-o", "--json"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[-o][--json]"},
      {{"-"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- paths=[-]"},
      {{"-h"}, "o=- bak=- meta=- r=0 n=0 json=0 h=1 v=0 s=- paths="},
      {{"--help"}, "o=- bak=- meta=- r=0 n=0 json=0 h=1 v=0 s=- paths="},
      {{"--version"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=1 s=- paths="},
      {{"-j", "1", "a"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- j=1 paths=[a]"},
      {{"-rj64", "a"}, "o=- bak=- meta=- r=1 n=0 json=0 h=0 v=0 s=- j=64 paths=[a]"},
      {{"--jobs=8", "a"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- j=8 paths=[a]"},
      {{"--jobs", "2", "a"}, "o=- bak=- meta=- r=0 n=0 json=0 h=0 v=0 s=- j=2 paths=[a]"},
      {{"-n", "--diff", "a"}, "o=- bak=- meta=- r=0 n=1 json=0 h=0 v=0 s=- diff paths=[a]"},
      // Help is given whatever else the line asks for.
      {{"--diff", "--json", "-h"}, "o=- bak=- meta=- r=0 n=0 json=1 h=1 v=0 s=- diff paths="},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    EXPECT_EQ(parsed.error, "") << c.expected;
    EXPECT_EQ(Describe(parsed.line), c.expected);
  }
}

TEST(ParseCommandLineTest, UsageErrors) {
  struct Case {
    Args args;
    std::string error;
  };
  const Case cases[] = {
      {{}, "no PATH given"},
      {{"-r", "--json"}, "no PATH given"},
      {{"--frobnicate", "a"}, "unknown option '--frobnicate'"},
      {{"-x", "a"}, "unknown option '-x'"},
      {{"-rx", "a"}, "unknown option '-x'"},
      {{"--json=1", "a"}, "option '--json' takes no value"},
      {{"--nope=1", "a"}, "unknown option '--nope'"},
      {{"-o", "7", "a"}, "the operation must be a number from 0 to 6, not '7'"},
      {{"-o", "-1", "a"}, "the operation must be a number from 0 to 6, not '-1'"},
      {{"--operation=06", "a"}, "the operation must be a number from 0 to 6, not '06'"},
      {{"-o", "x", "a"}, "the operation must be a number from 0 to 6, not 'x'"},
      {{"--operation=", "a"}, "the operation must be a number from 0 to 6, not ''"},
      {{"a", "-o"}, "option '-o' needs a value"},
      {{"a", "--operation"}, "option '--operation' needs a value"},
      {{"a", "-s"}, "option '-s' needs a value"},
      {{"--settings=", "a"}, "option '--settings' needs a file name"},
      {{"-j", "0", "a"}, "the number of jobs must be from 1 to 64, not '0'"},
      {{"--jobs=65", "a"}, "the number of jobs must be from 1 to 64, not '65'"},
      {{"-j", "-1", "a"}, "the number of jobs must be from 1 to 64, not '-1'"},
      {{"--jobs=", "a"}, "the number of jobs must be from 1 to 64, not ''"},
      {{"--jobs=100", "a"}, "the number of jobs must be from 1 to 64, not '100'"},
      {{"a", "-j"}, "option '-j' needs a value"},
      {{"--json", "a", "--diff"}, "--diff and --json cannot be used together"},
      {{"--diff=1", "a"}, "option '--diff' takes no value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseCommandLine(c.args).error, c.error) << c.error;
  }
}

TEST(UsageTextTest, NamesEveryOption) {
  const std::string& usage = UsageText();
  EXPECT_EQ(usage.rfind("velkaro-batch [OPTIONS] PATH...\n", 0), 0u);
  for (const char* option :
       {"-o, --operation N", "--backup | --no-backup", "--ignore-meta-tags | --no-ignore-meta-tags",
        "-r, --subfolders", "-s, --settings FILE", "-n, --dry-run", "--json", "--diff",
        "-j, --jobs N", "-h, --help   /   --version\n"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(VersionText(), std::string("velkaro-batch ") + VELKARO_VERSION + "\n");
}

}  // namespace
}  // namespace vk::cli
