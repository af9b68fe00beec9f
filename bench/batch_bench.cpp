// velkaro-batch over a whole site against `cp -r` of the same site, in the same run.
//
//   batch_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] [--work DIR] [--keep]
//
// Generates a tree of pages (5-40 KB each, Windows-1252 text with umlauts, CR LF line ends,
// tab indents, META tags, tables, pre and script blocks) in nested folders, and a settings
// file with ten find/replace pairs. Each round copies the pristine tree twice with `cp -r`:
// the first copy is timed, the second is the fresh tree that `velkaro-batch -o 6 -r` then
// rewrites, timed as well. Prints the times of every round, the ratio of the best times and
// the median of the rounds' ratios (a shared machine makes single rounds noisy).
// --keep leaves the work folder (the pristine tree and the settings file) for a closer look.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "generated_site.h"

namespace {

namespace fs = std::filesystem;

// Runs the command and returns its wall time in seconds; exits when it fails.
// Each command starts without a backlog of unwritten data from the one before.
double Timed(const std::vector<std::string>& command, bool quiet) {
  std::cout.flush();
  sync();
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (quiet) {
      std::freopen("/dev/null", "w", stdout);
    }
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::cerr << command[0] << " failed with status " << status << "\n";
    std::exit(1);
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: batch_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] "
                 "[--work DIR] [--keep]\n";
    return 2;
  }
  const std::string program = argv[1];
  int pages = 5000;
  int folders = 200;
  int rounds = 3;
  fs::path work = fs::temp_directory_path() / ("velkaro-batch-bench-" + std::to_string(getpid()));
  bool keep = false;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--keep") {
      keep = true;
      continue;
    }
    if (i + 1 >= argc) break;
    ++i;
    if (option == "--pages") pages = std::atoi(argv[i]);
    if (option == "--folders") folders = std::atoi(argv[i]);
    if (option == "--rounds") rounds = std::atoi(argv[i]);
    if (option == "--work") work = argv[i];
  }
  const fs::path pristine = work / "site";
  const fs::path settings = work / "bench.ini";
  bench::GenerateSite(pristine, pages, folders);
  std::ofstream(settings, std::ios::binary) << bench::kSiteSettings;
  std::uintmax_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(pristine)) {
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  std::cout << pages << " pages in " << folders << " folders, " << bytes / (1024 * 1024) << " MB\n";
  // One untimed copy first, so both sides start with the pristine tree in the page cache.
  Timed({"cp", "-r", pristine.string(), (work / "warm").string()}, false);
  fs::remove_all(work / "warm");

  double bestCopy = 1e9;
  double bestBatch = 1e9;
  std::vector<double> ratios;
  for (int round = 0; round < rounds; ++round) {
    const fs::path copy = work / "copy";
    const fs::path target = work / "target";
    const double copySeconds = Timed({"cp", "-r", pristine.string(), copy.string()}, false);
    Timed({"cp", "-r", pristine.string(), target.string()}, false);
    const double batchSeconds =
        Timed({program, "-o", "6", "-r", "-s", settings.string(), target.string()}, true);
    std::cout << "round " << round + 1 << ": cp -r " << copySeconds << " s, velkaro-batch "
              << batchSeconds << " s, ratio " << batchSeconds / copySeconds << "\n";
    ratios.push_back(batchSeconds / copySeconds);
    bestCopy = std::min(bestCopy, copySeconds);
    bestBatch = std::min(bestBatch, batchSeconds);
    fs::remove_all(copy);
    fs::remove_all(target);
  }
  std::sort(ratios.begin(), ratios.end());
  std::cout << "best: cp -r " << bestCopy << " s, velkaro-batch " << bestBatch << " s, ratio "
            << bestBatch / bestCopy << "; median ratio of the rounds " << ratios[ratios.size() / 2]
            << "\n";
  if (!keep) fs::remove_all(work);
  return 0;
}
