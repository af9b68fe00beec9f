// Throughput of the three transformations on a generated 64 MB page-like Windows-1252 text,
// in MB/s of input. `engine_bench --peak_memory` instead runs each transformation once in a
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

#include "engine/compress.h"
#include "engine/feedback.h"
#include "engine/file_io.h"
#include "engine/replace.h"
#include "engine/special_chars.h"

namespace {

constexpr std::size_t kInputBytes = std::size_t{64} << 20;

// A small fixed-seed generator, so every run measures the same bytes.
class Rng {
 public:
  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  bool OneIn(std::size_t n) { return Below(n) == 0; }

 private:
  std::uint64_t state_ = 20240611;
};

const char* const kPlainWords[] = {
    "und",        "der",
    "die",        "das",
    "Seite",      "Verein",
    "Mitglieder", "Termine",
    "Kontakt",    "Informationen",
    "unser",      "mit",
    "eine",       "wird",
    "Jahr",       "Stadt",
    "Programm",   "Angebot",
    "Kinder",     "Abend",
    "Sommer",     "im",
    "von",        "zu",
    "den",        "auf",
    "nicht",      "sich",
    "Anmeldung",  "bitte",
    "Telefon",    "Veranstaltung",
    "Gemeinde",   "Bericht",
    "neue",       "wir",
    "Sie",        "auch",
    "noch",       "nach",
    "bei",        "Training",
};
const char* const kUmlautWords[] = {
    "Gr\xF6\xDF"
    "e",
    "\xDC"
    "bersicht",
    "f\xFC"
    "r",
    "\xFC"
    "ber",
    "Stra\xDF"
    "e",
    "sch\xF6n",
    "M\xE4"
    "dchen",
    "Gr\xFC\xDF"
    "e",
    "\xC4"
    "pfel",
    "\xD6"
    "ffnungszeiten",
    "hei\xDF"
    "t",
    "B\xFC"
    "rger",
    "Geb\xE4"
    "ude",
    "w\xE4hlen",
    "K\xE4se",
    "M\xFCnchen",
    "N\xE4he",
    "Qualit\xE4t",
    "Gel\xE4nde",
    "Fu\xDF"
    "ball",
};

template <std::size_t N>
const char* Pick(Rng& rng, const char* const (&words)[N]) {
  return words[rng.Below(N)];
}

void AppendWord(Rng& rng, std::string& out) {
  out += rng.OneIn(4) ? Pick(rng, kUmlautWords) : Pick(rng, kPlainWords);
}

void AppendWords(Rng& rng, std::string& out, std::size_t count, const char* separator = " ") {
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += separator;
    AppendWord(rng, out);
  }
}

// One paragraph of running text with the usual inline markup.
void AppendParagraph(Rng& rng, std::string& out) {
  out += "\t<p><font face=\"Arial\">";
  const std::size_t sentences = 2 + rng.Below(4);
  for (std::size_t s = 0; s < sentences; ++s) {
    const std::size_t words = 5 + rng.Below(10);
    for (std::size_t w = 0; w < words; ++w) {
      if (w > 0) out += rng.OneIn(40) ? "&nbsp;&nbsp;" : " ";
      switch (rng.Below(30)) {
        case 0:
          out += "<b>";
          AppendWord(rng, out);
          out += "</b>";
          break;
        case 1:
          out += "<i>";
          AppendWord(rng, out);
          out += "</i>";
          break;
        case 2:
          out += "<a href=\"http://www.alte-domain.de/seite";
          out += std::to_string(rng.Below(500));
          out += ".htm\">";
          AppendWord(rng, out);
          out += "</a>";
          break;
        default:
          AppendWord(rng, out);
      }
    }
    out += rng.OneIn(3) ? ".<br>\r\n\t" : ". ";
  }
  out += "</font></p>\r\n";
}

void AppendTable(Rng& rng, std::string& out) {
  out += "\t<table border=\"0\" cellpadding=\"2\" width=\"100%\">\r\n";
  const std::size_t rows = 2 + rng.Below(6);
  for (std::size_t r = 0; r < rows; ++r) {
    out += "\t\t<tr>\r\n\t\t\t<td>";
    AppendWords(rng, out, 1 + rng.Below(3));
    out += "</td>\r\n\t\t\t<td align=\"right\">";
    out += std::to_string(rng.Below(10000));
    out += ",";
    out += std::to_string(10 + rng.Below(90));
    out += " &euro;</td>\r\n\t\t</tr>\r\n";
  }
  out += "\t</table>\r\n";
}

