// Throughput of the three transformations on a generated 64 MB page-like Windows-1252 text,
// and of conversion, replacement and the encoding decision on the same text in UTF-8, in MB/s
// of input. `engine_bench --peak_memory` instead runs each transformation once in a
// child process and prints its peak resident memory next to the input size;
// `engine_bench --cold_memory` measures with fresh pages for every buffer.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "engine/case_fold.h"
#include "engine/compress.h"
#include "engine/cp1252.h"
#include "engine/encoding.h"
#include "engine/feedback.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "fs/disk_file_access.h"
#include "fs/replace_file.h"
#include "generated_page.h"

namespace {

constexpr std::size_t kInputBytes = std::size_t{64} << 20;

// Whole documents up to 64 MB, cut at a document boundary.
std::string MakeInput() { return bench::MakeGeneratedPage(kInputBytes); }

const std::string& Input() {
  static const std::string input = MakeInput();
  return input;
}

// The same pages written in UTF-8, as nearly every page since 2010 is.
const std::string& Utf8Input() {
  static const std::string input = [] {
    std::string utf8 = vk::Cp1252ToUtf8(Input());
    const std::string_view declared = "charset=windows-1252";
    for (std::size_t at = utf8.find(declared); at != std::string::npos;
         at = utf8.find(declared, at)) {
      utf8.replace(at, declared.size(), "charset=utf-8");
    }
    return utf8;
  }();
  return input;
}

const std::string& InputIn(vk::PageEncoding encoding) {
  return encoding == vk::PageEncoding::kUtf8 ? Utf8Input() : Input();
}

vk::HtmlCodeList TenPairs() {
  vk::HtmlCodeList list;
  const std::pair<const char*, const char*> pairs[] = {
      {"<br>", "<br />"},      {"<b>", "<strong>"},
      {"</b>", "</strong>"},   {"<i>", "<em>"},
      {"</i>", "</em>"},       {"<center>", "<div class=\"mitte\">"},
      {"</center>", "</div>"}, {"<font face=\"Arial\">", ""},
      {"</font>", ""},         {"http://www.alte-domain.de/", "https://www.neue-domain.de/"},
  };
  for (const auto& [find, replace] : pairs) {
    list.find.emplace_back(find);
    list.replace.emplace_back(replace);
  }
  return list;
}

// Pairs a user keeps to write umlauts as entities, which on a UTF-8 page are matched on
// characters.
vk::HtmlCodeList UmlautPairs() {
  vk::HtmlCodeList list;
  const std::pair<const char*, const char*> pairs[] = {
      {"\xE4", "&auml;"},  {"\xF6", "&ouml;"}, {"\xFC", "&uuml;"},
      {"\xDF", "&szlig;"}, {"<br>", "<br />"},
  };
  for (const auto& [find, replace] : pairs) {
    list.find.emplace_back(find);
    list.replace.emplace_back(replace);
  }
  return list;
}

void SetInputCounters(benchmark::State& state,
                      vk::PageEncoding encoding = vk::PageEncoding::kWindows1252) {
  const std::string& input = InputIn(encoding);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
  std::size_t high = 0;
  for (unsigned char c : input) high += c >= 0xA0;
  state.counters["high_bytes_%"] = 100.0 * static_cast<double>(high) / input.size();
}

void BM_ConvertSpecialChars(benchmark::State& state) {
  const std::string& input = Input();
  const bool ignoreMetaTags = state.range(0) != 0;
  std::int64_t count = 0;
  for (auto _ : state) {
    vk::ConvertResult result =
        vk::ConvertSpecialCharsText(input, ignoreMetaTags, vk::PageEncoding::kWindows1252);
    count = result.count;
    benchmark::DoNotOptimize(result.text.data());
  }
  SetInputCounters(state);
  state.counters["converted"] = static_cast<double>(count);
}
BENCHMARK(BM_ConvertSpecialChars)
    ->ArgName("ignoreMeta")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void BM_CompressHtml(benchmark::State& state) {
  const std::string& input = Input();
  vk::SilentFeedback feedback;
  std::string output;
  for (auto _ : state) {
    output.clear();
    const vk::CompressOutcome outcome = vk::CompressHtmlText(input, output, "bench.htm", feedback);
    if (outcome != vk::CompressOutcome::kChanged) state.SkipWithError("nothing compressed");
    benchmark::DoNotOptimize(output.data());
  }
  SetInputCounters(state);
  state.counters["output_MB"] = static_cast<double>(output.size()) / (1 << 20);
}
BENCHMARK(BM_CompressHtml)->Unit(benchmark::kMillisecond);

void BM_ReplaceHtmlCode10Pairs(benchmark::State& state) {
  const std::string& input = Input();
  const vk::HtmlCodeList list = TenPairs();
  vk::SilentFeedback feedback;
  std::string text;
  std::int64_t count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    text = input;  // the replacement works in place
    state.ResumeTiming();
    count = vk::ReplaceHtmlCodeText(text, list, vk::PageEncoding::kWindows1252, feedback);
    benchmark::DoNotOptimize(text.data());
  }
  SetInputCounters(state);
  state.counters["replaced"] = static_cast<double>(count);
}
BENCHMARK(BM_ReplaceHtmlCode10Pairs)->Unit(benchmark::kMillisecond);

