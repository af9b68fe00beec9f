#include "engine/compress.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <new>
#include <string>
#include <vector>

#include "engine/compress_examples.h"
#include "fs/disk_file_access.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::BlockExample;
using test::Bytes;
using test::FailingYield;
using test::kBlockExamples;
using test::kPageExamples;
using test::PageExample;
using test::RecordingFeedback;
using test::Visible;

std::string PreMissing(const std::string& file) {
  return "In " + file + " fehlt das Ende des Pre-Bereichs! Bearbeitung abgebrochen!";
}
std::string ScriptMissing(const std::string& file) {
  return "In " + file + " fehlt das Ende des Scripts! Bearbeitung abgebrochen!";
}
std::string CannotAccess(const std::string& file) {
  return "Konnte " + file + " nicht öffnen, schreiben oder Fehler in Datei!";
}
const char kBlockFailure[] = "Exception während der Komprimierung des HTML Blocks!";

// Pages kept in memory; counts the writes and can be told to fail reading or writing.
class MemoryFiles : public FileAccess {
 public:
  FileStatus Read(const std::string& path, std::string* content) override {
    ++reads;
    auto it = pages.find(path);
    if (failRead || it == pages.end()) return FileStatus::Error(FileStatus::Code::kNotFound);
    *content = it->second;
    return FileStatus::Ok();
  }
  FileStatus Write(const std::string& path, std::string_view content) override {
    ++writes;
    if (failWrite) return FileStatus::Error(FileStatus::Code::kIoError, 28);
    pages[path] = std::string(content);
    return FileStatus::Ok();
  }
  std::map<std::string, std::string> pages;
  bool failRead = false;
  bool failWrite = false;
  int reads = 0;
  int writes = 0;
};

TEST(CompressHtmlBlock, RulesTable) {
  for (const BlockExample& row : kBlockExamples) {
    const std::string block = Bytes(row.block);
    std::string text = block;
    RecordingFeedback feedback;
    const bool changed = CompressHtmlBlock(text, feedback);
    EXPECT_EQ(Visible(text), Visible(Bytes(row.result))) << Visible(block);
    EXPECT_EQ(changed, row.changed) << Visible(block);
    EXPECT_EQ(feedback.yields, row.yields) << Visible(block);
    EXPECT_TRUE(feedback.errors.empty()) << Visible(block);
  }
}

TEST(CompressHtmlBlock, YieldsAtEveryFiftiethPositionOfTheTagGapScan) {
  struct Row {
    std::string block;
    std::string result;
    int yields;
  } rows[] = {
      {std::string(49, 'x'), std::string(49, 'x'), 0},
      {std::string(50, 'x'), std::string(50, 'x'), 1},
      {std::string(149, 'x'), std::string(149, 'x'), 2},
      // The count follows the length after the gaps went: 50 bytes, one of them a gap.
      {std::string(44, 'x') + "<p> <p", std::string(44, 'x') + "<p><p", 0},
      // Trailing blanks are counted: the trim comes after the scan.
      {std::string(49, 'x') + " ", std::string(49, 'x'), 1},
      {std::string(48, 'x') + "   \x01", std::string(48, 'x'), 1},
      // Line breaks and tabs add their pass's yield.
      {std::string(60, 'x') + "\r\n" + "y", std::string(60, 'x') + " y", 2},
  };
  for (const Row& row : rows) {
    std::string text = row.block;
    RecordingFeedback feedback;
    CompressHtmlBlock(text, feedback);
    EXPECT_EQ(text, row.result);
    EXPECT_EQ(feedback.yields, row.yields) << Visible(row.block);
  }
}

TEST(CompressHtmlBlock, LongBlocksKeepTheirGapsAndYieldsAcrossTheWholeLength) {
  // Long enough to be walked in several stretches; every gap is decided the same way.
  std::string block;
  std::string expected;
  for (int k = 0; k < 30000; ++k) {
    block += "<b> <i>\r\n\t<a> <x>  y <p> <td>\t<tr>\r\n<span>z</span> <div> ";
    expected += "<b> <i> <a> <x> y <p><td><tr> <span>z</span> <div> ";
  }
  expected.pop_back();
  RecordingFeedback feedback;
  EXPECT_TRUE(CompressHtmlBlock(block, feedback));
  EXPECT_EQ(block, expected);
  // Length after the gap scan is the result plus its trailing blank; plus CR LF and tab.
  EXPECT_EQ(feedback.yields, static_cast<int>((expected.size() + 1) / 50) + 2);
}

