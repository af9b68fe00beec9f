// The window's run against velkaro-batch over the same site, in the same program: the code the
// window runs (TVKMain::RunOperation on the offscreen platform, its results list, status bar
// and progress bar included) with operation 6 over a fresh copy of the generated tree, and
// `velkaro-batch -o 6 -r` over another fresh copy. Also times the window's listing of the tree
// with the subfolder toggle down. Both copies must end byte for byte alike.
//
// With --preview both write nothing: the window's preview against velkaro-batch --dry-run.
//
// With --costs it first prints what each per-file piece of the window's feedback costs when
// done for every one of 5,000 files: a results row appended, the status text set, the
// progress bar set, the event loop entered.
//
//   window_run_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] [--work DIR] [--costs]
//                    [--preview]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_args.h"
#include "generated_site.h"
#include "timed_command.h"
#include "ui/results_view.h"
#include "ui/user_dialogs.h"
#include "ui/velkaro_application.h"
#include "ui/vk_main.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// User and system CPU seconds of this process (`who` RUSAGE_SELF) or of its waited-for
// children (RUSAGE_CHILDREN) so far.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Boxes count instead of waiting for a click.
class CountingDialogs : public vk::UserDialogs {
 public:
  void Error(QWidget*, const QString&) override { ++errors; }
  void Information(QWidget*, const QString&) override {}
  bool Question(QWidget*, const QString&) override { return false; }
  void Plain(QWidget*, const QString&) override {}
  int errors = 0;
};

// Whether both trees hold the same files with the same bytes.
bool SameTrees(const fs::path& a, const fs::path& b) {
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(a)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const fs::path other = b / fs::relative(entry.path(), a);
    if (!fs::exists(other) || bench::ReadAll(entry.path()) != bench::ReadAll(other)) return false;
  }
  std::size_t otherFiles = 0;
  for (const auto& entry : fs::recursive_directory_iterator(b))
    otherFiles += entry.is_regular_file();
  return files == otherFiles;
}

// Microseconds per call of `piece` over 5,000 calls.
template <typename Piece>
double PerCall(Piece piece) {
  constexpr int kCalls = 5000;
  const auto start = Clock::now();
  for (int i = 0; i < kCalls; ++i) piece(i);
  return Since(start) * 1e6 / kCalls;
}

