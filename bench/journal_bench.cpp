// The undo journal on the benchmark site: the run with its journal against the same run without
// one, and the undo of that run against the copy it must keep up with.
//
//   journal_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] [--work DIR] [--keep]
//
// First the compression levels on the site's pages (one thread: MB/s and the bytes kept).
// Then rounds of, in this order: `cp -r` of the pristine tree (timed); `velkaro-batch -o 6 -r`
// over a copy with the journal turned off ("UndoKeepRuns=0"; timed); the same over a fresh copy
// with the journal on (timed); `velkaro-batch --undo` of that run (timed), and a check that it
// gave back the pristine tree byte for byte. Prints each round and the medians: the run with
// its journal against the run without (the 1.25x bound), the undo against `cp -r` (the 2x
// bound).
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "bench_args.h"
#include "generated_site.h"
#include "timed_command.h"

namespace {

namespace fs = std::filesystem;
using bench::Median;
using bench::ReadAll;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<fs::path> PagesBelow(const fs::path& root) {
  std::vector<fs::path> pages;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) pages.push_back(fs::relative(entry.path(), root));
  }
  std::sort(pages.begin(), pages.end());
  return pages;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: journal_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] "
                 "[--work DIR] [--keep]\n";
    return 2;
  }
  const std::string program = argv[1];
  const bench::Args args(argc, argv, 2, {"--keep"});
  const int pages = static_cast<int>(args.Number("--pages", 5000));
  const int folders = static_cast<int>(args.Number("--folders", 200));
  const int rounds = static_cast<int>(args.Number("--rounds", 5));
  const fs::path work = args.Text(
      "--work", fs::temp_directory_path() / ("velkaro-journal-bench-" + std::to_string(getpid())));
  const bool keep = args.Flag("--keep");
  const fs::path pristine = work / "site";
  const fs::path withJournal = work / "with-journal.ini";
  const fs::path withoutJournal = work / "without-journal.ini";
  bench::GenerateSite(pristine, pages, folders);
  std::ofstream(withJournal, std::ios::binary) << bench::kSiteSettings;
  std::ofstream(withoutJournal, std::ios::binary) << "[Options]\r\nUndoKeepRuns=0\r\n"
                                                  << bench::kSiteSettings;
  // The journals go to the work folder, never to the user's.
  const fs::path state = work / "state";
  setenv("XDG_STATE_HOME", state.c_str(), 1);
  const std::vector<fs::path> names = PagesBelow(pristine);
  std::vector<std::string> olds;
  for (const fs::path& name : names) olds.push_back(ReadAll(pristine / name));
  CompressionLevels(olds);

  bench::Timed({"cp", "-r", pristine.string(), (work / "warm").string()}, false);
  fs::remove_all(work / "warm");
  std::vector<double> copies, plain, journaled, undos;
  for (int round = 0; round < rounds; ++round) {
    const fs::path copy = work / "copy";
    const fs::path target = work / "target";
    copies.push_back(bench::Timed({"cp", "-r", pristine.string(), copy.string()}, false));
    fs::remove_all(copy);
    bench::Timed({"cp", "-r", pristine.string(), target.string()}, false);
    plain.push_back(bench::Timed(
        {program, "-o", "6", "-r", "-s", withoutJournal.string(), target.string()}, true));
    fs::remove_all(target);
    bench::Timed({"cp", "-r", pristine.string(), target.string()}, false);
    journaled.push_back(bench::Timed(
        {program, "-o", "6", "-r", "-s", withJournal.string(), target.string()}, true));
    undos.push_back(bench::Timed({program, "--undo"}, true));
    bool same = true;
    for (std::size_t i = 0; same && i < names.size(); ++i)
      same = ReadAll(target / names[i]) == olds[i];
    if (!same) {
      std::cerr << "the undo did not give back the pristine tree\n";
      return 1;
    }
    std::cout << std::setprecision(3) << "round " << round + 1 << ": cp -r " << copies.back()
              << " s, velkaro-batch " << plain.back() << " s without journal, " << journaled.back()
              << " s with, undo " << undos.back() << " s\n";
    fs::remove_all(target);
    fs::remove_all(state);
  }
  const double copy = Median(copies);
  const double run = Median(plain);
  const double runJournaled = Median(journaled);
  const double undo = Median(undos);
  std::cout << std::setprecision(3) << "medians: cp -r " << copy << " s, velkaro-batch " << run
            << " s without journal, " << runJournaled << " s with, undo " << undo << " s\n"
            << "the run with its journal: " << runJournaled / run
            << "x the run without (bound 1.25x); undo: " << undo / copy << "x cp -r (bound 2x)\n";
  if (!keep) fs::remove_all(work);
  return 0;
}
