#include "engine/special_chars.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "engine/case_fold.h"
#include "fs/disk_file_access.h"
#include "support/test_support.h"
#include "utf8_reference_support.h"

namespace vk {
namespace {

using namespace std::string_literals;
using test::ReadFile;
using test::RecordingFeedback;
using test::TempDir;
using test::WriteFile;

std::string Message(const std::string& path) {
  return "Konnte " + path + " nicht öffnen oder schreiben!";
}

// The conversion as a plain byte loop.
ConvertResult ReferenceConvert(std::string_view text) {
  ConvertResult r;
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0xA0) {
      r.text += EntityTable()[b - 0xA0];
      ++r.count;
    } else {
      r.text += c;
    }
  }
  return r;
}

// The META rule step by step: search the rest from its start each time, with FindNoCase,
// which stops at a NUL; the '>' is looked for up to that NUL as well.
ConvertResult ReferenceConvertKeepingMeta(
    std::string_view text, ConvertResult (*convert)(std::string_view) = ReferenceConvert) {
  ConvertResult r;
  std::string_view rest = text;
  for (;;) {
    const std::size_t p = FindNoCase("<META", rest);
    if (p == 0) {
      const ConvertResult tail = convert(rest);
      r.text += tail.text;
      r.count += tail.count;
      return r;
    }
    const ConvertResult before = convert(rest.substr(0, p - 1));
    r.text += before.text;
    r.count += before.count;
    rest = rest.substr(p - 1);
    const std::string_view searchable = rest.substr(0, rest.find('\0'));
    const std::size_t close = searchable.find('>');
    if (close == std::string_view::npos) {
      r.text += rest;
      return r;
    }
    r.text += rest.substr(0, close + 1);
    rest = rest.substr(close + 1);
  }
}

struct TextCase {
  std::string in, out;
  std::int64_t count;
};

TEST(EntityTable, HoldsTheLatin1NamesInByteOrder) {
  const char* names =
      "nbsp iexcl cent pound curren yen brvbar sect uml copy ordf laquo not shy reg macr deg "
      "plusmn sup2 sup3 acute micro para middot cedil sup1 ordm raquo frac14 frac12 frac34 iquest "
      "Agrave Aacute Acirc Atilde Auml Aring AElig Ccedil Egrave Eacute Ecirc Euml Igrave Iacute "
      "Icirc Iuml ETH Ntilde Ograve Oacute Ocirc Otilde Ouml times Oslash Ugrave Uacute Ucirc Uuml "
      "Yacute THORN szlig agrave aacute acirc atilde auml aring aelig ccedil egrave eacute ecirc "
      "euml igrave iacute icirc iuml eth ntilde ograve oacute ocirc otilde ouml divide oslash "
      "ugrave uacute ucirc uuml yacute thorn yuml";
  std::istringstream in(names);
  std::string name;
  std::size_t i = 0;
  while (in >> name) {
    ASSERT_LT(i, 96u);
    EXPECT_EQ(EntityTable()[i], "&" + name + ";") << "byte 0x" << std::hex << (0xA0 + i);
    ++i;
  }
  EXPECT_EQ(i, 96u);

  const std::map<unsigned char, std::string> telling = {
      {0xA0, "&nbsp;"},  {0xAD, "&shy;"},   {0xB4, "&acute;"}, {0xB8, "&cedil;"},
      {0xC4, "&Auml;"},  {0xC6, "&AElig;"}, {0xD0, "&ETH;"},   {0xD7, "&times;"},
      {0xDE, "&THORN;"}, {0xDF, "&szlig;"}, {0xE4, "&auml;"},  {0xF7, "&divide;"},
      {0xFF, "&yuml;"}};
  for (const auto& [byte, entity] : telling) {
    const ConvertResult r = ConvertSpecialChars(std::string(1, static_cast<char>(byte)));
    EXPECT_EQ(r.text, entity);
    EXPECT_EQ(r.count, 1);
  }
}