TEST(CompressHtmlBlock, OutOfMemoryGivesTheBlockBackUnchanged) {
  const std::string blocks[] = {"a\r\nb", "x\ty  ", std::string(120, 'z') + "\n"};
  for (const std::string& block : blocks) {
    std::string text = block;
    FailingYield feedback(1);
    EXPECT_FALSE(CompressHtmlBlock(text, feedback));
    EXPECT_EQ(text, block);
    EXPECT_EQ(feedback.errors, std::vector<std::string>{kBlockFailure});
  }
}

TEST(CompressPreBlocks, KeepsPreBlocksAndCompressesAround) {
  struct Row {
    const char* piece;
    bool ok;
    const char* result;
  } rows[] = {
      {"a  b<pre>x  y</pre>c  d", true, "a b<pre>x  y</pre>c d"},
      {"a <pre>x</pre>", true, "a<pre>x</pre>"},  // the stretch ahead is trimmed at its end
      {"<pre>x</pre>↵b", true, "<pre>x</pre> b"},
      {"<pre>x</pre>↵<b>", true, "<pre>x</pre> <b>"},
      {"<pre>x</pre>↵<p>", true, "<pre>x</pre><p>"},
      {"<PRE>x</PRE>  <pre>→</pre>", true, "<PRE>x</PRE><pre>→</pre>"},
      {"<pre>a<pre>b</pre>c  d", true, "<pre>a<pre>b</pre>c d"},  // the first end closes
      {"<preview>x</pre>", true, "<preview>x</pre>"},
      {"no tags  here", true, "no tags here"},
      {"", true, ""},
      {"a<pre>b", false, ""},
      {"</pre> x <pre> y", false, ""},  // an end tag ahead of the opening one does not count
      {"<pre>x</pre ><p>", false, ""},
      {"<pre>a</pre><pre>b", false, ""},
  };
  for (const Row& row : rows) {
    RecordingFeedback feedback;
    std::string result = "untouched";
    EXPECT_EQ(CompressPreBlocks(Bytes(row.piece), result, "f.htm", feedback), row.ok) << row.piece;
    if (row.ok) {
      EXPECT_EQ(Visible(result), Visible(Bytes(row.result))) << row.piece;
      EXPECT_TRUE(feedback.errors.empty()) << row.piece;
    } else {
      EXPECT_EQ(result, "untouched") << row.piece;
      EXPECT_EQ(feedback.errors, std::vector<std::string>{PreMissing("f.htm")}) << row.piece;
    }
  }
}

