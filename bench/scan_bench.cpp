// Speed of the subfolder walk: CollectFolders over a generated tree of 20,000 folders against
// `find DIR -type d` over the same tree, both timed in this program, alternating, after one
// warm-up run each. Prints the median and best times and their ratio.
//
//   scan_bench [PARENT [ROUNDS]]     (PARENT defaults to $TMPDIR or /tmp, ROUNDS to 7)
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/feedback.h"
#include "selection/folder_walk.h"
#include "timed_command.h"

namespace {

using bench::Median;

using Clock = std::chrono::steady_clock;

constexpr int kTopFolders = 100;
constexpr int kPerFolder = 199;  // 100 + 100 * 199 = 20,000 folders below the start

bool MakeTree(const std::string& root) {
  char name[32];
  for (int top = 0; top < kTopFolders; ++top) {
    std::snprintf(name, sizeof name, "/d%03d", top);
    const std::string parent = root + name;
    if (mkdir(parent.c_str(), 0755) != 0) return false;
    for (int child = 0; child < kPerFolder; ++child) {
      std::snprintf(name, sizeof name, "/e%03d", child);
      if (mkdir((parent + name).c_str(), 0755) != 0) return false;
    }
  }
  return true;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string parent = argc > 1 ? argv[1] : (tmp != nullptr && *tmp ? tmp : "/tmp");
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

  std::string pattern = parent + "/velkaro-scan-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string root = pattern;
  std::printf("tree: %s\n", root.c_str());
  const auto made = Clock::now();
  if (!MakeTree(root)) {
    std::perror("mkdir");
    std::filesystem::remove_all(root);
    return 1;
  }
  std::printf("made %d folders in %.2f s\n", kTopFolders * (kPerFolder + 1),
              Seconds(Clock::now() - made));

  const std::string findCommand = "find '" + root + "' -type d > /dev/null";
  vk::SilentFeedback feedback;
  std::vector<std::string> folders;
  auto timeFind = [&] {
    const auto start = Clock::now();
    if (std::system(findCommand.c_str()) != 0) std::fprintf(stderr, "find failed\n");
    return Seconds(Clock::now() - start);
  };
  auto timeCollect = [&] {
    const auto start = Clock::now();
    vk::CollectFolders(root + "/", folders, feedback);
    return Seconds(Clock::now() - start);
  };

  timeFind();
  timeCollect();
  std::vector<double> findTimes;
  std::vector<double> collectTimes;
  for (int round = 0; round < rounds; ++round) {
    findTimes.push_back(timeFind());
    collectTimes.push_back(timeCollect());
  }
  std::printf("CollectFolders found %zu folders (start included)\n", folders.size());

  const double findMedian = Median(findTimes);
  const double collectMedian = Median(collectTimes);
  const double findBest = *std::min_element(findTimes.begin(), findTimes.end());
  const double collectBest = *std::min_element(collectTimes.begin(), collectTimes.end());
  std::printf("%d rounds      median      best\n", rounds);
  std::printf("find -type d   %7.1f ms  %7.1f ms\n", findMedian * 1e3, findBest * 1e3);
  std::printf("CollectFolders %7.1f ms  %7.1f ms\n", collectMedian * 1e3, collectBest * 1e3);
  std::printf("ratio          %7.2f     %7.2f   (CollectFolders / find; target <= 1.5)\n",
              collectMedian / findMedian, collectBest / findBest);

  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return 0;
}
