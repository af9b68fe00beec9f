// The examples of HTML compression as tables, shared by the tests of the engine and by the
// check that the literal reference version reproduces them too, and a feedback that runs out
// of memory on cue. In the tables "↵" stands for CR LF and "→" for a tab, as a reader sees
// them in a page.
#pragma once

#include <new>
#include <string>
#include <string_view>

#include "support/test_support.h"

namespace vk::test {

// The bytes a table entry stands for.
inline std::string Bytes(std::string_view shown) {
  std::string out;
  for (std::size_t i = 0; i < shown.size();) {
    if (shown.substr(i, 3) == "↵") {
      out += "\r\n";
      i += 3;
    } else if (shown.substr(i, 3) == "→") {
      out += '\t';
      i += 3;
    } else {
      out += shown[i++];
    }
  }
  return out;
}

// Shows control bytes, so a failing comparison says which white space is where.
inline std::string Visible(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 32 || c >= 0x80) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Records like RecordingFeedback; the yield numbered `failAt` (from 1) runs out of memory.
class FailingYield : public RecordingFeedback {
 public:
  explicit FailingYield(int failAt) : failAt_(failAt) {}
  void Yield() override {
    RecordingFeedback::Yield();
    if (yields == failAt_) throw std::bad_alloc();
  }

