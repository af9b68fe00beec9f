#include "support/visible_text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "engine/cp1252.h"

namespace vk::test {
namespace {

// U+00A0 to U+00FF in order.
constexpr std::string_view kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedChar {
  std::string_view name;
  char32_t code;
};

// The other named references of HTML 4.01 (symbols, Greek letters, markup-significant and
// internationalisation characters), and &apos;.
constexpr NamedChar kOtherNames[] = {
    {"quot", 34},     {"amp", 38},       {"apos", 39},      {"lt", 60},       {"gt", 62},
    {"OElig", 338},   {"oelig", 339},    {"Scaron", 352},   {"scaron", 353},  {"Yuml", 376},
    {"fnof", 402},    {"circ", 710},     {"tilde", 732},    {"Alpha", 913},   {"Beta", 914},
    {"Gamma", 915},   {"Delta", 916},    {"Epsilon", 917},  {"Zeta", 918},    {"Eta", 919},
    {"Theta", 920},   {"Iota", 921},     {"Kappa", 922},    {"Lambda", 923},  {"Mu", 924},
    {"Nu", 925},      {"Xi", 926},       {"Omicron", 927},  {"Pi", 928},      {"Rho", 929},
    {"Sigma", 931},   {"Tau", 932},      {"Upsilon", 933},  {"Phi", 934},     {"Chi", 935},
    {"Psi", 936},     {"Omega", 937},    {"alpha", 945},    {"beta", 946},    {"gamma", 947},
    {"delta", 948},   {"epsilon", 949},  {"zeta", 950},     {"eta", 951},     {"theta", 952},
    {"iota", 953},    {"kappa", 954},    {"lambda", 955},   {"mu", 956},      {"nu", 957},
    {"xi", 958},      {"omicron", 959},  {"pi", 960},       {"rho", 961},     {"sigmaf", 962},
    {"sigma", 963},   {"tau", 964},      {"upsilon", 965},  {"phi", 966},     {"chi", 967},
    {"psi", 968},     {"omega", 969},    {"thetasym", 977}, {"upsih", 978},   {"piv", 982},
    {"ensp", 8194},   {"emsp", 8195},    {"thinsp", 8201},  {"zwnj", 8204},   {"zwj", 8205},
    {"lrm", 8206},    {"rlm", 8207},     {"ndash", 8211},   {"mdash", 8212},  {"lsquo", 8216},
    {"rsquo", 8217},  {"sbquo", 8218},   {"ldquo", 8220},   {"rdquo", 8221},  {"bdquo", 8222},
    {"dagger", 8224}, {"Dagger", 8225},  {"bull", 8226},    {"hellip", 8230}, {"permil", 8240},
    {"prime", 8242},  {"Prime", 8243},   {"lsaquo", 8249},  {"rsaquo", 8250}, {"oline", 8254},
    {"frasl", 8260},  {"euro", 8364},    {"image", 8465},   {"weierp", 8472}, {"real", 8476},
    {"trade", 8482},  {"alefsym", 8501}, {"larr", 8592},    {"uarr", 8593},   {"rarr", 8594},
    {"darr", 8595},   {"harr", 8596},    {"crarr", 8629},   {"lArr", 8656},   {"uArr", 8657},
    {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},    {"forall", 8704}, {"part", 8706},
    {"exist", 8707},  {"empty", 8709},   {"nabla", 8711},   {"isin", 8712},   {"notin", 8713},
    {"ni", 8715},     {"prod", 8719},    {"sum", 8721},     {"minus", 8722},  {"lowast", 8727},
    {"radic", 8730},  {"prop", 8733},    {"infin", 8734},   {"ang", 8736},    {"and", 8743},
    {"or", 8744},     {"cap", 8745},     {"cup", 8746},     {"int", 8747},    {"there4", 8756},
    {"sim", 8764},    {"cong", 8773},    {"asymp", 8776},   {"ne", 8800},     {"equiv", 8801},
    {"le", 8804},     {"ge", 8805},      {"sub", 8834},     {"sup", 8835},    {"nsub", 8836},
    {"sube", 8838},   {"supe", 8839},    {"oplus", 8853},   {"otimes", 8855}, {"perp", 8869},
    {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},   {"lfloor", 8970}, {"rfloor", 8971},
    {"lang", 9001},   {"rang", 9002},    {"loz", 9674},     {"spades", 9824}, {"clubs", 9827},
    {"hearts", 9829}, {"diams", 9830},
};
constexpr std::size_t kLongestName = 8;  // "thetasym"

const std::unordered_map<std::string_view, char32_t>& NamedReferences() {
  static const auto* const names = [] {
    auto* map = new std::unordered_map<std::string_view, char32_t>;
    for (std::size_t k = 0; k < std::size(kLatin1Names); ++k) {
      map->emplace(kLatin1Names[k], static_cast<char32_t>(0xA0 + k));
    }
    for (const NamedChar& named : kOtherNames) map->emplace(named.name, named.code);
    return map;
  }();
  return *names;
}

// Elements that start a block or a line, so that the text on either side of their tags never
// forms one word.
const std::unordered_set<std::string_view>& WordBreakingElements() {
  static const auto* const names = new std::unordered_set<std::string_view>{
      "address",  "article",  "aside",    "blockquote", "body",       "br",     "caption",
      "center",   "col",      "colgroup", "dd",         "details",    "dialog", "dir",
      "div",      "dl",       "dt",       "fieldset",   "figcaption", "figure", "footer",
      "form",     "frame",    "frameset", "h1",         "h2",         "h3",     "h4",
      "h5",       "h6",       "head",     "header",     "hgroup",     "hr",     "html",
      "iframe",   "legend",   "li",       "listing",    "main",       "menu",   "nav",
      "noframes", "noscript", "ol",       "optgroup",   "option",     "p",      "pre",
      "section",  "summary",  "table",    "tbody",      "td",         "tfoot",  "th",
      "thead",    "title",    "tr",       "ul",         "xmp",
  };
  return *names;
}

bool IsHtmlSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(unsigned char c) {
  return IsAsciiDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}
unsigned char Lower(unsigned char c) { return IsAsciiLetter(c) ? (c | 0x20) : c; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

class WordReader {
 public:
  explicit WordReader(std::string_view page) : s_(page), n_(page.size()) {}

  std::vector<std::string> Read() {
    std::size_t i = 0;
    while (i < n_) {
      const unsigned char c = s_[i];
      if (c == '<') {
        i = Markup(i);
      } else if (c == '&') {
        i = Reference(i);
      } else if (IsHtmlSpace(c)) {
        EndWord();
        ++i;
      } else {
        std::size_t j = i + 1;
        while (j < n_ && s_[j] != '<' && s_[j] != '&' && !IsHtmlSpace(s_[j])) ++j;
        word_.append(s_.substr(i, j - i));
        i = j;
      }
    }
    EndWord();
    return std::move(words_);
  }

 private:
  void EndWord() {
    if (word_.empty()) return;
    words_.push_back(std::move(word_));
    word_.clear();
  }

  void AddChar(char32_t c) {
    if (c < 0x80 && IsHtmlSpace(static_cast<unsigned char>(c))) {
      EndWord();
    } else if (c >= 0x80 && c <= 0x9F) {
      word_ += Cp1252ToUtf8(std::string(1, static_cast<char>(c)));
    } else {
      AppendUtf8(word_, c);
    }
  }

  // At a '<': skips what is markup and returns where the text goes on.
  std::size_t Markup(std::size_t i) {
    if (i + 1 >= n_) return Literal(i);
    const unsigned char next = s_[i + 1];
    if (next == '!') {
      if (s_.substr(i, 4) != "<!--") return SkipTo(i + 2, '>');
      // "<!-->" and "<!--->" are whole comments.
      const std::size_t body = i + 4;
      if (s_.substr(body, 1) == ">") return body + 1;
      if (s_.substr(body, 2) == "->") return body + 2;
      const std::size_t end = s_.find("-->", body);
      return end == std::string_view::npos ? n_ : end + 3;
    }
    if (next == '?') return SkipTo(i + 2, '>');
    const bool endTag = next == '/';
    const std::size_t nameStart = i + 1 + (endTag ? 1 : 0);
    if (nameStart >= n_ || !IsAsciiLetter(s_[nameStart])) {
      if (!endTag) return Literal(i);
      // "</>" is dropped, "</" before anything else but a letter opens a bogus comment.
      return SkipTo(nameStart, '>');
    }
    std::size_t nameEnd = nameStart;
    while (nameEnd < n_ && !IsHtmlSpace(s_[nameEnd]) && s_[nameEnd] != '/' && s_[nameEnd] != '>') {
      ++nameEnd;
    }
    std::string name(s_.substr(nameStart, nameEnd - nameStart));
    for (char& c : name) c = static_cast<char>(Lower(static_cast<unsigned char>(c)));
    const std::size_t end = SkipTag(nameEnd);
    if (WordBreakingElements().count(name) > 0) EndWord();
    if (!endTag && (name == "script" || name == "style")) return RawTextEnd(end, name);
    return end;
  }

  std::size_t Literal(std::size_t i) {
    word_ += s_[i];
    return i + 1;
  }

  std::size_t SkipTo(std::size_t from, char c) const {
    const std::size_t at = s_.find(c, from);
    return at == std::string_view::npos ? n_ : at + 1;
  }

  // From behind a tag's name to behind its '>'; a '>' inside a quoted attribute value does
  // not end the tag.
  std::size_t SkipTag(std::size_t p) const {
    while (p < n_) {
      const char c = s_[p];
      if (c == '>') return p + 1;
      ++p;
      if (c != '=') continue;
      while (p < n_ && IsHtmlSpace(s_[p])) ++p;
      if (p < n_ && (s_[p] == '"' || s_[p] == '\'')) p = SkipTo(p + 1, s_[p]);
    }
    return n_;
  }

  // The content of <script> or <style> runs to the first end tag of the same name.
  std::size_t RawTextEnd(std::size_t from, const std::string& name) const {
    for (std::size_t p = s_.find("</", from); p != std::string_view::npos;
         p = s_.find("</", p + 2)) {
      const std::size_t after = p + 2 + name.size();
      if (after > n_) break;
      bool same = true;
      for (std::size_t k = 0; k < name.size() && same; ++k) {
        same = Lower(static_cast<unsigned char>(s_[p + 2 + k])) == name[k];
      }
      if (same && (after == n_ || IsHtmlSpace(s_[after]) || s_[after] == '/' || s_[after] == '>')) {
        return p;
      }
    }
    return n_;
  }

  // At a '&': a character reference becomes its character; anything else is text.
  std::size_t Reference(std::size_t i) {
    std::size_t p = i + 1;
    if (p < n_ && s_[p] == '#') {
      ++p;
      const bool hex = p < n_ && (s_[p] | 0x20) == 'x';
      if (hex) ++p;
      const std::size_t digits = p;
      std::uint32_t value = 0;
      bool tooLarge = false;
      for (; p < n_ && (hex ? IsHexDigit(s_[p]) : IsAsciiDigit(s_[p])); ++p) {
        const unsigned char d = s_[p];
        const std::uint32_t digit = IsAsciiDigit(d) ? d - '0' : (d | 0x20) - 'a' + 10;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10FFFF) {
          tooLarge = true;
          value = 0x10FFFF;
        }
      }
      if (p == digits) return Literal(i);
      if (p < n_ && s_[p] == ';') ++p;
      const bool invalid = tooLarge || value == 0 || (value >= 0xD800 && value <= 0xDFFF);
      AddChar(invalid ? 0xFFFD : value);
      return p;
    }
    while (p < n_ && p - i <= kLongestName && (IsAsciiLetter(s_[p]) || IsAsciiDigit(s_[p]))) ++p;
    if (p < n_ && s_[p] == ';') {
      const auto& names = NamedReferences();
      const auto it = names.find(s_.substr(i + 1, p - i - 1));
      if (it != names.end()) {
        AddChar(it->second);
        return p + 1;
      }
    }
    return Literal(i);
  }

  std::string_view s_;
  std::size_t n_;
  std::string word_;
  std::vector<std::string> words_;
};

}  // namespace

std::vector<std::string> VisibleWords(std::string_view page, PageEncoding encoding) {
  if (encoding == PageEncoding::kWindows1252) {
    const std::string text = Cp1252ToUtf8(page);
    return WordReader(text).Read();
  }
  return WordReader(page).Read();
}

WordChanges CompareWords(const std::vector<std::string>& before,
                         const std::vector<std::string>& after) {
  WordChanges changes;
  if (before == after) return changes;
  std::vector<std::string> a = before;
  std::vector<std::string> b = after;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(changes.lost));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(changes.gained));
  return changes;
}

}  // namespace vk::test
