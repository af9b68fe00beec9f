#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vk {
namespace {

using namespace std::string_literals;

TEST(IniValueText, BlanksAndOnePairOfQuotesGo) {
  struct Case {
    std::string raw, expected;
  } cases[] = {
      {"abc", "abc"},
      {"  abc  ", "abc"},
      {"\t x \t", "x"},
      {"\"x\"", "x"},
      {"'x'", "x"},
      {"  \"  x  \"  ", "  x  "},  // blanks inside the quotes stay
      {"\"\"x\"\"", "\"x\""},      // only one pair
      {"\"x'", "\"x'"},            // quotes of different kinds are no pair
      {"\"", "\""},
      {"\"\"", ""},
      {"x\"", "x\""},
      {"<td align=right>", "<td align=right>"},
      {"", ""},
      {"   ", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IniValueText(c.raw), c.expected) << "raw [" << c.raw << "]";
  }
}

TEST(ParseInt32, WholeTextMustBeA32BitNumber) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    std::string text;
    bool valid;
    std::int32_t value;
  } cases[] = {
      {"0", true, 0},
      {"1", true, 1},
      {"-1", true, -1},
      {"+7", true, 7},
      {"01", true, 1},
      {"2147483647", true, kMax},
      {"-2147483648", true, kMin},
      {"$10", true, 16},
      {"0x10", true, 16},
      {"0X1f", true, 31},
      {"-$10", true, -16},
      {"$FFFFFFFF", true, -1},
      {"$80000000", true, kMin},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999999", false, 0},
      {"$100000000", false, 0},
      {"", false, 0},
      {"-", false, 0},
      {"+", false, 0},
      {"$", false, 0},
      {"0x", false, 0},
      {"0x1g", false, 0},
      {"yes", false, 0},
      {" 1", false, 0},
      {"1 ", false, 0},
      {"1.0", false, 0},
      {"1e3", false, 0},
      {"--1", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t value = 12345;
    EXPECT_EQ(ParseInt32(c.text, &value), c.valid) << "text [" << c.text << "]";
    if (c.valid) {
      EXPECT_EQ(value, c.value) << "text [" << c.text << "]";
    }
  }
}

TEST(IniDocument, UntouchedTextComesBackByteForByte) {
  const std::string inputs[] = {
      "",
      "a",
      "a\r\n",
      "a\n",
      "a\r",
      "\r\n\r\n",
      "\n\n\n",
      "[S]\r\nk=v",
      "[S]\nk=v\r\nx\n",
      "a\rb\n",
      "\xEF\xBB\xBF[Options]\r\nCreateBak=1\r\n",
      "[S]\r\nk=\0v\r\n\0\0\0"s,
      "\x01\x02\xFF\xFE\r\n\x80=\x81\n"s,
  };
  for (const auto& input : inputs) {
    EXPECT_EQ(IniDocument(input).Bytes(), input);
  }
}

std::vector<std::string> EntryLines(const std::string& text, const std::string& section) {
  std::vector<std::string> lines;
  for (const auto& entry : IniDocument(text).Entries(section)) {
    lines.push_back(entry.key + "=" + entry.value);
  }
  return lines;
}

