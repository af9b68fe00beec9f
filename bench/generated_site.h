// The benchmark site: a tree of pages (5-40 KB each, Windows-1252 text with umlauts, CR LF
// line ends, tab indents, META tags, tables, pre and script blocks) in nested folders, made
// from a fixed seed, and a settings file with ten find/replace pairs for operation 6.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace bench {

namespace fs = std::filesystem;

inline const char* const kWords[] = {
    "Gr\xFC\xDF"
    "e",
    "Stra\xDF"
    "e",
    "M\xFCnchen",
    "K\xF6ln",
    "B\xE4ume",
    "\xDC"
    "bersicht",
    "Preis",
    "Angebot",
    "Seite",
    "Kontakt",
    "Impressum",
    "und",
    "der",
    "die",
    "das",
    "mit",
    "f\xFCr",
    "\xFC"
    "ber",
    "Gesch\xE4"
    "ft",
    "Qualit\xE4t",
    "sch\xF6n",
    "Fr\xFChling",
    "Caf\xE9",
    "Men\xFC",
    "Gr\xF6\xDF"
    "e",
    "wei\xDF",
    "Ma\xDF",
    "Stunde",
    "Tag",
    "heute"};

inline std::string Sentence(std::mt19937& random) {
  std::uniform_int_distribution<int> count(4, 14);
  std::uniform_int_distribution<std::size_t> word(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> markup(0, 9);
  std::string text;
  const int n = count(random);
  for (int i = 0; i < n; ++i) {
    if (i > 0) text += markup(random) == 0 ? "  " : " ";
    const int m = markup(random);
    if (m == 1) {
      text += std::string("<b>") + kWords[word(random)] + "</b>";
    } else if (m == 2) {
      text += std::string("<i>") + kWords[word(random)] + "</i>";
    } else if (m == 3) {
      text += std::string("<font face=Arial>") + kWords[word(random)] + "</font>";
    } else {
      text += kWords[word(random)];
    }
  }
  return text + ".";
}

inline std::string Page(std::mt19937& random, std::size_t targetSize, int number) {
  std::string page =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
      "\t<title>Seite " +
      std::to_string(number) +
      " \xFC"
      "ber Gr\xF6\xDF"
      "en</title>\r\n"
      "\t<meta name=\"description\" content=\"Sch\xF6ne Seiten f\xFCr M\xFCnchen\">\r\n"
      "\t<meta http-equiv=\"content-type\" content=\"text/html; charset=iso-8859-1\">\r\n"
      "<SCRIPT LANGUAGE=JavaScript>\r\n  function zeige(x) {\r\n    return x  + 1;\r\n  }\r\n"
      "</SCRIPT>\r\n</head>\r\n<body bgcolor=#ffffff>\r\n<center>\r\n";
  std::uniform_int_distribution<int> kind(0, 11);
  while (page.size() < targetSize) {
    switch (kind(random)) {
      case 0:
        page += "<table border=0>\r\n";
        for (int row = 0; row < 4; ++row) {
          page += "\t<tr>\r\n\t\t<td>" + Sentence(random) + "</td>\r\n\t\t<td align=right>" +
                  std::to_string(row * 17) + ",95 \x80</td>\r\n\t</tr>\r\n";
        }
        page += "</table>\r\n";
        break;
      case 1:
        page += "<pre>\r\n  Zeile   eins\r\n\tZeile " + std::to_string(number) +
                "  \xE4\xF6\xFC\r\n</pre>\r\n";
        break;
      case 2:
        page += "<p><a href=\"seite" + std::to_string(number + 1) +
                ".htm\">Weiter</a> <a "
                "href=\"index.html\">\xDC"
                "bersicht</a></p>\r\n";
        break;
      case 3:
        page += "<br>\r\n";
        break;
      default:
        page += "<p>\r\n\t" + Sentence(random) + "\r\n\t" + Sentence(random) + "<br>\r\n\t" +
                Sentence(random) + "\r\n</p>\r\n";
    }
  }
  page += "</center>\r\n</body>\r\n</html>\r\n";
  return page;
}

inline const char* const kSiteSettings =
    "[Options]\r\nCreateBak=0\r\nIgnoreMetaTags=1\r\nOptCB.ItemIndex=6\r\n"
    "[Find HTML Code]\r\n0=<b>\r\n1=</b>\r\n2=<i>\r\n3=</i>\r\n4=<font face=Arial>\r\n"
    "5=</font>\r\n6=<br>\r\n7=<center>\r\n8=</center>\r\n9= bgcolor=#ffffff\r\n"
    "[Replace HTML Code]\r\n0=<strong>\r\n1=</strong>\r\n2=<em>\r\n3=</em>\r\n4=(leer)\r\n"
    "5=(leer)\r\n6=<br />\r\n7=<div class=\"mitte\">\r\n8=</div>\r\n9=(leer)\r\n";

// With `pageBytes`, every page has about that size instead.
inline void GenerateSite(const fs::path& root, int pages, int folders, std::size_t pageBytes = 0) {
  std::mt19937 random(4711);
  std::vector<fs::path> paths = {root};
  fs::create_directories(root);
  // Each folder hangs below an earlier one: a few levels deep, a few wide.
  for (int i = 1; i < folders; ++i) {
    const fs::path parent = paths[static_cast<std::size_t>((i - 1) / 3)];
    paths.push_back(parent / ("ordner" + std::to_string(i)));
    fs::create_directories(paths.back());
  }
  std::uniform_int_distribution<std::size_t> size(5 * 1024, 40 * 1024);
  for (int i = 0; i < pages; ++i) {
    const fs::path file = paths[static_cast<std::size_t>(i % folders)] /
                          ("seite" + std::to_string(i) + (i % 5 == 0 ? ".html" : ".htm"));
    std::ofstream out(file, std::ios::binary);
    out << Page(random, pageBytes > 0 ? pageBytes : size(random), i);
  }
}

}  // namespace bench