void BM_ConvertSpecialCharsUtf8(benchmark::State& state) {
  const std::string& input = Utf8Input();
  const bool ignoreMetaTags = state.range(0) != 0;
  std::int64_t count = 0;
  for (auto _ : state) {
    vk::ConvertResult result =
        vk::ConvertSpecialCharsText(input, ignoreMetaTags, vk::PageEncoding::kUtf8);
    count = result.count;
    benchmark::DoNotOptimize(result.text.data());
  }
  SetInputCounters(state, vk::PageEncoding::kUtf8);
  state.counters["converted"] = static_cast<double>(count);
}
BENCHMARK(BM_ConvertSpecialCharsUtf8)
    ->ArgName("ignoreMeta")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// Replacement with a list on the page in `encoding` (0: Windows-1252, 1: UTF-8).
void ReplaceBenchmark(benchmark::State& state, const vk::HtmlCodeList& list) {
  const auto encoding =
      state.range(0) != 0 ? vk::PageEncoding::kUtf8 : vk::PageEncoding::kWindows1252;
  const std::string& input = InputIn(encoding);
  vk::SilentFeedback feedback;
  std::string text;
  std::int64_t count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    text = input;
    state.ResumeTiming();
    count = vk::ReplaceHtmlCodeText(text, list, encoding, feedback);
    benchmark::DoNotOptimize(text.data());
  }
  SetInputCounters(state, encoding);
  state.counters["replaced"] = static_cast<double>(count);
}

void BM_ReplaceHtmlCode10PairsUtf8(benchmark::State& state) { ReplaceBenchmark(state, TenPairs()); }
BENCHMARK(BM_ReplaceHtmlCode10PairsUtf8)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReplaceUmlautPairs(benchmark::State& state) { ReplaceBenchmark(state, UmlautPairs()); }
BENCHMARK(BM_ReplaceUmlautPairs)->ArgName("utf8")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DecidePageEncoding(benchmark::State& state) {
  const auto encoding =
      state.range(0) != 0 ? vk::PageEncoding::kUtf8 : vk::PageEncoding::kWindows1252;
  const std::string& input = InputIn(encoding);
  for (auto _ : state) {
    if (vk::DecidePageEncoding(input) != encoding) state.SkipWithError("decided wrong");
  }
  SetInputCounters(state, encoding);
}
BENCHMARK(BM_DecidePageEncoding)->ArgName("utf8")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The searcher alone: every occurrence of each of the ten find texts, piece by piece of 64 KB
// (one pattern after the other over each piece), as the replacement's stages search.
void BM_FindTenPatterns(benchmark::State& state) {
  const std::string& input = Input();
  const vk::HtmlCodeList list = TenPairs();
  std::vector<vk::FoldedFinder> finders;
  for (const std::string& find : list.find) finders.emplace_back(find);
  constexpr std::size_t kPiece = 64 * 1024;
  for (auto _ : state) {
    std::size_t found = 0;
    for (std::size_t from = 0; from < input.size(); from += kPiece) {
      const std::string_view piece = std::string_view(input).substr(from, kPiece);
      for (const vk::FoldedFinder& finder : finders) {
        for (std::size_t at = finder.Find(piece); at != vk::FoldedFinder::npos;
             at = finder.Find(piece, at + 1)) {
          ++found;
        }
      }
    }
    benchmark::DoNotOptimize(found);
    state.counters["found"] = static_cast<double>(found);
  }
  SetInputCounters(state);
}
BENCHMARK(BM_FindTenPatterns)->Unit(benchmark::kMillisecond);