TEST(IniDocument, EntriesOfASectionInFileOrder) {
  struct Case {
    std::string text, section;
    std::vector<std::string> expected;
  } cases[] = {
      {"[S]\r\n1=b\r\n0=a\r\n", "S", {"1=b", "0=a"}},
      {"[s]\r\nk=v\r\n", "S", {"k=v"}},
      {"[ Find HTML Code ]\r\n0=x\r\n", "find html code", {"0=x"}},
      {"k=top\r\n[S]\r\nk=v\r\n", "S", {"k=v"}},       // keys before any section
      {"[S]\r\nk=v\r\n[T]\r\nt=1\r\n", "S", {"k=v"}},  // the section ends at the next
      {"[S]\nk=v\n", "S", {"k=v"}},                    // LF alone
      {"[S]\r\n  key  =  v  \r\n", "S", {"key=v"}},
      {"[S]\r\n0=<td align=right>\r\n", "S", {"0=<td align=right>"}},
      {"[S]\r\nno equals sign\r\n; c=1\r\n=x\r\nk=v\r\n", "S", {"k=v"}},
      {"[S]\r\na=\0x\r\nb=y\r\n"s, "S", {"b=y"}},      // a line with NUL is not read
      {"[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", {"k=1"}},  // the first section counts
      {"[S]\r\nk=1\r\nk=2\r\n", "S", {"k=1", "k=2"}},  // each line its own value
      {"[S]\r\nk=\r\n", "S", {"k="}},
      {"[S] trailing\r\nk=v\r\n", "S", {"k=v"}},
      {"[S]\r\n", "S", {}},
      {"[T]\r\nk=v\r\n", "S", {}},
      {"\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", {}},  // a BOM hides the section line
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EntryLines(c.text, c.section), c.expected) << "text [" << c.text << "]";
  }
}

TEST(IniDocument, ValueOfFirstKeyLineAnyCase) {
  const IniDocument doc("[Options]\r\ncreatebak = 1\r\nCreateBak=0\r\nq=\"INIERROR\"\r\n");
  EXPECT_EQ(doc.Value("OPTIONS", "CreateBak"), "1");
  EXPECT_EQ(doc.Value("Options", "q"), "INIERROR");
  EXPECT_EQ(doc.Value("Options", "missing"), std::nullopt);
  EXPECT_EQ(doc.Value("Other", "CreateBak"), std::nullopt);
}

struct Write {
  std::string section, key, value;
};

