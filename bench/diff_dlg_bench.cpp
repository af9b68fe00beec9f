// Time to open the diff dialog on a generated 5 MB page against its compressed form (with pre
// and script blocks, and joined into one line): building the dialog, comparing the texts,
// laying out the rows and painting the first screen. And the time to paint one screen deep
// inside the joined line, as scrolling does. Runs without a screen (offscreen platform).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <cstdlib>
#include <string>

#include "engine/compress.h"
#include "engine/feedback.h"
#include "generated_page.h"
#include "ui/diff_dlg.h"
#include "ui/diff_view.h"

namespace {

constexpr std::size_t kPageBytes = std::size_t{5} << 20;

struct Pair {
  std::string oldText, newText;
};

Pair MakePair(bool oneLine) {
  Pair pair;
  pair.oldText = bench::MakeGeneratedPage(kPageBytes, !oneLine);
  vk::SilentFeedback feedback;
  vk::CompressHtmlText(pair.oldText, pair.newText, "bench.htm", feedback);
  return pair;
}

const Pair& PairFor(bool oneLine) {
  static const Pair pairs[2] = {MakePair(false), MakePair(true)};
  return pairs[oneLine ? 1 : 0];
}

void BM_OpenDiffDialog(benchmark::State& state) {
  const Pair& pair = PairFor(state.range(0) != 0);
  for (auto _ : state) {
    vk::TDiffDlg dlg(QStringLiteral("seite.htm"), pair.oldText, pair.newText,
                     vk::PageEncoding::kWindows1252);
    dlg.resize(1100, 720);
    dlg.show();
    QApplication::processEvents();
    const QPixmap screen = dlg.View()->viewport()->grab();  // paints the first screen
    benchmark::DoNotOptimize(screen.cacheKey());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pair.oldText.size()));
}
BENCHMARK(BM_OpenDiffDialog)->ArgName("oneLine")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PaintInsideTheJoinedLine(benchmark::State& state) {
  const Pair& pair = PairFor(true);
  vk::TDiffDlg dlg(QStringLiteral("seite.htm"), pair.oldText, pair.newText,
                   vk::PageEncoding::kWindows1252);
  dlg.resize(1100, 720);
  dlg.show();
  QApplication::processEvents();
  QScrollBar* bar = dlg.View()->verticalScrollBar();
  int step = 0;
  for (auto _ : state) {
    // Somewhere in the middle of the one line of 4 MB, a different place each time.
    bar->setValue(bar->maximum() / 2 + (step++ % 50) * 97);
    const QPixmap screen = dlg.View()->viewport()->grab();
    benchmark::DoNotOptimize(screen.cacheKey());
  }
}
BENCHMARK(BM_PaintInsideTheJoinedLine)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
