// velkaro-batch: the batch run of the Velkaro window for scripts and pipelines, no display.
#include <iostream>
#include <string>
#include <vector>

#include "cli/batch_command.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return vk::cli::RunBatchCommand(args, std::cout, std::cerr);
}
