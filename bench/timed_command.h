// What the benchmarks share: running a command with its wall time and peak memory, the median of
// rounds, and a file's bytes.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

struct Timing {
  double seconds = 0;
  long maxRssKb = 0;  // the child's peak resident memory
};

// Runs the command and returns its wall time and peak memory; exits when it fails. Each command
// starts without a backlog of unwritten data from the one before. `quiet`: its standard output
// goes nowhere.
inline Timing Run(const std::vector<std::string>& command, bool quiet = true) {
  std::cout.flush();
  sync();
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (quiet) std::freopen("/dev/null", "w", stdout);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  Timing timing;
  timing.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  timing.maxRssKb = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::cerr << command[0] << " failed with status " << status << "\n";
    std::exit(1);
  }
  return timing;
}

// The command's wall time in seconds (see Run).
inline double Timed(const std::vector<std::string>& command, bool quiet = true) {
  return Run(command, quiet).seconds;
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  if (n == 0) return 0;
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace bench
