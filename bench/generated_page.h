// The page-like Windows-1252 text the benchmarks work on: generated documents with the usual
// markup (CR LF, tabs, tables, inline tags, entities, umlauts, pre and script blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {
namespace generated_page_detail {

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

inline const char* const kPlainWords[] = {
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
inline const char* const kUmlautWords[] = {
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
inline const char* Pick(Rng& rng, const char* const (&words)[N]) {
  return words[rng.Below(N)];
}

inline void AppendWord(Rng& rng, std::string& out) {
  out += rng.OneIn(4) ? Pick(rng, kUmlautWords) : Pick(rng, kPlainWords);
}

inline void AppendWords(Rng& rng, std::string& out, std::size_t count,
                        const char* separator = " ") {
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += separator;
    AppendWord(rng, out);
  }
}

// One paragraph of running text with the usual inline markup.
inline void AppendParagraph(Rng& rng, std::string& out) {
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

inline void AppendTable(Rng& rng, std::string& out) {
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

inline void AppendPre(Rng& rng, std::string& out) {
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

inline void AppendScript(std::string& out) {
  out +=
      "\t<script type=\"text/javascript\">\r\n\t<!--\r\n\tfunction zeige(id) {\r\n"
      "\t\tvar e = document.getElementById(id);\r\n"
      "\t\tif (e) { e.style.display = \"block\"; }\r\n\t}\r\n\t//-->\r\n\t</script>\r\n";
}

// One HTML document of a few kilobytes.
inline void AppendPage(Rng& rng, std::string& out, bool protectedBlocks) {
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
  if (protectedBlocks && rng.OneIn(2)) AppendScript(out);
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
        if (protectedBlocks && rng.OneIn(2)) {
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

}  // namespace generated_page_detail

// Whole generated documents up to `bytes`, cut at a document boundary. The same bytes on
// every run. Without `protectedBlocks` the documents have no script and no pre blocks, so
// compression leaves no line break in them.
inline std::string MakeGeneratedPage(std::size_t bytes, bool protectedBlocks = true) {
  using namespace generated_page_detail;
  Rng rng;
  std::string out;
  out.reserve(bytes + 65536);
  std::size_t lastWhole = 0;
  while (out.size() < bytes) {
    lastWhole = out.size();
    AppendPage(rng, out, protectedBlocks);
  }
  out.resize(out.size() > bytes ? lastWhole : out.size());
  return out;
}

}  // namespace bench