TEST(IniDocument, SetValueSequences) {
  struct Case {
    std::string before;
    std::vector<Write> writes;
    std::string after;
  } cases[] = {
      // A new file gets the section, then each key behind the last.
      {"",
       {{"Options", "CreateBak", "1"},
        {"Options", "IgnoreMetaTags", "0"},
        {"Options", "OptCB.ItemIndex", "3"}},
       "[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=0\r\nOptCB.ItemIndex=3\r\n"},
      // A key line is replaced in place; section order stays.
      {"[Options]\r\nCreateBak=1\r\nOptCB.ItemIndex=3\r\n[Other]\r\nx=1\r\n",
       {{"OPTIONS", "optcb.itemindex", "5"}},
       "[Options]\r\nCreateBak=1\r\nOptCB.ItemIndex=5\r\n[Other]\r\nx=1\r\n"},
      // A new key goes behind the last key line, before the blank line.
      {"[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n",
       {{"A", "z", "3"}},
       "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
      // A missing section goes to the end; the unterminated last line gets its CR LF.
      {"[A]\r\nx=1", {{"B", "y", "2"}}, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
      {"[A]", {{"A", "k", "v"}}, "[A]\r\nk=v\r\n"},
      {"[A]\r\nx=1\r", {{"B", "y", "2"}}, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
      // LF lines keep their LF; the new line has CR LF.
      {"[A]\nx=1\n[B]\ny=2\n", {{"A", "x", "9"}}, "[A]\nx=9\n[B]\ny=2\n"},
      {"[A]\nx=1\n[B]\ny=2\n", {{"A", "n", "1"}}, "[A]\nx=1\nn=1\r\n[B]\ny=2\n"},
      // A section without keys gets the key right behind its line.
      {"[A]\r\n; note\r\n[B]\r\n", {{"A", "k", "v"}}, "[A]\r\nk=v\r\n; note\r\n[B]\r\n"},
      // The key keeps its spelling, loses its blanks; the old value goes whole.
      {"[A]\r\n  Key = \"old\"\r\n", {{"A", "KEY", "new"}}, "[A]\r\nKey=new\r\n"},
      // Only the first of two equal keys is replaced.
      {"[A]\r\nk=1\r\nk=2\r\n", {{"A", "k", "3"}}, "[A]\r\nk=3\r\nk=2\r\n"},
      // A value is one line; its "=" is kept.
      {"", {{"A", "k", "a\r\nb\0c"s}}, "[A]\r\nk=a  b c\r\n"},
      {"", {{"A", "0", "<td align=right>"}}, "[A]\r\n0=<td align=right>\r\n"},
      // An empty key writes nothing.
      {"[A]\r\n", {{"A", "", "v"}, {"A", "  ", "v"}}, "[A]\r\n"},
      // Lines the rules do not cover stay byte for byte.
      {"\xEF\xBB\xBF[A]\r\nx=1\r\n\x01\0\xFF\r\n"s,
       {{"A", "x", "2"}},
       "\xEF\xBB\xBF[A]\r\nx=1\r\n\x01\0\xFF\r\n[A]\r\nx=2\r\n"s},
      {"[A]\r\n\x01\0=\xFF\r\nx=1\r\n"s,
       {{"A", "y", "2"}},
       "[A]\r\n\x01\0=\xFF\r\nx=1\r\ny=2\r\n"s},
  };
  for (const auto& c : cases) {
    IniDocument doc(c.before);
    for (const auto& w : c.writes) doc.SetValue(w.section, w.key, w.value);
    EXPECT_EQ(doc.Bytes(), c.after) << "before [" << c.before << "]";
  }
}

TEST(IniDocument, RemoveSection) {
  struct Case {
    std::string before, section;
    bool removed;
    std::string after;
  } cases[] = {
      {"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "A", true, "[B]\r\ny=2\r\n"},
      {"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "b", true, "[A]\r\nx=1\r\n"},
      {"[A]\r\nx=1\r\n[B]\r\n[a]\r\nz=3\r\n", "A", true, "[B]\r\n"},  // every section so named
      {"[A]\r\nx=1\r\n\x01\0junk\r\n[B]\r\n"s, "A", true, "\x01\0junk\r\n[B]\r\n"s},
      {"[A]\r\nx=1\r\n", "C", false, "[A]\r\nx=1\r\n"},
      {"", "A", false, ""},
  };
  for (const auto& c : cases) {
    IniDocument doc(c.before);
    EXPECT_EQ(doc.RemoveSection(c.section), c.removed) << "before [" << c.before << "]";
    EXPECT_EQ(doc.Bytes(), c.after) << "before [" << c.before << "]";
  }
}

TEST(IniDocument, ReplaceSectionEqualsRemoveAndSetEach) {
  const std::string starts[] = {
      "",
      "[Options]\r\nCreateBak=1\r\n",
      "[Find HTML Code]\r\n0=old\r\n1=older\r\n[Options]\r\nCreateBak=1",
      "[find html code]\nx\n0=a\n[Options]\n",
  };
  const std::vector<IniDocument::Entry> entries = {{"0", "<b>"}, {"1", "<font face=Arial>"}};
  for (const auto& start : starts) {
    IniDocument stepwise(start);
    stepwise.RemoveSection("Find HTML Code");
    for (const auto& e : entries) stepwise.SetValue("Find HTML Code", e.key, e.value);
    IniDocument whole(start);
    whole.ReplaceSection("Find HTML Code", entries);
    EXPECT_EQ(whole.Bytes(), stepwise.Bytes()) << "start [" << start << "]";
  }
  IniDocument emptied("[A]\r\nx=1\r\n[B]\r\n");
  emptied.ReplaceSection("A", {});
  EXPECT_EQ(emptied.Bytes(), "[B]\r\n");
}

TEST(IniDocument, StoredListExampleByteForByte) {
  IniDocument doc("");
  doc.ReplaceSection("Find HTML Code", {{"0", "<b>"}, {"1", "<font face=Arial>"}});
  doc.ReplaceSection("Replace HTML Code", {{"0", "<strong>"}, {"1", "(leer)"}});
  EXPECT_EQ(doc.Bytes(),
            "[Find HTML Code]\r\n0=<b>\r\n1=<font face=Arial>\r\n"
            "[Replace HTML Code]\r\n0=<strong>\r\n1=(leer)\r\n");
}

}  // namespace
}  // namespace vk