TEST(CompressScriptBlocks, CutsAtScriptsAndRemovesTheWhiteSpaceAroundThem) {
  struct Row {
    const char* text;
    bool ok;
    const char* output;
    bool writeNeeded;
    const char* error;  // "pre", "script" or ""
  } rows[] = {
      {"a <script>x  y</script> b", true, "a<script>x  y</script>b", false, ""},
      {"a  b↵<script>s</script>↵c", true, "a b<script>s</script>c", true, ""},
      {"<SCRIPT>s</SCRIPT>", true, "<SCRIPT>s</SCRIPT>", false, ""},
      {"↵<script>s</script>", true, "<script>s</script>", true, ""},
      {" → <script>s</script>", true, "<script>s</script>", true, ""},
      // A tab run behind a control byte becomes a blank, which goes with the white space.
      {"\x01→b<script>s</script>\x01→c", true, "b<script>s</script>c", true, ""},
      {"<script>s</script>\x01→<b>x</b> <i>y</i>", true, "<script>s</script><b>x</b> <i>y</i>",
       true, ""},
      {"<script>s</script>\x01<b>x</b> <i>y</i>", true, "<script>s</script><b>x</b> <i>y</i>",
       false, ""},
      {"<script>s</script> x", true, "<script>s</script>x", false, ""},
      // A piece with a pre block counts as changed when its result differs at all, and the
      // blank ahead of "<pre" is trimmed away as the end of the stretch before it.
      {"<script>s</script> <pre>x</pre>", true, "<script>s</script><pre>x</pre>", true, ""},
      {"<script>s</script><pre>x</pre> ", true, "<script>s</script><pre>x</pre>", true, ""},
      {"<script>s</script><pre>x</pre>", true, "<script>s</script><pre>x</pre>", false, ""},
      {"<script><pre></script><pre>a  b</pre>", true, "<script><pre></script><pre>a  b</pre>",
       false, ""},
      {"x <pre>y</pre><script>s</script>", true, "x<pre>y</pre><script>s</script>", true, ""},
      {"<script>s</script >x", false, "", false, "script"},
      {"</script><script>x", false, "", false, "script"},
      {"<pre>x<script>y</script>z</pre>", false, "", false, "pre"},
      {"a  b<script>s</script><pre>x", false, "", false, "pre"},
  };
  for (const Row& row : rows) {
    RecordingFeedback feedback;
    std::string output = "kept:";
    bool writeNeeded = false;
    EXPECT_EQ(CompressScriptBlocks(Bytes(row.text), output, writeNeeded, "f.htm", feedback), row.ok)
        << row.text;
    EXPECT_EQ(Visible(output), Visible("kept:" + Bytes(row.output))) << row.text;
    EXPECT_EQ(writeNeeded, row.writeNeeded) << row.text;
    std::vector<std::string> errors;
    if (std::string(row.error) == "pre") errors.push_back(PreMissing("f.htm"));
    if (std::string(row.error) == "script") errors.push_back(ScriptMissing("f.htm"));
    EXPECT_EQ(feedback.errors, errors) << row.text;
  }
}

TEST(CompressHtmlText, WholePagesKeepPreAndScriptBlocks) {
  for (const PageExample& row : kPageExamples) {
    const std::string page = Bytes(row.page);
    RecordingFeedback feedback;
    std::string output = "not set";
    const CompressOutcome outcome = CompressHtmlText(page, output, "seite.htm", feedback);
    std::vector<std::string> errors;
    if (std::string(row.error) == "pre") errors.push_back(PreMissing("seite.htm"));
    if (std::string(row.error) == "script") errors.push_back(ScriptMissing("seite.htm"));
    EXPECT_EQ(feedback.errors, errors) << row.page;
    if (row.after != nullptr) {
      EXPECT_EQ(outcome, CompressOutcome::kChanged) << row.page;
      EXPECT_EQ(Visible(output), Visible(Bytes(row.after))) << row.page;
    } else {
      EXPECT_EQ(outcome, errors.empty() ? CompressOutcome::kUnchanged : CompressOutcome::kAborted)
          << row.page;
      EXPECT_EQ(output, "not set") << row.page;
    }
  }
}

// The characters of UTF-8 pages that look most like white space or markup to a byte rule:
// no-break space (C2 A0), "Å" (whose C3 85 holds Latin-1's next-line byte), the line separator,
// the euro sign, a four-byte character and the byte-order mark.
const std::string kMultiByte[] = {"\xC3\xA4",     "\xC2\xA0",         "\xC3\x85",    "\xE2\x80\xA8",
                                  "\xE2\x82\xAC", "\xF0\x9D\x84\x9E", "\xEF\xBB\xBF"};

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(CompressHtmlBlock, MultiByteCharactersNextToEveryRule) {
  // Compression touches bytes below 0x80 only, and a UTF-8 sequence holds none: a character
  // put anywhere in a block comes out exactly as the single byte 0xFF put there does.
  for (const BlockExample& row : kBlockExamples) {
    const std::string block = Bytes(row.block);
    for (std::size_t at = 0; at <= block.size(); ++at) {
      std::string withByte = block;
      withByte.insert(at, "\xFF");
      RecordingFeedback feedback;
      const bool byteChanged = CompressHtmlBlock(withByte, feedback);
      for (const std::string& c : kMultiByte) {
        std::string withChar = block;
        withChar.insert(at, c);
        EXPECT_EQ(CompressHtmlBlock(withChar, feedback), byteChanged) << Visible(block) << at;
        EXPECT_EQ(Visible(withChar), Visible(ReplaceAll(withByte, "\xFF", c))) << at;
      }
    }
  }
}

