#include "cli/batch_options.h"

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

#include "batch/operation_kinds.h"

namespace vk::cli {
namespace {

bool ParseOperation(std::string_view text, int* operation) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.size() != 1 || error != std::errc() || stop != end || value >= kOperationCount) {
    return false;
  }
  *operation = value;
  return true;
}

bool ParseJobs(std::string_view text, int* jobs) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < 1 || value > kMaxJobs) return false;
  *jobs = value;
  return true;
}

// Applies one option that takes a value. Returns an error text or "".
std::string TakeValue(const std::string& option, char key, const std::string& value,
                      CommandLine& line) {
  if (key == 'o') {
    int operation = 0;
    if (!ParseOperation(value, &operation)) {
      return "the operation must be a number from 0 to " + std::to_string(kOperationCount - 1) +
             ", not '" + value + "'";
    }
    line.operation = operation;
  } else if (key == 'j') {
    int jobs = 0;
    if (!ParseJobs(value, &jobs)) {
      return "the number of jobs must be from 1 to " + std::to_string(kMaxJobs) + ", not '" +
             value + "'";
    }
    line.jobs = jobs;
  } else {
    if (value.empty()) return "option '" + option + "' needs a file name";
    line.settingsFile = value;
  }
  return "";
}

// Applies one option without a value. False when it is unknown.
bool TakeSwitch(std::string_view name, CommandLine& line) {
  if (name == "r" || name == "subfolders") {
    line.subfolders = true;
  } else if (name == "n" || name == "dry-run") {
    line.dryRun = true;
  } else if (name == "h" || name == "help") {
    line.help = true;
  } else if (name == "version") {
    line.version = true;
  } else if (name == "json") {
    line.json = true;
  } else if (name == "diff") {
    line.diff = true;
  } else if (name == "runs") {
    line.runs = true;
  } else if (name == "backup" || name == "no-backup") {
    line.backup = name == "backup";
  } else if (name == "ignore-meta-tags" || name == "no-ignore-meta-tags") {
    line.ignoreMetaTags = name == "ignore-meta-tags";
  } else {
    return false;
  }
  return true;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  CommandLine& line = parsed.line;
  auto fail = [&parsed](std::string error) {
    parsed.error = std::move(error);
    return parsed;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg[1] == '-') {
      const std::size_t eq = arg.find('=');
      const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      const std::string option = "--" + name;
      if (name == "undo") {
        line.undo = true;
        if (eq != std::string::npos) {
          line.undoId = arg.substr(eq + 1);
          if (line.undoId->empty()) return fail("option '--undo=' needs a run's ID");
        } else if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
          line.undoId = args[++i];
        }
        continue;
      }
      if (name == "operation" || name == "settings" || name == "jobs") {
        std::string value;
        if (eq != std::string::npos) {
          value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          return fail("option '" + option + "' needs a value");
        }
        const std::string error = TakeValue(option, name[0], value, line);
        if (!error.empty()) return fail(error);
        continue;
      }
      if (eq != std::string::npos) {
        if (TakeSwitch(name, line)) return fail("option '" + option + "' takes no value");
        return fail("unknown option '" + option + "'");
      }
      if (!TakeSwitch(name, line)) return fail("unknown option '" + option + "'");
      continue;
    }
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const char key = arg[k];
      const std::string option = std::string("-") + key;
      if (key == 'o' || key == 's' || key == 'j') {
        std::string value;
        if (k + 1 < arg.size()) {
          value = arg.substr(k + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          return fail("option '" + option + "' needs a value");
        }
        const std::string error = TakeValue(option, key, value, line);
        if (!error.empty()) return fail(error);
        break;
      }
      if (key != 'r' && key != 'n' && key != 'h') return fail("unknown option '" + option + "'");
      TakeSwitch(std::string_view(&key, 1), line);
    }
  }
  if (line.runs || line.undo) {
    const std::string option = line.runs ? "--runs" : "--undo";
    if (line.runs && line.undo) return fail("options '--runs' and '--undo' exclude each other");
    if (!line.paths.empty()) return fail("option '" + option + "' takes no PATH");
    if (line.dryRun) return fail("option '" + option + "' cannot be combined with '--dry-run'");
    return parsed;
  }
  if (!line.help && !line.version) {
    if (line.paths.empty()) return fail("no PATH given");
    if (line.diff && line.json) return fail("--diff and --json cannot be used together");
  }
  return parsed;
}

const std::string& UsageText() {
  static const std::string text =
      "velkaro-batch [OPTIONS] PATH...\n"
      "  -o, --operation N        0..6, the Edit menu's order (default: the settings file's "
      "\"OptCB.ItemIndex\")\n"
      "      --backup | --no-backup                        (default: \"CreateBak\")\n"
      "      --ignore-meta-tags | --no-ignore-meta-tags    (default: \"IgnoreMetaTags\")\n"
      "  -r, --subfolders         a folder PATH includes the HTML files of all its subfolders\n"
      "  -s, --settings FILE      use this settings file (code list and defaults) instead of "
      "the user's Velkaro.ini\n"
      "  -n, --dry-run            change nothing on disk (no page, no backup); report what a "
      "run would do\n"
      "      --json               print the results as JSON instead of the table\n"
      "      --diff               print a unified diff of each page changed (with -n: to be "
      "changed)\n"
      "                           instead of the table, for patch -p1 in the folder given\n"
      "  -j, --jobs N             pages in hand at once, 1..64 (default 16); 1 takes one page "
      "after the other\n"
      "A run that is not a dry run keeps what --undo needs (the last 20 runs, 1 GB at most;\n"
      "the settings file's \"UndoKeepRuns\" and \"UndoKeepMB\") and says first when it cannot "
      "keep all of it.\n"
      "velkaro-batch --runs [--json]\n"
      "      --runs               list the runs kept for undo, newest first\n"
      "velkaro-batch --undo [ID] [--json]\n"
      "      --undo [ID]          take back the newest run not undone yet (or the run ID): every "
      "page\n"
      "                           that still holds what the run wrote gets its old bytes back\n"
      "  -h, --help   /   --version\n"
      "SIGINT (Ctrl-C) or SIGTERM stops the run after the pages in hand and prints the report so "
      "far;\nthe exit status is then 130 or 143.\n";
  return text;
}

std::string VersionText() { return std::string("velkaro-batch ") + VELKARO_VERSION + "\n"; }

}  // namespace vk::cli