TEST(ConvertSpecialChars, ReplacesTheUpperHalfOnly) {
  std::string controls;
  for (int b = 0x80; b <= 0x9F; ++b) controls += static_cast<char>(b);
  const TextCase cases[] = {
      {"", "", 0},
      {"Gr\xFC\xDF\xE9", "Gr&uuml;&szlig;&eacute;", 3},
      {"&amp; &lt; &auml; & < > \" '", "&amp; &lt; &auml; & < > \" '", 0},
      {controls, controls, 0},
      {"Preis: 5 \x80 \x84"
       "zitiert\x93",
       "Preis: 5 \x80 \x84"
       "zitiert\x93",
       0},
      {"\xC3\xA4", "&Atilde;&curren;", 2},  // UTF-8 "ä", byte by byte
      {"a\0\xE4\0"s, "a\0&auml;\0"s, 1},
      {"\x9F\xA0", "\x9F&nbsp;", 1},
      {"\xFF\xFF", "&yuml;&yuml;", 2},
      {"<p title=\"\xA9 2011\">\r\n\t\xBD</p>", "<p title=\"&copy; 2011\">\r\n\t&frac12;</p>", 2},
      {"\x01\x1F\x7F", "\x01\x1F\x7F", 0},
  };
  for (const auto& c : cases) {
    const ConvertResult r = ConvertSpecialChars(c.in);
    EXPECT_EQ(r.text, c.out) << c.in;
    EXPECT_EQ(r.count, c.count) << c.in;
    // The META variant agrees where there are no tags.
    const ConvertResult m = ConvertSpecialCharsText(c.in, true, PageEncoding::kWindows1252);
    EXPECT_EQ(m.text, c.out) << c.in;
    EXPECT_EQ(m.count, c.count) << c.in;
  }
}

TEST(ConvertSpecialChars, EveryByteValueAtEveryPositionOfAWord) {
  // The fast path looks at eight bytes at once; put each byte at every offset around it.
  for (int b = 0; b < 256; ++b) {
    for (std::size_t length = 1; length <= 19; ++length) {
      for (std::size_t at = 0; at < length; ++at) {
        std::string in(length, 'x');
        in[at] = static_cast<char>(b);
        const ConvertResult expected = ReferenceConvert(in);
        const ConvertResult r = ConvertSpecialChars(in);
        ASSERT_EQ(r.text, expected.text) << "byte " << b << " at " << at << " of " << length;
        ASSERT_EQ(r.count, expected.count);
      }
    }
  }
}

TEST(ConvertSpecialChars, SecondConversionChangesNothing) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const ConvertResult first = ConvertSpecialChars(all);
  EXPECT_EQ(first.count, 96);
  EXPECT_EQ(first.text.size(), 160 + 675u);  // 160 bytes kept, 96 entities of 675 bytes
  const ConvertResult second = ConvertSpecialChars(first.text);
  EXPECT_EQ(second.text, first.text);
  EXPECT_EQ(second.count, 0);
}

TEST(ConvertSpecialCharsText, MetaTagsStayWhenAsked) {
  const std::string page =
      "<meta name='description' content='\xDC"
      "bersicht'>"
      "<META NAME='keywords' CONTENT='Gr\xF6\xDF"
      "e'><body>\xDC</body>";
  struct Case {
    std::string in;
    bool keepMeta;
    std::string out;
    std::int64_t count;
  } cases[] = {
      {page, true,
       "<meta name='description' content='\xDC"
       "bersicht'>"
       "<META NAME='keywords' CONTENT='Gr\xF6\xDF"
       "e'><body>&Uuml;</body>",
       1},
      {page, false,
       "<meta name='description' content='&Uuml;bersicht'>"
       "<META NAME='keywords' CONTENT='Gr&ouml;&szlig;e'><body>&Uuml;</body>",
       4},
      // A tag ends at its first '>', quotes or not.
      {"<meta name='x' content='a>b \xC4'>", true, "<meta name='x' content='a>b &Auml;'>", 1},
      // Text before, between and after several tags is converted.
      {"\xE4<meta \xE4>\xF6<Meta \xF6>\xFC<mEtA \xFC>\xDF", true,
       "&auml;<meta \xE4>&ouml;<Meta \xF6>&uuml;<mEtA \xFC>&szlig;", 4},
      {"<meta a=\xE4><meta b=\xF6>", true, "<meta a=\xE4><meta b=\xF6>", 0},
      // A longer word beginning with "<meta" counts as a tag too.
      {"<METADATA \xE4>\xE4", true, "<METADATA \xE4>&auml;", 1},
      {"< meta \xE4>", true, "< meta &auml;>", 1},
      {"<m\xC9ta \xE4>", true, "<m&Eacute;ta &auml;>", 2},
      {"\xE4<meta", true, "&auml;<meta", 1},
      // No closing '>': everything from the tag on stays.
      {"\xE4<meta \xE4 \xF6", true, "&auml;<meta \xE4 \xF6", 1},
      {"<meta a>\xE4<meta \xE4 \xF6", true, "<meta a>&auml;<meta \xE4 \xF6", 1},
      // After the first NUL there are no tags.
      {"a\0<meta \xE4>"s, true, "a\0<meta &auml;>"s, 1},
      {"<meta \xE4>\xE4\0\xE4<meta \xE4>"s, true, "<meta \xE4>&auml;\0&auml;<meta &auml;>"s, 3},
      // A '>' only after the NUL does not close the tag.
      {"\xE4<meta \xE4\0>\xF6"s, true, "&auml;<meta \xE4\0>\xF6"s, 1},
      {"", true, "", 0},
  };
  for (const auto& c : cases) {
    const ConvertResult r = ConvertSpecialCharsText(c.in, c.keepMeta, PageEncoding::kWindows1252);
    EXPECT_EQ(r.text, c.out) << c.in;
    EXPECT_EQ(r.count, c.count) << c.in;
  }
}

