// A timer for the commands the benchmarks run on the generated site (generated_site.h).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace bench {

// Runs the command and returns its wall time in seconds; exits when it fails.
// Each command starts without a backlog of unwritten data from the one before.
inline double Timed(const std::vector<std::string>& command, bool quiet) {
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

}  // namespace bench