// ---- peak memory ----

double PeakMegabytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports KiB
}

// Runs `work` in a fresh child process, so each measurement has its own high-water mark.
// The child builds the input itself and reports the peak before and after the work.
void MeasureInChild(const char* name, const std::function<void(std::string&)>& work) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    return;
  }
  if (pid == 0) {
    const double atStart = PeakMegabytes();
    std::string input = MakeInput();
    const double withInput = PeakMegabytes();
    const double inputMegabytes = static_cast<double>(input.size()) / 1048576.0;
    work(input);
    const double peak = PeakMegabytes();
    std::printf("%-34s input %6.1f MB  peak RSS %6.1f MB  (input alone %6.1f MB, start %5.1f MB)\n",
                name, inputMegabytes, peak - atStart, withInput - atStart, atStart);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

int MeasurePeakMemory() {
  vk::SilentFeedback feedback;
  std::printf("Peak resident memory of one transformation above the process's start:\n");
  MeasureInChild("ConvertSpecialCharsText off", [&](std::string& input) {
    vk::ConvertResult r = vk::ConvertSpecialCharsText(input, false, vk::PageEncoding::kWindows1252);
    benchmark::DoNotOptimize(r.text.data());
  });
  MeasureInChild("ConvertSpecialCharsText on", [&](std::string& input) {
    vk::ConvertResult r = vk::ConvertSpecialCharsText(input, true, vk::PageEncoding::kWindows1252);
    benchmark::DoNotOptimize(r.text.data());
  });
  MeasureInChild("CompressHtmlText", [&](std::string& input) {
    std::string output;
    vk::CompressHtmlText(input, output, "bench.htm", feedback);
    benchmark::DoNotOptimize(output.data());
  });
  MeasureInChild("ReplaceHtmlCodeText 10 pairs", [&](std::string& input) {
    vk::ReplaceHtmlCodeText(input, TenPairs(), vk::PageEncoding::kWindows1252, feedback);
    benchmark::DoNotOptimize(input.data());
  });

  // The file functions, reading and writing a real file: the input in memory is dropped first,
  // so the peak is what the function itself holds.
  char path[] = "/tmp/velkaro-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    std::perror("mkstemp");
    return 1;
  }
  close(fd);
  const std::string file = path;
  auto onFile = [&](std::string& input, const std::function<void()>& transform) {
    if (!vk::ReplaceFile(file, input, vk::PageRules()).ok())
      std::fprintf(stderr, "cannot write %s\n", path);
    std::string().swap(input);
    transform();
  };
  MeasureInChild("ConvertSpecialCharsInFile on", [&](std::string& input) {
    onFile(input,
           [&] { vk::ConvertSpecialCharsInFile(file, true, feedback, vk::DiskFileAccess()); });
  });
  MeasureInChild("CompressHtmlFile", [&](std::string& input) {
    onFile(input, [&] { vk::CompressHtmlFile(file, feedback, vk::DiskFileAccess()); });
  });
  MeasureInChild("ReplaceHtmlCode 10 pairs (file)", [&](std::string& input) {
    onFile(input, [&] {
      vk::ReplaceHtmlCode(
          file, [] { return std::make_shared<const vk::HtmlCodeList>(TenPairs()); }, feedback,
          vk::DiskFileAccess());
    });
  });
  unlink(path);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool coldMemory = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--peak_memory") == 0) return MeasurePeakMemory();
    if (std::strcmp(argv[i], "--cold_memory") == 0) {
      coldMemory = true;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      --i;
    }
  }
  if (!coldMemory) {
    // Buffers of 64 MB are above glibc's mmap threshold, so every call would get fresh pages
    // from the kernel and the page faults (very slow on some virtual machines) would swamp
    // the transformation itself. Keep freed memory in the process instead, as a long batch
    // run does in its steady state. --cold_memory measures with fresh pages.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