TEST(ConvertSpecialCharsText, FindsTheTagAtEveryOffset) {
  // The tag search looks at several bytes at once; move the tag across those steps and put
  // near misses ("<m", "<Me", "<mex") right before it.
  const std::string misses[] = {"", "<m", "<Me", "<mex", "<<", "m", "<meT"};
  for (const auto& miss : misses) {
    for (std::size_t offset = 0; offset <= 20; ++offset) {
      const std::string lead(offset, 'x');
      const std::string in = lead + miss + "<mEtA \xE4>\xE4";
      const std::string out = lead + miss + "<mEtA \xE4>&auml;";
      const ConvertResult r = ConvertSpecialCharsText(in, true, PageEncoding::kWindows1252);
      EXPECT_EQ(r.text, out) << in;
      EXPECT_EQ(r.count, 1) << in;
      // A tag cut short at the end is no tag.
      const std::string cut = lead + miss + "<mEt\xE4";
      EXPECT_EQ(ConvertSpecialCharsText(cut, true, PageEncoding::kWindows1252).text,
                lead + miss + "<mEt&auml;")
          << cut;
    }
  }
}

TEST(ConvertSpecialCharsText, AgreesWithTheStepByStepRuleOnGeneratedTexts) {
  const std::string pieces[] = {"<",     ">",     "m",     "M",      "e",    "T",    "a",
                                " ",     "\0"s,   "\xE4",  "\xA0",   "\x9F", "\xC9", "x",
                                "<meta", "<META", "<MeTa", "<meta>", "\r\n", "\t"};
  std::mt19937 random(20110);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += pieces[pick(random)];
    const ConvertResult expected = ReferenceConvertKeepingMeta(text);
    const ConvertResult r = ConvertSpecialCharsText(text, true, PageEncoding::kWindows1252);
    ASSERT_EQ(r.text, expected.text) << "case " << i;
    ASSERT_EQ(r.count, expected.count) << "case " << i;
    const ConvertResult plain = ConvertSpecialCharsText(text, false, PageEncoding::kWindows1252);
    const ConvertResult plainExpected = ReferenceConvert(text);
    ASSERT_EQ(plain.text, plainExpected.text) << "case " << i;
    ASSERT_EQ(plain.count, plainExpected.count) << "case " << i;
  }
}

std::string Utf8Of(char32_t c) {
  std::string out;
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
  return out;
}

