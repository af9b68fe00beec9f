// What the diffs cost: velkaro-batch -o 6 -r --dry-run --diff against the same dry run with its
// table, on the benchmark site of batch_bench, in the same run.
//
//   diff_output_bench VELKARO_BATCH [--pages N] [--rounds N] [--work DIR]
//
// The site (5,000 generated pages by default) is made by batch_bench, which must sit beside
// this program: it runs once with --keep and leaves its pristine tree and settings file in the
// work folder. Each round then times both dry runs, their output read through a pipe as a pager
// or patch would read it, and prints the times, the bytes each printed and the ratio; at the
// end the ratio of the best times and the median of the rounds' ratios.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench_args.h"

namespace {

namespace fs = std::filesystem;

struct Timing {
  double seconds = 0;
  std::size_t bytes = 0;  // what the command printed
};

// Runs the command with its standard output read through a pipe and counted; exits when it
// fails.
Timing Timed(const std::vector<std::string>& command) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  Timing timing;
  static char buffer[1 << 16];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
    timing.bytes += static_cast<std::size_t>(n);
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  timing.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::cerr << command[0] << " failed with status " << status << "\n";
    std::exit(1);
  }
  return timing;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: diff_output_bench VELKARO_BATCH [--pages N] [--rounds N] [--work DIR]\n";
    return 2;
  }
  const std::string program = argv[1];
  const bench::Args args(argc, argv, 2);
  const std::string pages = args.Text("--pages", "5000");
  const int rounds = static_cast<int>(args.Number("--rounds", 3));
  const fs::path work = args.Text(
      "--work", fs::temp_directory_path() / ("velkaro-diff-bench-" + std::to_string(getpid())));
  const fs::path maker = fs::absolute(argv[0]).parent_path() / "batch_bench";
  Timed({maker.string(), program, "tree", "--pages", pages, "--rounds", "1", "--work",
         work.string(), "--keep"});
  const std::string site = (work / "site").string();
  const std::string settings = (work / "bench.ini").string();
  const std::vector<std::string> table = {program, "-o", "6", "-r", "-n", "-s", settings, site};
  std::vector<std::string> diff = table;
  diff.push_back("--diff");
  // One untimed run first, so both sides start with the site in the page cache.
  Timed(table);

  double bestTable = 1e9;
  double bestDiff = 1e9;
  std::vector<double> ratios;
  for (int round = 0; round < rounds; ++round) {
    const Timing plain = Timed(table);
    const Timing withDiff = Timed(diff);
    std::cout << "round " << round + 1 << ": --dry-run " << plain.seconds << " s (" << plain.bytes
              << " bytes), --dry-run --diff " << withDiff.seconds << " s ("
              << withDiff.bytes / (1024 * 1024) << " MB), ratio "
              << withDiff.seconds / plain.seconds << "\n";
    ratios.push_back(withDiff.seconds / plain.seconds);
    bestTable = std::min(bestTable, plain.seconds);
    bestDiff = std::min(bestDiff, withDiff.seconds);
  }
  std::sort(ratios.begin(), ratios.end());
  std::cout << "best: --dry-run " << bestTable << " s, --dry-run --diff " << bestDiff
            << " s, ratio " << bestDiff / bestTable << "; median ratio of the rounds "
            << ratios[ratios.size() / 2] << "\n";
  fs::remove_all(work);
  return 0;
}
