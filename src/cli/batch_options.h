// velkaro-batch's command line: what the user asked for, or why the request makes no sense.
// Parsing only; nothing here looks at the disk.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vk::cli {

// Pages in hand at once: by default enough for the file system to commit their syncs together.
constexpr int kDefaultJobs = 16;
constexpr int kMaxJobs = 64;

struct CommandLine {
  std::optional<int> operation;             // -o, --operation
  std::optional<bool> backup;               // --backup / --no-backup
  std::optional<bool> ignoreMetaTags;       // --ignore-meta-tags / --no-ignore-meta-tags
  bool subfolders = false;                  // -r, --subfolders
  std::optional<std::string> settingsFile;  // -s, --settings
  bool dryRun = false;                      // -n, --dry-run
  bool json = false;                        // --json
  bool diff = false;                        // --diff
  std::optional<int> jobs;                  // -j, --jobs
  bool runs = false;                        // --runs
  bool undo = false;                        // --undo [ID]
  std::optional<std::string> undoId;        // the ID after --undo
  bool help = false;                        // -h, --help
  bool version = false;                     // --version
  std::vector<std::string> paths;           // in the order given
};

struct ParsedCommandLine {
  CommandLine line;
  std::string error;  // empty when the command line is usable
  bool ok() const { return error.empty(); }
};

// Reads the arguments after the program name. Short options may be bundled ("-rn") and take
// their value attached or as the next argument ("-o6", "-o 6"); long options take it after
// "=" or as the next argument. "--" ends the options. The last of conflicting switches wins.
// Besides unknown options and missing values, an operation other than 0..6 is an error, so
// is a number of jobs other than 1..64; unless --help, --version, --runs or --undo was asked
// for, so are a missing PATH and --diff with --json (both would claim standard output).
// --undo takes the next argument as its ID unless it starts with '-' ("--undo=ID" too); --runs
// and --undo take no PATH, no --dry-run and not each other.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The summary --help prints.
const std::string& UsageText();

// What --version prints.
std::string VersionText();

}  // namespace vk::cli
