// velkaro-batch: the batch run of the Velkaro window for scripts and pipelines, no display.
#include <malloc.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/batch_command.h"
#include "cli/stop_signals.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // A write past the process's file size limit fails with EFBIG and is reported like any
  // failed write, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  vk::cli::InstallStopSignals();
#ifdef __GLIBC__
  // A run allocates and frees page-sized buffers thousands of times; keep freed memory for the
  // next page instead of handing it back to the system after every one.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
#endif
  const std::vector<std::string> args(argv + 1, argv + argc);
  return vk::cli::RunBatchCommand(args, std::cout, std::cerr);
}