void AppendPre(Rng& rng, std::string& out) {
  out += "\t<pre>\r\n";
  for (std::size_t i = 0, n = 2 + rng.Below(4); i < n; ++i) {
    out += "  Zeile ";
    out += std::to_string(i);
    out += ":    ";
    AppendWords(rng, out, 3, "   ");
    out += "\r\n";
  }
  out += "</pre>\r\n";
}

void AppendScript(std::string& out) {
  out +=
      "\t<script type=\"text/javascript\">\r\n\t<!--\r\n\tfunction zeige(id) {\r\n"
      "\t\tvar e = document.getElementById(id);\r\n"
      "\t\tif (e) { e.style.display = \"block\"; }\r\n\t}\r\n\t//-->\r\n\t</script>\r\n";
}

// One HTML document of a few kilobytes.
void AppendPage(Rng& rng, std::string& out) {
  out +=
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n"
      "<head>\r\n\t<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=windows-1252\">\r\n\t<meta name=\"description\" content=\"";
  AppendWords(rng, out, 8);
  out += "\">\r\n\t<META NAME=\"keywords\" CONTENT=\"";
  AppendWords(rng, out, 6, ", ");
  out += "\">\r\n\t<title>";
  AppendWords(rng, out, 4);
  out += "</title>\r\n";
  if (rng.OneIn(2)) AppendScript(out);
  out += "</head>\r\n<body bgcolor=\"#FFFFFF\">\r\n\t<center><h1>";
  AppendWords(rng, out, 3);
  out += "</h1></center>\r\n";
  for (std::size_t i = 0, n = 4 + rng.Below(8); i < n; ++i) {
    switch (rng.Below(8)) {
      case 0:
      case 1:
        AppendTable(rng, out);
        break;
      case 2:
        if (rng.OneIn(2)) {
          AppendPre(rng, out);
          break;
        }
        [[fallthrough]];
      default:
        AppendParagraph(rng, out);
    }
  }
  out += "</body>\r\n</html>\r\n";
}

// Whole documents up to 64 MB, cut at a document boundary.
std::string MakeInput() {
  Rng rng;
  std::string out;
  out.reserve(kInputBytes + 65536);
  std::size_t lastWhole = 0;
  while (out.size() < kInputBytes) {
    lastWhole = out.size();
    AppendPage(rng, out);
  }
  out.resize(out.size() > kInputBytes ? lastWhole : out.size());
  return out;
}

const std::string& Input() {
  static const std::string input = MakeInput();
  return input;
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

void SetInputCounters(benchmark::State& state) {
  const std::string& input = Input();
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
    vk::ConvertResult result = vk::ConvertSpecialCharsText(input, ignoreMetaTags);
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
    count = vk::ReplaceHtmlCodeText(text, list, feedback);
    benchmark::DoNotOptimize(text.data());
  }
  SetInputCounters(state);
  state.counters["replaced"] = static_cast<double>(count);
}
BENCHMARK(BM_ReplaceHtmlCode10Pairs)->Unit(benchmark::kMillisecond);

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
    vk::ConvertResult r = vk::ConvertSpecialCharsText(input, false);
    benchmark::DoNotOptimize(r.text.data());
  });
  MeasureInChild("ConvertSpecialCharsText on", [&](std::string& input) {
    vk::ConvertResult r = vk::ConvertSpecialCharsText(input, true);
    benchmark::DoNotOptimize(r.text.data());
  });
  MeasureInChild("CompressHtmlText", [&](std::string& input) {
    std::string output;
    vk::CompressHtmlText(input, output, "bench.htm", feedback);
    benchmark::DoNotOptimize(output.data());
  });
  MeasureInChild("ReplaceHtmlCodeText 10 pairs", [&](std::string& input) {
    vk::ReplaceHtmlCodeText(input, TenPairs(), feedback);
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
    if (!vk::ReplaceFileContent(file, input).ok()) std::fprintf(stderr, "cannot write %s\n", path);
    std::string().swap(input);
    transform();
  };
  MeasureInChild("ConvertSpecialCharsInFile on", [&](std::string& input) {
    onFile(input, [&] { vk::ConvertSpecialCharsInFile(file, true, feedback); });
  });
  MeasureInChild("CompressHtmlFile", [&](std::string& input) {
    onFile(input, [&] { vk::CompressHtmlFile(file, feedback); });
  });
  MeasureInChild("ReplaceHtmlCode 10 pairs (file)", [&](std::string& input) {
    onFile(input, [&] {
      vk::ReplaceHtmlCode(
          file, [] { return TenPairs(); }, feedback);
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