void PrintCosts() {
  QMainWindow window;
  auto* results = new vk::ResultsView;
  window.setCentralWidget(results);
  auto* label = new QLabel;
  window.statusBar()->addWidget(label);
  auto* progress = new QProgressBar;
  progress->setFormat(QStringLiteral("%v / %m"));
  progress->setRange(0, 5000);
  window.statusBar()->addPermanentWidget(progress);
  window.resize(1000, 700);
  window.show();
  QApplication::processEvents();
  vk::ResultRow row;
  row.name = "seite1234.htm";
  row.sizeBefore = "12.345 Byte";
  row.sizeAfter = "10.000 Byte";
  row.saving = "19";
  row.specialChars = "12";
  row.htmlCode = "40";
  row.path = "/tmp/seite1234.htm";
  results->setUpdatesEnabled(false);
  const double append = PerCall([&](int) { results->AddResult(row); });
  results->setUpdatesEnabled(true);
  const double status =
      PerCall([&](int i) { label->setText(QStringLiteral("Datei: seite%1.htm").arg(i)); });
  const double bar = PerCall([&](int i) { progress->setValue(i); });
  const double events = PerCall([&](int) { QApplication::processEvents(); });
  std::cout << "per file: results row " << append << " us, status text " << status
            << " us, progress bar " << bar << " us, event loop " << events << " us\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: window_run_bench VELKARO_BATCH [--pages N] [--folders N] [--rounds N] "
                 "[--work DIR]\n";
    return 2;
  }
  const std::string program = argv[1];
  const bench::Args args(argc, argv, 2, {"--costs", "--preview"});
  const int pages = static_cast<int>(args.Number("--pages", 5000));
  const int folders = static_cast<int>(args.Number("--folders", 200));
  const int rounds = static_cast<int>(args.Number("--rounds", 3));
  const fs::path work = args.Text(
      "--work", fs::temp_directory_path() / ("velkaro-window-bench-" + std::to_string(getpid())));
  const bool costs = args.Flag("--costs");
  const bool preview = args.Flag("--preview");
  const fs::path pristine = work / "site";
  const fs::path config = work / "config";
  bench::GenerateSite(pristine, pages, folders);
  fs::create_directories(config / "Velkaro");
  std::ofstream(config / "Velkaro" / "Velkaro.ini", std::ios::binary) << bench::kSiteSettings;
  // The window's settings and desktop are the bench's own.
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("HOME", work.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  vk::VelkaroApplication app(argc, argv);
  CountingDialogs dialogs;
  vk::SetDialogs(&dialogs);
  if (costs) PrintCosts();
  std::cout << pages << " pages in " << folders << " folders\n";
  bench::Timed({"cp", "-r", pristine.string(), (work / "warm").string()});
  fs::remove_all(work / "warm");

  double bestBatch = 1e9, bestWindow = 1e9, bestScan = 1e9;
  std::vector<double> ratios;
  for (int round = 0; round < rounds; ++round) {
    const fs::path batchTree = work / "batch";
    const fs::path windowTree = work / "window";
    bench::Timed({"cp", "-r", pristine.string(), batchTree.string()});
    bench::Timed({"cp", "-r", pristine.string(), windowTree.string()});
    // The two alternate which goes first, so that neither always meets the other's leftovers.
    double batchSeconds = 0, batchCpu = 0, windowSeconds = 0, windowCpu = 0, scanSeconds = 0;
    const auto runBatch = [&] {
      const double cpu = CpuSeconds(RUSAGE_CHILDREN);
      std::vector<std::string> command = {
          program, "-o", "6", "-r", "-s", (config / "Velkaro" / "Velkaro.ini").string()};
      if (preview) command.push_back("--dry-run");
      command.push_back(batchTree.string());
      batchSeconds = bench::Timed(command);
      batchCpu = CpuSeconds(RUSAGE_CHILDREN) - cpu;
    };
    const auto runWindow = [&] {
      auto window = std::make_unique<vk::TVKMain>();
      window->findChild<QAction*>(QStringLiteral("UPdirchkbox"))->setChecked(true);
      sync();
      auto start = Clock::now();
      window->AddFolderFiles(windowTree.string(), true);
      scanSeconds = Since(start);
      const double cpu = CpuSeconds(RUSAGE_SELF);
      start = Clock::now();
      window->RunOperation(6, preview);
      windowSeconds = Since(start);
      windowCpu = CpuSeconds(RUSAGE_SELF) - cpu;
    };
    if (round % 2 == 0) {
      runBatch();
      runWindow();
    } else {
      runWindow();
      runBatch();
    }

    const bool same = SameTrees(batchTree, windowTree);
    std::cout << "round " << round + 1 << ": velkaro-batch " << batchSeconds << " s (cpu "
              << batchCpu << " s), window run " << windowSeconds << " s (cpu " << windowCpu
              << " s), ratio " << windowSeconds / batchSeconds << "; window listing " << scanSeconds
              << " s; " << (same ? "same bytes" : "TREES DIFFER") << "\n";
    if (!same) return 1;
    ratios.push_back(windowSeconds / batchSeconds);
    bestBatch = std::min(bestBatch, batchSeconds);
    bestWindow = std::min(bestWindow, windowSeconds);
    bestScan = std::min(bestScan, scanSeconds);
    fs::remove_all(batchTree);
    fs::remove_all(windowTree);
  }
  std::sort(ratios.begin(), ratios.end());
  std::cout << "best: velkaro-batch " << bestBatch << " s, window run " << bestWindow
            << " s, ratio " << bestWindow / bestBatch << "; median ratio of the rounds "
            << ratios[ratios.size() / 2] << "; best window listing " << bestScan << " s; "
            << dialogs.errors << " error boxes\n";
  fs::remove_all(work);
  return 0;
}
