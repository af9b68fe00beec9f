// How a group of new files is best made durable: one syncfs for the group (SyncFiles) against
// fdatasync of every file of the group issued at once from helper threads, as the run could do
// it, and against one fsync after the other as a run did before groups.
//
//   sync_bench [--files N] [--kb N] [--group N] [--threads N] [--rounds N] [--work DIR]
//
// Each round writes N files of N KB (5,000 of 20 KB by default) in groups of --group (64) once
// per way, alternating the ways, and times writing and syncing; prints every round and the
// medians.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench_args.h"
#include "fs/sync_files.h"
#include "timed_command.h"

namespace {

using bench::Median;

namespace fs = std::filesystem;

enum class Way { kSyncfs, kParallelFdatasync, kEachFsync };
const char* const kNames[] = {"syncfs per group", "fdatasync from helper threads",
                              "fsync one after the other"};

void SyncAtOnce(const std::vector<int>& fds, int threads) {
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> helpers;
  for (int i = 0; i < threads; ++i) {
    helpers.emplace_back([&] {
      for (std::size_t k = next++; k < fds.size(); k = next++) ::fdatasync(fds[k]);
    });
  }
  for (std::thread& helper : helpers) helper.join();
}

double WriteAll(const fs::path& folder, Way way, int files, std::size_t bytes, int group,
                int threads) {
  fs::create_directories(folder);
  const std::string content(bytes, 'x');
  ::sync();
  const auto start = std::chrono::steady_clock::now();
  std::vector<int> fds;
  auto flush = [&] {
    if (way == Way::kSyncfs) vk::SyncFiles(fds);
    if (way == Way::kParallelFdatasync) SyncAtOnce(fds, threads);
    for (const int fd : fds) ::close(fd);
    fds.clear();
  };
  for (int i = 0; i < files; ++i) {
    const std::string path = (folder / ("f" + std::to_string(i))).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(bytes)) {
      std::perror("write");
      std::exit(1);
    }
    if (way == Way::kEachFsync) ::fsync(fd);
    fds.push_back(fd);
    if (static_cast<int>(fds.size()) == group) flush();
  }
  flush();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fs::remove_all(folder);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Args args(argc, argv, 1);
  const int files = static_cast<int>(args.Number("--files", 5000));
  const auto kb = static_cast<std::size_t>(args.Number("--kb", 20));
  const int group = static_cast<int>(args.Number("--group", 64));
  const int threads = static_cast<int>(args.Number("--threads", 16));
  const int rounds = static_cast<int>(args.Number("--rounds", 5));
  const fs::path work = args.Text(
      "--work", fs::temp_directory_path() / ("velkaro-sync-bench-" + std::to_string(getpid())));
  std::vector<double> times[3];
  for (int round = 0; round < rounds; ++round) {
    std::cout << "round " << round + 1 << ":";
    for (const Way way : {Way::kSyncfs, Way::kParallelFdatasync, Way::kEachFsync}) {
      const double seconds = WriteAll(work, way, files, kb * 1024, group, threads);
      times[static_cast<int>(way)].push_back(seconds);
      std::cout << " " << kNames[static_cast<int>(way)] << " " << seconds << " s;";
    }
    std::cout << "\n";
  }
  std::cout << files << " files of " << kb << " KB in groups of " << group << ", medians:";
  for (int way = 0; way < 3; ++way)
    std::cout << " " << kNames[way] << " " << Median(times[way]) << " s;";
  std::cout << "\n";
  fs::remove_all(work);
  return 0;
}
