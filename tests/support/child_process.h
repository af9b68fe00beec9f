// Running a piece of a test, or velkaro-batch, in a child process: under a file size limit (a
// full disk), as another user or under strace, with what it says collected through pipes.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vk::test {

// How a child process is set up before it runs.
struct ChildSetup {
  // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored, so a write beyond it fails with EFBIG.
  std::optional<rlim_t> fileSizeLimit;
  // Leaves SIGXFSZ as it is by default (it ends a process that does not ignore it itself).
  bool defaultFileSizeSignal = false;
  // Runs the program through `setpriv` as this user and group (with no extra groups).
  std::optional<uid_t> user;
  // Runs the program under `strace -f -o /dev/null` with these extra arguments.
  std::vector<std::string> straceArgs;
  std::string workFolder;  // empty: the test's own
  // velkaro-batch's standard output goes to this file (/dev/full, say) instead of `out`.
  std::string outputFile;
  std::string configHome;  // XDG_CONFIG_HOME; empty: left as it is
  // velkaro-batch: `signal` is sent to it (once) by the read that shows `signalAfter` on its
  // standard output. A child that keeps printing then waits on the full pipe, so it is at most
  // two pipe buffers past that text when the signal comes.
  std::string signalAfter;
  int signal = 0;
};

// A setup with only the file size limit.
inline ChildSetup SizeLimited(rlim_t limit) {
  ChildSetup setup;
  setup.fileSizeLimit = limit;
  return setup;
}

struct ChildResult {
  bool exited = false;  // ended normally; otherwise `signal` says what ended it
  int exitCode = -1;
  int signal = 0;
  std::string out;    // velkaro-batch: standard output; a function: what it returned
  std::string err;    // velkaro-batch: standard error
  long maxRssKb = 0;  // the child's peak resident memory
};

// Runs `body` in a forked child and hands back the text it returns (through a pipe).
ChildResult RunInChild(const std::function<std::string()>& body, const ChildSetup& setup = {});

// Runs velkaro-batch with `args` in a child, with LC_ALL=C.UTF-8.
ChildResult RunBatchProgram(const std::vector<std::string>& args, const ChildSetup& setup = {});

// Whether strace can follow a child here (ptrace may be refused in containers).
bool StraceWorks();

}  // namespace vk::test