TEST(ConvertSpecialCharsText, Utf8PageEveryCharacterBetweenMultiByteNeighbours) {
  // Each of the 96 characters, as a sequence and as a stray byte, between characters of two,
  // three and four bytes, which stay as they are.
  const std::string neighbours[] = {"\xC5\x93", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E", "\xEF\xBB\xBF"};
  for (char32_t c = 0xA0; c <= 0xFF; ++c) {
    const std::string entity(EntityTable()[c - 0xA0]);
    for (const std::string& n : neighbours) {
      const std::string sequence = n + Utf8Of(c) + n;
      const ConvertResult r = ConvertSpecialCharsText(sequence, false, PageEncoding::kUtf8);
      EXPECT_EQ(r.text, n + entity + n) << std::hex << static_cast<unsigned>(c);
      EXPECT_EQ(r.count, 1);
      const std::string stray = n + static_cast<char>(c) + "x" + n;
      const ConvertResult s = ConvertSpecialCharsText(stray, true, PageEncoding::kUtf8);
      EXPECT_EQ(s.text, n + entity + "x" + n) << std::hex << static_cast<unsigned>(c);
      EXPECT_EQ(s.count, 1);
    }
  }
}

TEST(ConvertSpecialCharsText, Utf8PageKeepsEveryOtherCharacter) {
  std::string c1;  // U+0080..U+009F as sequences
  for (char32_t c = 0x80; c <= 0x9F; ++c) c1 += Utf8Of(c);
  const TextCase cases[] = {
      {"h\xC3\xA4ufigsten", "h&auml;ufigsten", 1},
      {c1, c1, 0},
      {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5", 0},
      {"\xEF\xBB\xBF<p>\xC3\x9C</p>", "\xEF\xBB\xBF<p>&Uuml;</p>", 1},
      {"\xE3\xA4\x98\xF0\x9F\x98\x80", "\xE3\xA4\x98\xF0\x9F\x98\x80", 0},
      // Stray Windows-1252 bytes among UTF-8 text: repaired; 0x80..0x9F keep their bytes.
      {"Gr\xFC\xDF"
       "e h\xC3\xA4ufig",
       "Gr&uuml;&szlig;e h&auml;ufig", 3},
      {"\xC3\xA4 \x80 \x93zitiert\x94", "&auml; \x80 \x93zitiert\x94", 1},
      // Broken sequences are stray bytes, each on its own.
      {"\xC0\xAF", "&Agrave;&macr;", 2},
      {"\xED\xA0\x80", "&iacute;&nbsp;\x80", 2},
      {"\xC3\xA4\xC3", "&auml;&Atilde;", 2},
      {"\xC3\0\xA4"s, "&Atilde;\0&curren;"s, 2},
      {"&auml; &amp; <", "&auml; &amp; <", 0},
  };
  for (const auto& c : cases) {
    for (bool keepMeta : {false, true}) {
      const ConvertResult r = ConvertSpecialCharsText(c.in, keepMeta, PageEncoding::kUtf8);
      EXPECT_EQ(r.text, c.out) << c.in;
      EXPECT_EQ(r.count, c.count) << c.in;
    }
  }
}

TEST(ConvertSpecialCharsText, Utf8PageMetaTagsStayWhenAsked) {
  const std::string page =
      "<meta name='description' content='\xC3\x9C"
      "bersicht \xE2\x82\xAC'><body>\xC3\x9C\xC3\xA4</body>";
  const ConvertResult kept = ConvertSpecialCharsText(page, true, PageEncoding::kUtf8);
  EXPECT_EQ(kept.text,
            "<meta name='description' content='\xC3\x9C"
            "bersicht \xE2\x82\xAC'><body>&Uuml;&auml;</body>");
  EXPECT_EQ(kept.count, 2);
  const ConvertResult all = ConvertSpecialCharsText(page, false, PageEncoding::kUtf8);
  EXPECT_EQ(all.text,
            "<meta name='description' content='&Uuml;bersicht \xE2\x82\xAC'>"
            "<body>&Uuml;&auml;</body>");
  EXPECT_EQ(all.count, 3);
}

TEST(ConvertSpecialCharsText, Utf8PageAgreesWithTheCharacterByCharacterReading) {
  // Sequences, stray bytes and broken sequences at every offset of the eight-byte steps.
  const std::string pieces[] = {
      "x",        "<",        "<meta",       ">",        " ",
      "\0"s,      "\xC3\xA4", "\xC2\xA0",    "\xC2\x85", "\xE2\x82\xAC",
      "\xE4",     "\x80",     "\xC3",        "\xA4",     "\xF0\x9F\x98\x80",
      "\xF0\x9F", "\xED\xA0", "\xEF\xBB\xBF"};
  std::mt19937 random(14);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += pieces[pick(random)];
    const ConvertResult expected = test::ReferenceConvertUtf8(text);
    const ConvertResult plain = ConvertSpecialCharsText(text, false, PageEncoding::kUtf8);
    ASSERT_EQ(plain.text, expected.text) << "case " << i;
    ASSERT_EQ(plain.count, expected.count) << "case " << i;
    const ConvertResult keptExpected =
        ReferenceConvertKeepingMeta(text, test::ReferenceConvertUtf8);
    const ConvertResult kept = ConvertSpecialCharsText(text, true, PageEncoding::kUtf8);
    ASSERT_EQ(kept.text, keptExpected.text) << "case " << i;
    ASSERT_EQ(kept.count, keptExpected.count) << "case " << i;
  }
}

TEST(ConvertSpecialCharsText, LongPagesAgreeWithTheReferenceAcrossEverySeam) {
  // Pages far longer than the few kilobytes the conversion works on at once, with sequences
  // and entities standing across the seams between those pieces.
  const std::string pieces[] = {
      "x",        "<a href=\"x\">", "\xC3\xA4", "\xC2\xA0",     "\xE2\x82\xAC",
      "\xE4",     "\xFF",           "\xC3",     "\xA4",         "\xF0\x9F\x98\x80",
      "\x80\x80", "abcdefg",        "\r\n",     "<meta a=\xE4>"};
  std::mt19937 random(4096);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  for (int i = 0; i < 40; ++i) {
    std::string text;
    while (text.size() < 30000) text += pieces[pick(random)];
    for (const bool meta : {false, true}) {
      const ConvertResult utf8 = ConvertSpecialCharsText(text, meta, PageEncoding::kUtf8);
      const ConvertResult utf8Expected =
          meta ? ReferenceConvertKeepingMeta(text, test::ReferenceConvertUtf8)
               : test::ReferenceConvertUtf8(text);
      ASSERT_EQ(utf8.text, utf8Expected.text) << "case " << i;
      ASSERT_EQ(utf8.count, utf8Expected.count) << "case " << i;
      const ConvertResult bytes = ConvertSpecialCharsText(text, meta, PageEncoding::kWindows1252);
      const ConvertResult bytesExpected =
          meta ? ReferenceConvertKeepingMeta(text) : ReferenceConvert(text);
      ASSERT_EQ(bytes.text, bytesExpected.text) << "case " << i;
      ASSERT_EQ(bytes.count, bytesExpected.count) << "case " << i;
    }
  }
}

// An old, exact time stamp, so that a write would be seen even within the same second.
void SetOldTime(const std::string& path) {
  const struct timespec times[2] = {{978307200, 123456789}, {978307200, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

bool HasOldTime(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_mtim.tv_sec == 978307200 &&
         st.st_mtim.tv_nsec == 123456789;
}

TEST(ConvertSpecialCharsInFile, ConvertsAndWritesOnlyWhatChanged) {
  struct Case {
    std::string in;
    bool keepMeta;
    std::string out;
    std::int64_t count;
  } cases[] = {
      {"Gr\xFC\xDF\xE9", false, "Gr&uuml;&szlig;&eacute;", 3},
      {"<p>plain ASCII &amp; &auml;</p>\r\n", false, "<p>plain ASCII &amp; &auml;</p>\r\n", 0},
      {"Gr&uuml;&szlig;&eacute;", false, "Gr&uuml;&szlig;&eacute;", 0},
      {"", false, "", 0},
      {"", true, "", 0},
      {"\x80\x93\x94", false, "\x80\x93\x94", 0},
      // A UTF-8 page is converted on its characters.
      {"h\xC3\xA4ufigsten", false, "h&auml;ufigsten", 1},
      {"\xE2\x82\xAC \xC3\xA4 \xE4", false, "\xE2\x82\xAC &auml; &auml;", 2},
      {"a\0\xE4\0<meta \xE4>"s, true, "a\0&auml;\0<meta &auml;>"s, 2},
      {"<meta c='\xDC'>\xDC", true, "<meta c='\xDC'>&Uuml;", 1},
      {"<meta c='\xDC'>", true, "<meta c='\xDC'>", 0},
      {"<meta c='\xDC'>\xDC", false, "<meta c='&Uuml;'>&Uuml;", 2},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string page = dir.File("page.htm");
    WriteFile(page, c.in);
    SetOldTime(page);
    RecordingFeedback feedback;
    EXPECT_EQ(ConvertSpecialCharsInFile(page, c.keepMeta, feedback, DiskFileAccess()), c.count)
        << c.in;
    EXPECT_EQ(ReadFile(page), c.out) << c.in;
    EXPECT_EQ(HasOldTime(page), c.in == c.out) << c.in;
    EXPECT_TRUE(feedback.errors.empty()) << c.in;
    EXPECT_EQ(feedback.yields, 0);

    // A second run finds nothing left to do and leaves the time stamp alone.
    SetOldTime(page);
    EXPECT_EQ(ConvertSpecialCharsInFile(page, c.keepMeta, feedback, DiskFileAccess()), 0) << c.in;
    EXPECT_EQ(ReadFile(page), c.out);
    EXPECT_TRUE(HasOldTime(page)) << c.in;
  }
}

TEST(ConvertSpecialCharsInFile, FailuresGiveTheMessageAndTheCountReached) {
  TempDir dir;
  const std::string missing = dir.File("fehlt.htm");
  const std::string folder = dir.File("Ordner.htm");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string readOnly = dir.File("gesperrt.htm");
  WriteFile(readOnly, "\xC4\xD6\xDC");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  SetOldTime(readOnly);

  struct Case {
    std::string path;
    std::int64_t count;
  } cases[] = {{missing, 0}, {folder, 0}, {readOnly, 3}};
  for (const auto& c : cases) {
    RecordingFeedback feedback;
    EXPECT_EQ(ConvertSpecialCharsInFile(c.path, false, feedback, DiskFileAccess()), c.count)
        << c.path;
    EXPECT_EQ(feedback.errors, std::vector<std::string>{Message(c.path)});
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(ReadFile(readOnly), "\xC4\xD6\xDC");
  EXPECT_TRUE(HasOldTime(readOnly));
}

// Pages kept in memory, with a switch to fail reads or writes.
class MemoryFiles : public FileAccess {
 public:
  FileStatus Read(const std::string& path, std::string* content) override {
    reads.push_back(path);
    content->clear();
    if (failRead || !pages.count(path)) return FileStatus::Error(FileStatus::Code::kNotFound);
    *content = pages[path];
    return FileStatus::Ok();
  }
  FileStatus Write(const std::string& path, std::string_view content) override {
    writes.push_back(path);
    if (failWrite) return FileStatus::Error(FileStatus::Code::kReadOnly);
    pages[path] = std::string(content);
    return FileStatus::Ok();
  }
  std::map<std::string, std::string> pages;
  std::vector<std::string> reads, writes;
  bool failRead = false, failWrite = false;
};

TEST(ConvertSpecialCharsInFile, GoesThroughTheFileAccessGiven) {
  const std::string path = "/nirgends/seite.htm";
  struct Case {
    std::string in;
    bool failRead, failWrite;
    std::int64_t count;
    std::string stored;
    std::size_t writes;
    bool message;
  } cases[] = {
      {"\xE4\xF6", false, false, 2, "&auml;&ouml;", 1, false},
      {"plain", false, false, 0, "plain", 0, false},
      {"", false, false, 0, "", 0, false},
      {"\xE4\xF6", true, false, 0, "\xE4\xF6", 0, true},
      {"\xE4\xF6", false, true, 2, "\xE4\xF6", 1, true},
  };
  for (const auto& c : cases) {
    MemoryFiles files;
    files.pages[path] = c.in;
    files.failRead = c.failRead;
    files.failWrite = c.failWrite;
    RecordingFeedback feedback;
    EXPECT_EQ(ConvertSpecialCharsInFile(path, false, feedback, files), c.count) << c.in;
    EXPECT_EQ(files.pages[path], c.stored) << c.in;
    EXPECT_EQ(files.reads, std::vector<std::string>{path});
    EXPECT_EQ(files.writes.size(), c.writes) << c.in;
    EXPECT_EQ(feedback.errors,
              c.message ? std::vector<std::string>{Message(path)} : std::vector<std::string>{});
  }
}

TEST(ConvertSpecialCharsInFile, AnEncodingGivenWinsOverTheBytes) {
  // The batch run decides once, before its first step changed the page, and passes it on.
  const std::string path = "/nirgends/seite.htm";
  struct Case {
    std::string in;
    std::optional<PageEncoding> encoding;
    std::string out;
  } cases[] = {
      {"\xC3\xA4", std::nullopt, "&auml;"},
      {"\xC3\xA4", PageEncoding::kWindows1252, "&Atilde;&curren;"},
      {"\xE4\xF6 \xE2\x82\xAC", std::nullopt, "&auml;&ouml; &acirc;\x82&not;"},
      {"\xE4\xF6 \xE2\x82\xAC", PageEncoding::kUtf8, "&auml;&ouml; \xE2\x82\xAC"},
  };
  for (const auto& c : cases) {
    MemoryFiles files;
    files.pages[path] = c.in;
    RecordingFeedback feedback;
    ConvertSpecialCharsInFile(path, false, feedback, files, c.encoding);
    EXPECT_EQ(files.pages[path], c.out) << c.in;
  }
}

}  // namespace
}  // namespace vk