TEST(CompressHtmlText, MultiByteCharactersNextToEveryRule) {
  for (const PageExample& row : kPageExamples) {
    const std::string page = Bytes(row.page);
    for (std::size_t at = 0; at <= page.size(); ++at) {
      std::string withByte = page;
      withByte.insert(at, "\xFF");
      RecordingFeedback byteFeedback;
      std::string byteOutput;
      const CompressOutcome byteOutcome =
          CompressHtmlText(withByte, byteOutput, "seite.htm", byteFeedback);
      for (const std::string& c : kMultiByte) {
        std::string withChar = page;
        withChar.insert(at, c);
        RecordingFeedback feedback;
        std::string output;
        EXPECT_EQ(CompressHtmlText(withChar, output, "seite.htm", feedback), byteOutcome)
            << Visible(withChar);
        EXPECT_EQ(Visible(output), Visible(ReplaceAll(byteOutput, "\xFF", c))) << Visible(withChar);
        EXPECT_EQ(feedback.errors, byteFeedback.errors);
      }
    }
  }
  // And as a reader sees it: "häufig €" keeps its characters, the pre block its "𝄞".
  RecordingFeedback feedback;
  std::string output;
  ASSERT_EQ(CompressHtmlText(Bytes("\xEF\xBB\xBF<p>h\xC3\xA4ufig  \xE2\x82\xAC</p>↵<PRE>  "
                                   "\xF0\x9D\x84\x9E\xC2\xA0 </PRE>↵"),
                             output, "seite.htm", feedback),
            CompressOutcome::kChanged);
  EXPECT_EQ(Visible(output), Visible(Bytes("\xEF\xBB\xBF<p>h\xC3\xA4ufig \xE2\x82\xAC</p><pre>  "
                                           "\xF0\x9D\x84\x9E\xC2\xA0 </pre>")));
}

TEST(CompressHtmlText, OutOfMemoryInOneBlockLeavesThatBlockAndGoesOn) {
  struct Row {
    std::string text;
    int failAt;
    CompressOutcome outcome;
    std::string output;
  } rows[] = {
      // The first piece's CR LF pass runs out of memory: it stays, the last piece changes.
      {"<p>a\r\nb</p> <script>s</script> <p>c\r\nd</p>", 1, CompressOutcome::kChanged,
       "<p>a\r\nb</p><script>s</script><p>c d</p>"},
      // The last piece fails; it is still trimmed next to the script.
      {"<p>a\r\nb</p><script>s</script>\r\n<p>c\r\nd</p>", 2, CompressOutcome::kChanged,
       "<p>a b</p><script>s</script><p>c\r\nd</p>"},
      {"x\r\ny", 1, CompressOutcome::kUnchanged, ""},
      // A pre block's neighbour fails; the piece still differs through the other stretch.
      {"a\tb<pre>x</pre>c\td", 1, CompressOutcome::kChanged, "a\tb<pre>x</pre>c d"},
  };
  for (const Row& row : rows) {
    FailingYield feedback(row.failAt);
    std::string output;
    EXPECT_EQ(CompressHtmlText(row.text, output, "f.htm", feedback), row.outcome)
        << Visible(row.text);
    EXPECT_EQ(Visible(output), Visible(row.output));
    EXPECT_EQ(feedback.errors, std::vector<std::string>{kBlockFailure}) << Visible(row.text);
  }
}

