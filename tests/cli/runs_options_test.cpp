// velkaro-batch's command line for the runs kept for undo: --runs and --undo [ID].
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/batch_options.h"

namespace vk::cli {
namespace {

using Args = std::vector<std::string>;

std::string Describe(const CommandLine& line) {
  return std::string("runs=") + (line.runs ? "1" : "0") + " undo=" + (line.undo ? "1" : "0") +
         " id=" + line.undoId.value_or("-") + " json=" + (line.json ? "1" : "0") +
         " s=" + line.settingsFile.value_or("-");
}

TEST(ParseCommandLineTest, RunsAndUndo) {
  struct Case {
    Args args;
    std::string expected;
  } cases[] = {
      {{"--runs"}, "runs=1 undo=0 id=- json=0 s=-"},
      {{"--runs", "--json"}, "runs=1 undo=0 id=- json=1 s=-"},
      {{"--undo"}, "runs=0 undo=1 id=- json=0 s=-"},
      {{"--undo", "--json"}, "runs=0 undo=1 id=- json=1 s=-"},
      {{"--undo", "20240102-030405-ab12"}, "runs=0 undo=1 id=20240102-030405-ab12 json=0 s=-"},
      {{"--json", "--undo=20240102-030405-ab12"},
       "runs=0 undo=1 id=20240102-030405-ab12 json=1 s=-"},
      {{"--undo", "x", "-s", "my.ini"}, "runs=0 undo=1 id=x json=0 s=my.ini"},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    EXPECT_EQ(parsed.error, "") << c.expected;
    EXPECT_EQ(Describe(parsed.line), c.expected);
  }
}

TEST(ParseCommandLineTest, RunsAndUndoUsageErrors) {
  struct Case {
    Args args;
    std::string error;
  } cases[] = {
      {{"--runs", "site"}, "option '--runs' takes no PATH"},
      {{"--undo", "id", "site"}, "option '--undo' takes no PATH"},
      {{"--undo", "-n"}, "option '--undo' cannot be combined with '--dry-run'"},
      {{"--runs", "--dry-run"}, "option '--runs' cannot be combined with '--dry-run'"},
      {{"--runs", "--undo"}, "options '--runs' and '--undo' exclude each other"},
      {{"--undo="}, "option '--undo=' needs a run's ID"},
      {{"--runs=1"}, "option '--runs' takes no value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseCommandLine(c.args).error, c.error) << c.error;
  }
}

TEST(UsageTextTest, NamesRunsAndUndo) {
  const std::string& usage = UsageText();
  for (const char* text : {"velkaro-batch --runs [--json]\n", "      --runs ",
                           "velkaro-batch --undo [ID] [--json]\n", "      --undo [ID] "}) {
    EXPECT_NE(usage.find(text), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace vk::cli
