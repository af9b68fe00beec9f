// The undo journal on the benchmark site, against the run and the copy it must keep up with.
//
//   journal_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] [--threads N]
//                 [--work DIR] [--keep]
//
// First the compression levels on the site's pages (one thread: MB/s and the bytes kept).
// Then rounds of, in this order: `cp -r` of the pristine tree (timed); `cp -r` into the target
// and `velkaro-batch -o 6 -r` over it (timed); the journal of that run: every page's old bytes
// (the pristine tree's) and new bytes (the target's) recorded with RunJournal in groups of 64
// pages, each group's pages added from N threads at once (as the run's helpers will) and then
// synced (timed, with the pages already in memory, as the run has them); the undo of that
// journal (timed), and a check that it gave back the pristine tree byte for byte. Prints each
// round and the medians: the journal's time against the run's (what the 1.25x bound leaves),
// and the undo's against `cp -r` (the 2x bound).
#include <zstd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench_tree.h"
#include "journal/run_journal.h"
#include "journal/undo_journal.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> PagesBelow(const fs::path& root) {
  std::vector<fs::path> pages;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) pages.push_back(fs::relative(entry.path(), root));
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void CompressionLevels(const std::vector<std::string>& pages) {
  std::size_t total = 0;
  for (const std::string& page : pages) total += page.size();
  ZSTD_CCtx* context = ZSTD_createCCtx();
  std::string out;
  std::cout << "compression of the " << pages.size() << " pages (" << total / (1 << 20)
            << " MB), one thread:\n";
  for (const int level : {-5, -3, -1, 1, 2, 3, 5}) {
    ZSTD_CCtx_reset(context, ZSTD_reset_session_and_parameters);
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    std::size_t kept = 0;
    const auto start = Clock::now();
    for (const std::string& page : pages) {
      out.resize(ZSTD_compressBound(page.size()));
      kept += ZSTD_compress2(context, out.data(), out.size(), page.data(), page.size());
    }
    const double seconds = Since(start);
    std::cout << "  level " << std::setw(2) << level << ": " << std::setw(6) << std::fixed
              << std::setprecision(0) << total / seconds / 1e6 << " MB/s, kept "
              << std::setprecision(1) << 100.0 * static_cast<double>(kept) / total << " % ("
              << kept / (1 << 20) << " MB)\n";
  }
  ZSTD_freeCCtx(context);
}

// Records every page as the run will: groups of 64 pages, their Adds from `threads` threads at
// once, one Sync per group. Returns the seconds.
double Journal(const fs::path& runs, const fs::path& target, const std::vector<fs::path>& names,
               const std::vector<std::string>& olds, const std::vector<std::string>& news,
               int threads) {
  const auto start = Clock::now();
  vk::FileStatus status = vk::FileStatus::Ok();
  vk::RunInfo info;
  info.operation = 6;
  info.folder = target.string();
  std::unique_ptr<vk::RunJournal> journal =
      vk::RunJournal::Start(runs.string(), info, vk::KeepLimits{}, &status);
  if (!journal) {
    std::cerr << "no journal: " << status.err() << "\n";
    std::exit(1);
  }
  std::vector<std::string> paths;
  for (const fs::path& name : names) paths.push_back((target / name).string());
  constexpr std::size_t kGroup = 64;
  for (std::size_t first = 0; first < names.size(); first += kGroup) {
    const std::size_t end = std::min(names.size(), first + kGroup);
    std::atomic<std::size_t> next{first};
    const auto work = [&] {
      for (std::size_t i = next++; i < end; i = next++) {
        vk::PageRecord record;
        record.path = paths[i];
        record.oldBytes = olds[i];
        record.newBytes = news[i];
        record.order = static_cast<std::int64_t>(i);
        if (!journal->Add(record).ok()) std::exit(1);
      }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
    if (!journal->Sync().ok()) std::exit(1);
  }
  return Since(start);
}

class Count : public vk::UndoObserver {
 public:
  void PageDone(const vk::UndoPage& page) override {
    if (page.outcome != vk::UndoPage::Outcome::kRestored) ++notRestored;
  }
  int notRestored = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: journal_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] "
                 "[--threads N] [--work DIR] [--keep]\n";
    return 2;
  }
  const std::string program = argv[1];
  int pages = 5000;
  int folders = 200;
  int rounds = 5;
  int threads = 2;
  fs::path work = fs::temp_directory_path() / ("velkaro-journal-bench-" + std::to_string(getpid()));
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
    if (option == "--threads") threads = std::atoi(argv[i]);
    if (option == "--work") work = argv[i];
  }
  const fs::path pristine = work / "site";
  const fs::path settings = work / "bench.ini";
  const fs::path runs = work / "runs";
  bench_tree::Generate(pristine, pages, folders);
  std::ofstream(settings, std::ios::binary) << bench_tree::kSettings;
  const std::vector<fs::path> names = PagesBelow(pristine);
  std::vector<std::string> olds;
  for (const fs::path& name : names) olds.push_back(ReadAll(pristine / name));
  CompressionLevels(olds);

  bench_tree::Timed({"cp", "-r", pristine.string(), (work / "warm").string()}, false);
  fs::remove_all(work / "warm");
  std::vector<double> copies, batches, journals, journalsOne, undos;
  for (int round = 0; round < rounds; ++round) {
    const fs::path copy = work / "copy";
    const fs::path target = work / "target";
    copies.push_back(bench_tree::Timed({"cp", "-r", pristine.string(), copy.string()}, false));
    fs::remove_all(copy);
    bench_tree::Timed({"cp", "-r", pristine.string(), target.string()}, false);
    batches.push_back(bench_tree::Timed(
        {program, "-o", "6", "-r", "-s", settings.string(), target.string()}, true));
    std::vector<std::string> news;
    for (const fs::path& name : names) news.push_back(ReadAll(target / name));

    sync();
    journalsOne.push_back(Journal(runs, target, names, olds, news, 1));
    fs::remove_all(runs);
    sync();
    journals.push_back(Journal(runs, target, names, olds, news, threads));

    sync();
    Count count;
    const auto start = Clock::now();
    const vk::UndoResult result = vk::UndoRun(runs.string(), std::nullopt, count);
    undos.push_back(Since(start));
    bool same = result.status == vk::UndoResult::Status::kUndone && count.notRestored == 0;
    for (std::size_t i = 0; same && i < names.size(); ++i)
      same = ReadAll(target / names[i]) == olds[i];
    if (!same) {
      std::cerr << "the undo did not give back the pristine tree\n";
      return 1;
    }
    std::cout << std::setprecision(3) << "round " << round + 1 << ": cp -r " << copies.back()
              << " s, velkaro-batch " << batches.back() << " s, journal " << journalsOne.back()
              << " s (1 thread) " << journals.back() << " s (" << threads << " threads), undo "
              << undos.back() << " s\n";
    fs::remove_all(target);
    fs::remove_all(runs);
  }
  const double copy = Median(copies);
  const double batch = Median(batches);
  const double journal = Median(journals);
  std::cout << std::setprecision(3) << "medians: cp -r " << copy << " s, velkaro-batch " << batch
            << " s, journal " << Median(journalsOne) << " s (1 thread) " << journal << " s ("
            << threads << " threads), undo " << Median(undos) << " s\n"
            << "run with its journal added on top: " << (batch + journal) / batch
            << "x the run (bound 1.25x); undo: " << Median(undos) / copy << "x cp -r (bound 2x)\n";
  if (!keep) fs::remove_all(work);
  return 0;
}