TEST(CompressHtmlFile, PagesOnDisk) {
  test::TempDir dir;
  for (const PageExample& row : kPageExamples) {
    const std::string path = dir.File("seite.htm");
    const std::string page = Bytes(row.page);
    test::WriteFile(path, page);
    RecordingFeedback feedback;
    CompressHtmlFile(path, feedback, DiskFileAccess());
    EXPECT_EQ(Visible(test::ReadFile(path)),
              Visible(row.after != nullptr ? Bytes(row.after) : page))
        << row.page;
    std::vector<std::string> errors;
    if (std::string(row.error) == "pre") errors.push_back(PreMissing(path));
    if (std::string(row.error) == "script") errors.push_back(ScriptMissing(path));
    EXPECT_EQ(feedback.errors, errors) << row.page;
  }
}

TEST(CompressHtmlFile, WritesOnlyWhenSomethingWasCompressedAndYieldsAfterReading) {
  struct Row {
    std::string page;
    int writes;
    int yields;
  } rows[] = {
      {"", 0, 0},       // empty: nothing at all
      {"Text ", 0, 1},  // trimming alone is no reason to write
      {"a  b", 1, 1},
      {"<p>a\r\nb</p>", 1, 2},
      {"<pre>a\r\nb</pre>", 0, 1},
      {std::string(100, 'x'), 0, 3},
  };
  for (const Row& row : rows) {
    MemoryFiles files;
    files.pages["/p.htm"] = row.page;
    RecordingFeedback feedback;
    CompressHtmlFile("/p.htm", feedback, files);
    EXPECT_EQ(files.writes, row.writes) << Visible(row.page);
    EXPECT_EQ(feedback.yields, row.yields) << Visible(row.page);
    EXPECT_TRUE(feedback.errors.empty());
  }
}

TEST(CompressHtmlFile, FailuresLeaveThePageAsItWas) {
  using namespace std::string_literals;
  {  // cannot be read
    MemoryFiles files;
    RecordingFeedback feedback;
    CompressHtmlFile("/fehlt.htm", feedback, files);
    EXPECT_EQ(feedback.errors, std::vector<std::string>{CannotAccess("/fehlt.htm")});
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(feedback.yields, 0);
  }
  {  // cannot be written
    MemoryFiles files;
    files.pages["/p.htm"] = "a  b";
    files.failWrite = true;
    RecordingFeedback feedback;
    CompressHtmlFile("/p.htm", feedback, files);
    EXPECT_EQ(feedback.errors, std::vector<std::string>{CannotAccess("/p.htm")});
    EXPECT_EQ(files.pages["/p.htm"], "a  b");
  }
  {  // a NUL byte: the rest of the page would be lost, so nothing happens
    MemoryFiles files;
    files.pages["/n.htm"] = "a  b\0c  d"s;
    RecordingFeedback feedback;
    CompressHtmlFile("/n.htm", feedback, files);
    EXPECT_EQ(
        feedback.errors,
        std::vector<std::string>{"Die Datei /n.htm enthält Null-Bytes und wird nicht verändert!"});
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(files.pages["/n.htm"], "a  b\0c  d"s);
  }
}

TEST(CompressHtmlFile, FailuresOnDisk) {
  test::TempDir dir;
  {  // a missing file
    RecordingFeedback feedback;
    CompressHtmlFile(dir.File("fehlt.htm"), feedback, DiskFileAccess());
    EXPECT_EQ(feedback.errors, std::vector<std::string>{CannotAccess(dir.File("fehlt.htm"))});
  }
  {  // a folder
    RecordingFeedback feedback;
    CompressHtmlFile(dir.Path(), feedback, DiskFileAccess());
    EXPECT_EQ(feedback.errors, std::vector<std::string>{CannotAccess(dir.Path())});
  }
  {  // a read-only page is never replaced, also not for root
    const std::string path = dir.File("nur-lesen.htm");
    test::WriteFile(path, "a  b\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    RecordingFeedback feedback;
    CompressHtmlFile(path, feedback, DiskFileAccess());
    EXPECT_EQ(feedback.errors, std::vector<std::string>{CannotAccess(path)});
    EXPECT_EQ(test::ReadFile(path), "a  b\r\n");
  }
}

}  // namespace
}  // namespace vk