 private:
  int failAt_;
};

// A block, what the block rules make of it, Changed and the number of yields.
struct BlockExample {
  const char* block;
  const char* result;
  bool changed;
  int yields;
};

inline const BlockExample kBlockExamples[] = {
    {"a   b", "a b", true, 0},
    {"eins↵zwei", "eins zwei", true, 1},
    {"<p>↵Text</p>", "<p> Text</p>", true, 1},
    {"Text↵<b>fett</b>", "Text<b>fett</b>", true, 1},
    {"x=↵y", "x= y", true, 1},
    {"a↵↵b", "a  b", true, 1},
    {"a↵↵<b>", "a <b>", true, 1},
    {"a ↵b", "a  b", true, 1},
    {"a →b", "a b", true, 1},
    {"<td>↵→→<b>", "<td><b>", true, 2},
    {"<b>x</b> <i>y</i>", "<b>x</b><i>y</i>", true, 0},
    {"<b>x</b> <a href=y>z</a>", "<b>x</b> <a href=y>z</a>", false, 0},
    {"<b>x</b> <A HREF=y>z</A>", "<b>x</b><A HREF=y>z</A>", true, 0},
    {"<b>x</b> <abbr>y</abbr>", "<b>x</b> <abbr>y</abbr>", false, 0},
    {"</b> </a>", "</b></a>", true, 0},
    {"↵↵Text", "  Text", true, 1},
    {"Ende↵", "Ende", true, 1},
    {"Ende ", "Ende", false, 0},
    // Further cases around the same rules.
    {"", "", false, 0},
    {"   ", "", true, 0},
    {"a\rb", "a b", true, 1},
    {"a\nb", "a b", true, 1},
    {"a\r\r\nb", "a b", true, 2},  // the CR LF leaves a blank, which silences the lone CR
    {"a\n\rb", "a b", true, 2},    // the LF sees the CR gone by its turn
    {"a\n\nb", "a  b", true, 1},
    {"a\r\rb", "a  b", true, 1},
    {"a↵\rb", "a  b", true, 2},
    {"a↵\nb", "a  b", true, 2},
    {"a\r↵b", "a b", true, 2},
    {"a\n↵b", "a b", true, 2},
    {"a↵=b", "a=b", true, 1},
    {"a↵>b", "a>b", true, 1},
    {"a↵ b", "a b", true, 1},
    {"a ↵ b", "a  b", true, 1},  // blanks are collapsed before line breaks are removed
    {"a→↵b", "a b", true, 2},
    {"a → b", "a  b", true, 1},  // tabs go after blanks were collapsed
    {"<b>  <i>", "<b><i>", true, 0},
    {"<b>→<i>", "<b><i>", true, 1},
    {"<b> → <i>", "<b>  <i>", true, 1},
    {"<b>↵<i>", "<b><i>", true, 1},
    {"<b>↵<a>", "<b><a>", true, 1},  // no blank is put before '<' in the first place
    {"<b>↵x<a>", "<b> x<a>", true, 1},
    {"<b> <", "<b><", true, 0},  // nothing after the '<': the blank goes
    {"> <", "><", true, 0},
    {" <a", " <a", false, 0},
    {"> <a", "> <a", false, 0},
    {"> <A", "><A", true, 0},
    {"> < <x", ">< <x", true, 0},
    {"x> <b> <c", "x><b><c", true, 0},
    {"a\x0b\x0c\x01 ", "a", false, 0},  // every byte up to 32 is trimmed at the end
    {"\001a", "\001a", false, 0},
    {"\xE4\xF6  \xFC", "\xE4\xF6 \xFC", true, 0},
    {"a\240\240b", "a\240\240b", false, 0},  // only byte 32 is a blank
};

// A page, what the file holds afterwards (nullptr: untouched) and the message shown
// ("pre": the end of a pre area is missing, "script": the end of a script, "": none).
struct PageExample {
  const char* page;
  const char* after;
  const char* error;
};

inline const PageExample kPageExamples[] = {
    {"<html>↵<head>↵<SCRIPT LANGUAGE=JavaScript>↵  var a = 1;↵</SCRIPT>↵</head>↵<body>↵"
     "<p>Hallo  Welt</p>↵</body>↵</html>↵",
     "<html><head><script LANGUAGE=JavaScript>↵  var a = 1;↵</script></head><body>"
     "<p>Hallo Welt</p></body></html>",
     ""},
    {"<p>Text</p>↵<PRE>↵  code   here↵</PRE>↵<p>More↵text</p>↵",
     "<p>Text</p><pre>↵  code   here↵</pre><p>More text</p>", ""},
    {"<p>x</p>↵<script>s</script>↵Text danach", "<p>x</p><script>s</script>Text danach", ""},
    {"<p>x</p> <SCRIPT>s</SCRIPT> Text", nullptr, ""},
    {"<p>a  b</p>↵<script>x</script><pre>z</pre><script>y</script>",
     "<p>a b</p><script>x</script><pre>z</pre><script>y</script>", ""},
    {"<pre>a  b</pre>", nullptr, ""},
    {"  <p>a</p>", " <p>a</p>", ""},
    {"  <pre>x</pre>", "<pre>x</pre>", ""},
    {"<p>a</p>↵<script>x↵<p>b</p>", nullptr, "script"},
    {"<p>a</p>↵<pre>x↵<p>b</p>", nullptr, "pre"},
    {"<pre>x<script>y</script>z</pre>", nullptr, "pre"},
    {"<script>document.write('<pre>')</script>↵<p>a  b</p>",
     "<script>document.write('<pre>')</script><p>a b</p>", ""},
    {"<PREVIEW>a</PREVIEW>", nullptr, "pre"},
    {"Text ", nullptr, ""},
    {"<style>↵  p  { color: red }↵</style>", "<style> p { color: red }</style>", ""},
    {"<textarea>a  b↵c</textarea>", "<textarea>a b c</textarea>", ""},
    {"<!--  note  -->↵<p>x</p>", "<!-- note --><p>x</p>", ""},
    // An end tag that stands only ahead of its opening tag.
    {"</pre> x <pre> y", nullptr, "pre"},
    {"</script> x <script> y", nullptr, "script"},
    // Lowered tag names alone are no reason to write; with a change they are written lowered.
    {"<PRE>x</PRE>", nullptr, ""},
    {"<PRE>x</PRE>  y", "<pre>x</pre> y", ""},
    {"<Script>s</SCRIPT>↵</Pre>  </SCRIPT >", "<script>s</script></pre></script >", ""},
    {"<SCRIPT>s</SCRIPT>a →b", "<script>s</script>a b", ""},
    // Only those four names change case; "<scripts" and "<prefix" begin with them.
    {"<SCRIPTS>s</SCRIPT><PREFIX>p</PRE>  x", "<scriptS>s</script><preFIX>p</pre> x", ""},
    // Without a protected block nothing is lowered.
    {"</PRE>  </SCRIPT>", "</PRE></SCRIPT>", ""},
};

}  // namespace vk::test
