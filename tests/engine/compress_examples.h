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
    {"Text↵<b>fett</b>", "Text <b>fett</b>", true, 1},
    {"x=↵y", "x= y", true, 1},
    {"a↵↵b", "a  b", true, 1},
    {"a↵↵<b>", "a  <b>", true, 1},
    {"a ↵b", "a  b", true, 1},
    {"a →b", "a b", true, 1},
    {"<td>↵→→<b>", "<td> <b>", true, 2},
    {"<b>x</b> <i>y</i>", "<b>x</b> <i>y</i>", false, 0},
    {"<b>x</b> <a href=y>z</a>", "<b>x</b> <a href=y>z</a>", false, 0},
    {"<b>x</b> <A HREF=y>z</A>", "<b>x</b> <A HREF=y>z</A>", false, 0},
    {"<b>x</b> <abbr>y</abbr>", "<b>x</b> <abbr>y</abbr>", false, 0},
    {"</b> </a>", "</b> </a>", false, 0},
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
    {"<b>  <i>", "<b> <i>", true, 0},
    {"<b>→<i>", "<b> <i>", true, 1},
    {"<b> → <i>", "<b>  <i>", true, 1},
    {"<b>↵<i>", "<b> <i>", true, 1},
    {"<b>↵<a>", "<b> <a>", true, 1},
    {"<b>↵x<a>", "<b> x<a>", true, 1},
    {"<b> <", "<b> <", false, 0},
    {"> <", "> <", false, 0},
    {" <a", " <a", false, 0},
    {"> <a", "> <a", false, 0},
    {"> <A", "> <A", false, 0},
    {"> < <x", "> < <x", false, 0},
    {"x> <b> <c", "x> <b> <c", false, 0},
    {"a\x0b\x0c\x01 ", "a", false, 0},  // every byte up to 32 is trimmed at the end
    {"\001a", "\001a", false, 0},
    {"\xE4\xF6  \xFC", "\xE4\xF6 \xFC", true, 0},
    {"<p>  <td>", "<p><td>", true, 0},
    {"<p>→<td>", "<p><td>", true, 1},  // the tab leaves a blank, and the gap scan takes it
    {"<p>↵<td>", "<p><td>", true, 1},  // no blank is put before a block tag's '<'
    {"<p> <", "<p><", true, 0},        // nothing after the '<': the blank goes
    {"<P> <A", "<P> <A", false, 0},
    {"<P> <AREA>", "<P><AREA>", true, 0},
    {"<p> <area>", "<p> <area>", false, 0},  // a lower-case 'a' behind the '<' keeps it
    {"x<p> <td> <c", "x<p><td><c", true, 0},
    // Blank between tags: an inline element on either side keeps it; a '>' that closes no tag
    // (text, a comment with a '>' inside, a '<' not followed by a letter, '/' or '!') too.
    {"</b> <i>", "</b> <i>", false, 0},
    {"</td> <td>", "</td><td>", true, 0},
    {"</p> <b>", "</p> <b>", false, 0},
    {"<br> <b>", "<br> <b>", false, 0},
    {"<br> <p>", "<br><p>", true, 0},
    {"<p> </b>", "<p> </b>", false, 0},
    {"<!-- x --> <b>", "<!-- x --> <b>", false, 0},
    {"<!-- x --> <p>", "<!-- x --><p>", true, 0},
    {"<!-- a > b --> <p>", "<!-- a > b --> <p>", false, 0},
    {"<!DOCTYPE html> <html>", "<!DOCTYPE html><html>", true, 0},
    {"Filter</span> -> <span>", "Filter</span> -> <span>", false, 0},
    {"-> <p>", "-> <p>", false, 0},
    {"a > <b>", "a > <b>", false, 0},
    {"x < y > <p>", "x < y > <p>", false, 0},
    {"<1> <p>", "<1> <p>", false, 0},
    {"<> <p>", "<> <p>", false, 0},
    {"</> <p>", "</><p>", true, 0},
    {"<p/> <p>", "<p/><p>", true, 0},
    {"</B> <I>", "</B> <I>", false, 0},
    {"</TD> <TD>", "</TD><TD>", true, 0},
    {"</Span> <Div>", "</Span> <Div>", false, 0},
    {"<img src=x> <img src=y>", "<img src=x> <img src=y>", false, 0},
    {"<h1> <h2>", "<h1><h2>", true, 0},
    {"<textarea> <p>", "<textarea> <p>", false, 0},
    {"<textareas> <p>", "<textareas><p>", true, 0},  // the name runs on: no inline element
    {"<bx> <p>", "<bx><p>", true, 0},
    {"<b-x> <p>", "<b-x> <p>", false, 0},  // the name ends at the '-'
    {"<p> <b", "<p> <b", false, 0},        // a name cut off by the end counts as it is
    {"<td>→<b>x</b>→</td>", "<td> <b>x</b> </td>", true, 1},
    // Line breaks before a tag: a blank before an inline element's tag, none before others.
    {"Text↵<a href=x>", "Text <a href=x>", true, 1},
    {"Text↵<b>", "Text <b>", true, 1},
    {"Text↵</b>", "Text </b>", true, 1},
    {"Text\n<SPAN>", "Text <SPAN>", true, 1},
    {"Text\r</I>", "Text </I>", true, 1},
    {"Text↵<p>", "Text<p>", true, 1},
    {"Text↵</p>", "Text</p>", true, 1},
    {"Text↵<!-- x -->", "Text<!-- x -->", true, 1},
    {"Text↵<br>", "Text<br>", true, 1},
    {"Text↵<bx>", "Text<bx>", true, 1},
    {"Text↵<", "Text<", true, 1},
    {"Text↵<b", "Text <b", true, 1},
    {"<td>↵<span>x</span>↵</td>", "<td> <span>x</span></td>", true, 1},
    {"a\n\r\n<b>", "a <b>", true, 2},  // the CR LF leaves a blank, which silences the LF
    {"a\r\n\n<b>", "a  <b>", true, 2},
    {"a↵\r<i>", "a  <i>", true, 2},
    // Tab runs: one blank between two bytes that are not blanks, nothing elsewhere.
    {"a→b", "a b", true, 1},
    {"a→→→b", "a b", true, 1},
    {"a→ b", "a b", true, 1},
    {"→a→", "a", true, 1},
    {"→→", "", true, 1},
    {"<td>→Text", "<td> Text", true, 1},
    {"Text→</td>", "Text </td>", true, 1},
    {"<td>→<td>", "<td><td>", true, 1},
    {"a→↵→b", "a b", true, 2},  // the line break leaves a blank between the two runs
    {"a→↵<p>", "a <p>", true, 2},
    {"a→↵<b>", "a <b>", true, 2},
    {"a→\nb", "a b", true, 2},
    {"a\x01→b", "a\x01 b", true, 1},
    {"=→=", "= =", true, 1},
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
    // Words stay apart; a blank that stays is no reason to write.
    {"<p>Hallo</p>↵<p>Welt</p>", "<p>Hallo</p><p>Welt</p>", ""},
    {"<b>Hallo</b> <i>Welt</i>", nullptr, ""},
    {"Hallo↵<b>Welt</b>", "Hallo <b>Welt</b>", ""},
    {"Hallo→Welt", "Hallo Welt", ""},
    {"Filter</span> -> <span>x</span>", nullptr, ""},
    {"<script>s</script><b>x</b> <i>y</i>", nullptr, ""},
    {"<pre>x</pre><b>x</b> <i>y</i>", nullptr, ""},
    {"<b>x</b> <i>y</i><pre>p</pre>↵<span>z</span>", "<b>x</b> <i>y</i><pre>p</pre> <span>z</span>",
     ""},
    // Without a protected block nothing is lowered.
    {"</PRE>  </SCRIPT>", "</PRE></SCRIPT>", ""},
};

}  // namespace vk::test
