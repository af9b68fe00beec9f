// velkaro-batch at the speed of the machine, measured against copying the same bytes durably.
//
//   batch_bench VELKARO_BATCH tree [--pages N] [--folders N] [--kb N] [--rounds N] [--work DIR]
//   batch_bench VELKARO_BATCH page [--mb N] [--rounds N] [--work DIR]
//
// tree: generates a tree of pages (by default 5,000 pages of 5-40 KB in 200 nested folders;
// --kb N makes every page N KB; Windows-1252 text with umlauts, CR LF line ends, tab indents,
// META tags, tables, pre and script blocks) and a settings file with ten find/replace pairs.
// Each round, alternating, times `cp -r` of the pristine tree followed by `sync -f` of the copy
// (the same bytes made durable), and `velkaro-batch -o 6 -r` over a fresh copy. Prints every
// round and the medians and their ratio.
// page: one generated page of --mb N MB (64 by default); each round times
// `velkaro-batch -o 6 -j 1` on a fresh copy as a dry run (-n) and as a real run, and prints
// MB/s of the page and the child's peak resident memory against the page's size, with medians.
// --keep leaves the work folder for a closer look.
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

#include "bench_args.h"
#include "generated_page.h"
#include "generated_site.h"
#include "timed_command.h"

namespace {

namespace fs = std::filesystem;
using bench::Median;
using bench::Run;
using bench::Timing;

struct Options {
  std::string program;
  std::string what;
  int pages = 5000;
  int folders = 200;
  std::size_t pageKb = 0;
  std::size_t pageMb = 64;
  int rounds = 5;
  fs::path work = fs::temp_directory_path() / ("velkaro-batch-bench-" + std::to_string(getpid()));
  bool keep = false;
};

void Tree(const Options& options) {
  const fs::path pristine = options.work / "site";
  const fs::path settings = options.work / "bench.ini";
  bench::GenerateSite(pristine, options.pages, options.folders, options.pageKb * 1024);
  std::ofstream(settings, std::ios::binary) << bench::kSiteSettings;
  std::uintmax_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(pristine)) {
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  std::cout << options.pages << " pages in " << options.folders << " folders, "
            << bytes / (1024 * 1024) << " MB\n";
  // One untimed copy first, so both sides start with the pristine tree in the page cache.
  Run({"cp", "-r", pristine.string(), (options.work / "warm").string()});
  fs::remove_all(options.work / "warm");

  const fs::path copy = options.work / "copy";
  const fs::path target = options.work / "target";
  std::vector<double> copies;
  std::vector<double> runs;
  std::vector<double> ratios;
  for (int round = 0; round < options.rounds; ++round) {
    const double copySeconds =
        Run({"sh", "-c", "cp -r \"$0\" \"$1\" && sync -f \"$1\"", pristine.string(), copy.string()})
            .seconds;
    Run({"cp", "-r", pristine.string(), target.string()});
    const double batchSeconds =
        Run({options.program, "-o", "6", "-r", "-s", settings.string(), target.string()}).seconds;
    std::cout << "round " << round + 1 << ": cp -r + sync -f " << copySeconds
              << " s, velkaro-batch -o 6 -r " << batchSeconds << " s, ratio "
              << batchSeconds / copySeconds << "\n";
    copies.push_back(copySeconds);
    runs.push_back(batchSeconds);
    ratios.push_back(batchSeconds / copySeconds);
    fs::remove_all(copy);
    fs::remove_all(target);
  }
  std::cout << "medians: cp -r + sync -f " << Median(copies) << " s, velkaro-batch " << Median(runs)
            << " s, ratio of the medians " << Median(runs) / Median(copies)
            << ", median of the rounds' ratios " << Median(ratios) << "\n";
}

void OnePage(const Options& options) {
  fs::create_directories(options.work);
  const fs::path pristine = options.work / "page.htm";
  const fs::path page = options.work / "run" / "page.htm";
  const fs::path settings = options.work / "bench.ini";
  std::ofstream(settings, std::ios::binary) << bench::kSiteSettings;
  const std::string bytes = bench::MakeGeneratedPage(options.pageMb << 20);
  std::ofstream(pristine, std::ios::binary) << bytes;
  const double mb = static_cast<double>(bytes.size()) / (1 << 20);
  std::cout << "one page of " << mb << " MB\n";
  std::vector<double> dry;
  std::vector<double> real;
  std::vector<double> dryRss;
  std::vector<double> realRss;
  for (int round = 0; round < options.rounds; ++round) {
    fs::remove_all(page.parent_path());
    fs::create_directories(page.parent_path());
    Run({"cp", pristine.string(), page.string()});
    const Timing dryRun =
        Run({options.program, "-o", "6", "-j", "1", "-n", "-s", settings.string(), page.string()});
    const Timing realRun =
        Run({options.program, "-o", "6", "-j", "1", "-s", settings.string(), page.string()});
    const auto rssRatio = [&](const Timing& t) { return t.maxRssKb / 1024.0 / mb; };
    std::cout << "round " << round + 1 << ": dry run " << dryRun.seconds << " s, "
              << mb / dryRun.seconds << " MB/s, peak " << dryRun.maxRssKb / 1024 << " MB ("
              << rssRatio(dryRun) << "x the page); real run " << realRun.seconds << " s, "
              << mb / realRun.seconds << " MB/s, peak " << realRun.maxRssKb / 1024 << " MB ("
              << rssRatio(realRun) << "x the page)\n";
    dry.push_back(dryRun.seconds);
    real.push_back(realRun.seconds);
    dryRss.push_back(rssRatio(dryRun));
    realRss.push_back(rssRatio(realRun));
  }
  std::cout << "medians: dry run " << mb / Median(dry) << " MB/s, peak " << Median(dryRss)
            << "x the page; real run " << mb / Median(real) << " MB/s, peak " << Median(realRss)
            << "x the page\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: batch_bench VELKARO_BATCH tree|page [--pages N] [--folders N] [--kb N] "
                 "[--mb N] [--rounds N] [--work DIR] [--keep]\n";
    return 2;
  }
  const bench::Args args(argc, argv, 3, {"--keep"});
  Options options;
  options.program = argv[1];
  options.what = argv[2];
  options.pages = static_cast<int>(args.Number("--pages", options.pages));
  options.folders = static_cast<int>(args.Number("--folders", options.folders));
  options.pageKb = static_cast<std::size_t>(args.Number("--kb", 0));
  options.pageMb = static_cast<std::size_t>(args.Number("--mb", 64));
  options.rounds = static_cast<int>(args.Number("--rounds", options.rounds));
  options.work = args.Text("--work", options.work);
  options.keep = args.Flag("--keep");
  if (options.what == "tree") {
    Tree(options);
  } else if (options.what == "page") {
    OnePage(options);
  } else {
    std::cerr << "batch_bench: tree or page, not " << options.what << "\n";
    return 2;
  }
  if (!options.keep) fs::remove_all(options.work);
  return 0;
}
