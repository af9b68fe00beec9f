// Time of the page diff on a generated 5 MB page against what each transformation makes of
// it: compression (with pre and script blocks, and without, which joins the whole page into
// one line), special-character conversion and code replacement. The full diff (lines, then
// characters within changed blocks) is what the side-by-side view needs; the line diff with
// the unified diff printed is what `velkaro-batch --diff` needs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <string>

#include "diff/page_diff.h"
#include "diff/unified_diff.h"
#include "engine/compress.h"
#include "engine/feedback.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "generated_page.h"

namespace {

constexpr std::size_t kPageBytes = std::size_t{5} << 20;

enum Change { kCompressed, kCompressedOneLine, kConverted, kReplaced };

struct Pair {
  std::string oldText, newText;
};

Pair MakePair(Change change) {
  Pair pair;
  pair.oldText = bench::MakeGeneratedPage(kPageBytes, change != kCompressedOneLine);
  vk::SilentFeedback feedback;
  switch (change) {
    case kCompressed:
    case kCompressedOneLine:
      vk::CompressHtmlText(pair.oldText, pair.newText, "bench.htm", feedback);
      break;
    case kConverted:
      pair.newText =
          vk::ConvertSpecialCharsText(pair.oldText, true, vk::PageEncoding::kWindows1252).text;
      break;
    case kReplaced: {
      vk::HtmlCodeList list;
      list.find = {"<b>", "</b>", "<font face=\"Arial\">", "</font>", "http://www.alte-domain.de/"};
      list.replace = {"<strong>", "</strong>", "", "", "https://www.neue-domain.de/"};
      pair.newText = pair.oldText;
      vk::ReplaceHtmlCodeText(pair.newText, list, vk::PageEncoding::kWindows1252, feedback);
      break;
    }
  }
  return pair;
}

const Pair& PairFor(Change change) {
  static const Pair pairs[] = {MakePair(kCompressed), MakePair(kCompressedOneLine),
                               MakePair(kConverted), MakePair(kReplaced)};
  return pairs[change];
}

double PeakMegabytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_PageDiff(benchmark::State& state) {
  const Pair& pair = PairFor(static_cast<Change>(state.range(0)));
  vk::PageDiff diff;
  for (auto _ : state) {
    diff = vk::DiffPages(pair.oldText, pair.newText);
    benchmark::DoNotOptimize(diff.rows.data());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * (pair.oldText.size() + pair.newText.size())));
  state.counters["old_MB"] = static_cast<double>(pair.oldText.size()) / (1 << 20);
  state.counters["old_lines"] = static_cast<double>(diff.oldLines.Count());
  state.counters["new_lines"] = static_cast<double>(diff.newLines.Count());
  state.counters["blocks"] = static_cast<double>(diff.blocks.size());
  std::size_t removed = 0, added = 0;
  for (const vk::ByteRange& r : diff.removed) removed += r.end - r.begin;
  for (const vk::ByteRange& r : diff.added) added += r.end - r.begin;
  state.counters["removed_bytes"] = static_cast<double>(removed);
  state.counters["added_bytes"] = static_cast<double>(added);
  state.counters["exact"] = diff.exact ? 1 : 0;
  state.counters["peak_RSS_MB"] = PeakMegabytes();
}
BENCHMARK(BM_PageDiff)
    ->ArgName("change")  // 0 compressed, 1 compressed into one line, 2 converted, 3 replaced
    ->DenseRange(kCompressed, kReplaced)
    ->Unit(benchmark::kMillisecond);

void BM_UnifiedDiff(benchmark::State& state) {
  const Pair& pair = PairFor(static_cast<Change>(state.range(0)));
  std::string out;
  for (auto _ : state) {
    out.clear();
    const vk::PageDiff diff = vk::DiffPages(pair.oldText, pair.newText, {.characters = false});
    vk::AppendUnifiedDiff(diff, pair.oldText, pair.newText, "ordner/seite.htm", out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * (pair.oldText.size() + pair.newText.size())));
  state.counters["diff_MB"] = static_cast<double>(out.size()) / (1 << 20);
}
BENCHMARK(BM_UnifiedDiff)->DenseRange(kCompressed, kReplaced)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
