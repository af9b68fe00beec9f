// One page in memory, written once, against the three file functions run one after the other
// on disk: the same bytes, counts, messages and rewrites, over generated pages and all seven
// operations.
#include "batch/page_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "batch/batch_support.h"
#include "batch/memory_page.h"
#include "batch/page_support.h"
#include "engine/encoding.h"
#include "engine/file_access.h"
#include "engine/special_chars.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::AgeFile;
using test::MTimeOf;
using test::ProcessPage;
using test::ProcessPageStepByStep;
using test::ReadFile;
using test::RecordingFeedback;
using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;

constexpr long long kAged = 1000000000LL * 1000000000LL;

// Pieces real pages are made of, plus the troublemakers: unclosed blocks, NUL bytes, umlauts
// inside META tags, lone CR and LF.
const std::vector<std::string> kWindows1252Pieces = {"<p>",
                                                     "</p>",
                                                     " ",
                                                     "  ",
                                                     "   ",
                                                     "\r\n",
                                                     "\n",
                                                     "\r",
                                                     "\t",
                                                     "<b>",
                                                     "</B>",
                                                     "Text",
                                                     "Gr\xFC\xDF"
                                                     "e",
                                                     "\xE4\xF6\xFC",
                                                     "\xA0",
                                                     "<META name=\"x\" content=\"\xE9t\xE9\">",
                                                     "<meta content='\xC4'>",
                                                     "<pre>",
                                                     "</pre>",
                                                     "<PRE>  a  </PRE>",
                                                     "<script>",
                                                     "</script>",
                                                     "<SCRIPT>var a  =  1;\r\n</SCRIPT>",
                                                     "<a href=x>",
                                                     "</a>",
                                                     "> <",
                                                     "<!-- c  -->",
                                                     "table",
                                                     "TABLE",
                                                     "&nbsp;",
                                                     "x",
                                                     "="};

// The same for UTF-8 pages: characters of two to four bytes, in META tags too, and a few
// stray Windows-1252 bytes.
const std::vector<std::string> kUtf8Pieces = {"<p>",
                                              "</p>",
                                              " ",
                                              "  ",
                                              "\r\n",
                                              "\t",
                                              "<b>",
                                              "</B>",
                                              "Text",
                                              "table",
                                              "<pre>",
                                              "</pre>",
                                              "<script>",
                                              "</script>",
                                              "&nbsp;",
                                              "h\xC3\xA4ufig",
                                              "Gr\xC3\xBC\xC3\x9F"
                                              "e",
                                              "\xC3\x84",
                                              "\xE2\x82\xAC",
                                              "\xF0\x9F\x98\x80",
                                              "\xE3\xA4\x98",
                                              "\xC2\xA0",
                                              "\xE4",
                                              "\xFC",
                                              "\x80",
                                              "<META content=\"\xC3\xA9t\xC3\xA9\">",
                                              "\xEF\xBB\xBF",
                                              "> <",
                                              "x",
                                              "="};

std::string GeneratePage(std::mt19937& random,
                         const std::vector<std::string>& pieces = kWindows1252Pieces) {
  std::uniform_int_distribution<int> length(0, 60);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> rare(0, 99);
  std::string page;
  const int n = length(random);
  for (int i = 0; i < n; ++i) {
    if (rare(random) == 0) page += '\0';
    page += pieces[pick(random)];
  }
  return page;
}

HtmlCodeList TestList() {
  return HtmlCodeList{{"<b>", "</b>", "table", "  ", "\xE4", "gr"},
                      {"<strong>", "</strong>", "table border=0", " ", "ae", ""}};
}

PageJob JobFor(int operation, bool ignoreMeta, bool dryRun = false) {
  PageJob job;
  job.flags = OperationKinds()[operation].flags;
  job.ignoreMetaTags = ignoreMeta;
  job.dryRun = dryRun;
  job.loadList = test::SharedList([](Feedback&) { return TestList(); });
  return job;
}

// `job` letting go of a page's old bytes once a step changed it; they are packed as a copy into
// *packed first.
PageJob LettingGo(PageJob job, std::vector<std::string>* packed) {
  job.mayLetGoOfOld = true;
  job.packOld = [packed](const std::string&, std::string_view oldBytes) {
    packed->emplace_back(oldBytes);
    return std::make_unique<RunJournal::Packed>();
  };
  return job;
}

struct Observed {
  PageOutcome outcome;
  std::vector<std::string> messages;
  std::string bytes;
  bool rewritten;
};

bool operator==(const Observed& a, const Observed& b) {
  return a.outcome.specialCount == b.outcome.specialCount &&
         a.outcome.encoding == b.outcome.encoding && a.outcome.htmlCount == b.outcome.htmlCount &&
         a.outcome.sizeAfter == b.outcome.sizeAfter && a.messages == b.messages &&
         a.bytes == b.bytes && a.rewritten == b.rewritten;
}

std::ostream& operator<<(std::ostream& out, const Observed& o) {
  out << "special " << o.outcome.specialCount << " html " << o.outcome.htmlCount << " size "
      << o.outcome.sizeAfter << " rewritten " << o.rewritten << " messages [";
  for (const std::string& m : o.messages) out << m << "; ";
  return out << "] " << o.bytes.size() << " bytes";
}

// Puts `content` at `path` with an old time stamp, runs `run` and reports what it saw.
template <typename Run>
Observed Observe(const std::string& path, const std::string& content, bool readOnly, Run run) {
  chmod(path.c_str(), 0644);
  WriteFile(path, content);
  if (readOnly) chmod(path.c_str(), 0444);
  AgeFile(path);
  RecordingFeedback feedback;
  Observed observed;
  observed.outcome = run(feedback);
  observed.messages = feedback.errors;
  observed.bytes = ReadFile(path);
  observed.rewritten = MTimeOf(path) != kAged;
  return observed;
}

TEST(PageRunTest, SingleWriteMatchesStepByStepOverGeneratedPages) {
  TempDir dir;
  const std::string path = dir.File("page.htm");
  std::mt19937 random(20260107);
  int rewrites = 0;
  int withMessages = 0;
  int lettingGoes = 0;  // runs that let go of the old bytes before their last step
  for (int pageNumber = 0; pageNumber < 20; ++pageNumber) {
    const std::string content = GeneratePage(random);
    for (int operation = 0; operation < 7; ++operation) {
      for (bool ignoreMeta : {false, true}) {
        for (bool readOnly : {false, true}) {
          const PageJob job = JobFor(operation, ignoreMeta);
          const Observed reference = Observe(path, content, readOnly, [&](Feedback& f) {
            return ProcessPageStepByStep(path, job, f);
          });
          const Observed fast = Observe(path, content, readOnly,
                                        [&](Feedback& f) { return ProcessPage(path, job, f); });
          std::vector<std::string> packed;
          const PageJob lettingGoJob = LettingGo(job, &packed);
          const Observed lettingGo = Observe(path, content, readOnly, [&](Feedback& f) {
            return ProcessPage(path, lettingGoJob, f);
          });
          const PageJob dryJob = JobFor(operation, ignoreMeta, true);
          const Observed dry = Observe(path, content, readOnly,
                                       [&](Feedback& f) { return ProcessPage(path, dryJob, f); });
          const PageJob dryLettingGoJob = LettingGo(dryJob, &packed);
          const Observed dryLettingGo = Observe(path, content, readOnly, [&](Feedback& f) {
            return ProcessPage(path, dryLettingGoJob, f);
          });
          const std::string where = "page " + std::to_string(pageNumber) + " operation " +
                                    std::to_string(operation) + (ignoreMeta ? " meta" : "") +
                                    (readOnly ? " read-only" : "");
          EXPECT_EQ(fast, reference) << where;
          EXPECT_EQ(lettingGo, reference) << where;
          EXPECT_EQ(dryLettingGo, dry) << where;
          // What was packed before the bytes went is the page as it was read.
          for (const std::string& bytes : packed) EXPECT_EQ(bytes, content) << where;
          lettingGoes += !packed.empty();
          // A dry run reports the real run and leaves the page as it was.
          EXPECT_EQ(dry.outcome.specialCount, reference.outcome.specialCount) << where;
          EXPECT_EQ(dry.outcome.htmlCount, reference.outcome.htmlCount) << where;
          EXPECT_EQ(dry.outcome.sizeAfter, reference.outcome.sizeAfter) << where;
          EXPECT_EQ(dry.messages, reference.messages) << where;
          EXPECT_EQ(dry.bytes, content) << where;
          EXPECT_FALSE(dry.rewritten) << where;
          rewrites += reference.rewritten;
          withMessages += !reference.messages.empty();
        }
      }
    }
  }
  // The generated pages exercise both outcomes.
  EXPECT_GT(rewrites, 100);
  EXPECT_GT(withMessages, 100);
  EXPECT_GT(lettingGoes, 100);
}

TEST(PageRunTest, SingleWriteMatchesStepByStepOverUtf8Pages) {
  TempDir dir;
  const std::string path = dir.File("page.htm");
  std::mt19937 random(14);
  int utf8Pages = 0;
  for (int pageNumber = 0; pageNumber < 12; ++pageNumber) {
    const std::string content = GeneratePage(random, kUtf8Pieces);
    utf8Pages += DecidePageEncoding(content) == PageEncoding::kUtf8;
    for (int operation = 0; operation < 7; ++operation) {
      for (bool readOnly : {false, true}) {
        const PageJob job = JobFor(operation, pageNumber % 2 == 0);
        const Observed reference = Observe(path, content, readOnly, [&](Feedback& f) {
          return ProcessPageStepByStep(path, job, f);
        });
        const Observed fast = Observe(path, content, readOnly,
                                      [&](Feedback& f) { return ProcessPage(path, job, f); });
        EXPECT_EQ(fast, reference) << "page " << pageNumber << " operation " << operation;
        EXPECT_EQ(fast.outcome.encoding, DecidePageEncoding(content));
      }
    }
  }
  EXPECT_GT(utf8Pages, 8);
}

TEST(PageRunTest, TheEncodingIsDecidedOnceBeforeTheFirstStep) {
  // Two sequences ("ä", "€") and two stray bytes make a UTF-8 page. Once the replacement has
  // made "ä" ASCII, its bytes alone would read as Windows-1252 and the conversion would break
  // the euro sign; decided once, it stays.
  TempDir dir;
  const std::string path = dir.File("p.htm");
  PageJob job = JobFor(4, false);
  job.loadList = test::SharedList([](Feedback&) { return HtmlCodeList{{"\xE4"}, {"ae"}}; });
  const std::string page = "\xC3\xA4\xE2\x82\xAC\xF6\xFC";
  const std::string expected = "ae\xE2\x82\xAC&ouml;&uuml;";
  const Observed reference =
      Observe(path, page, false, [&](Feedback& f) { return ProcessPageStepByStep(path, job, f); });
  const Observed fast =
      Observe(path, page, false, [&](Feedback& f) { return ProcessPage(path, job, f); });
  for (const Observed& run : {reference, fast}) {
    EXPECT_EQ(run.bytes, expected);
    EXPECT_EQ(run.outcome.htmlCount, 1);
    EXPECT_EQ(run.outcome.specialCount, 2);
    EXPECT_EQ(run.outcome.encoding, PageEncoding::kUtf8);
  }
  // The file functions on their own decide on what they read.
  WriteFile(path, "ae\xE2\x82\xAC\xF6\xFC");
  RecordingFeedback feedback;
  EXPECT_EQ(ConvertSpecialCharsInFile(path, false, feedback, DiskFileAccess()), 4);
  EXPECT_EQ(ReadFile(path), "ae&acirc;\x82&not;&ouml;&uuml;");
}

TEST(PageRunTest, MissingAndUnreadablePagesMatchStepByStep) {
  TempDir dir;
  const std::string missing = dir.File("gone.htm");
  const std::string folder = dir.File("folder.htm");
  mkdir(folder.c_str(), 0755);
  for (const std::string& path : {missing, folder}) {
    for (int operation = 0; operation < 7; ++operation) {
      for (bool dryRun : {false, true}) {
        RecordingFeedback reference;
        RecordingFeedback fast;
        const PageOutcome expected =
            ProcessPageStepByStep(path, JobFor(operation, false), reference);
        const PageOutcome got = ProcessPage(path, JobFor(operation, false, dryRun), fast);
        EXPECT_EQ(fast.errors, reference.errors) << path << " " << operation;
        EXPECT_EQ(got.sizeAfter, -1);
        EXPECT_EQ(expected.sizeAfter, -1);
        EXPECT_EQ(got.specialCount, 0);
        EXPECT_EQ(got.htmlCount, 0);
        EXPECT_EQ(got.encoding, std::nullopt);
      }
    }
  }
}

// Reads from disk; refuses every write, as a full disk would.
class RefusingDisk : public FileAccess {
 public:
  FileStatus Read(const std::string& path, std::string* content) override {
    return DiskFileAccess().Read(path, content);
  }
  FileStatus Write(const std::string&, std::string_view) override {
    ++writes;
    return FileStatus::Error(FileStatus::Code::kIoError, 28);
  }
  int writes = 0;
};

TEST(PageRunTest, FailedSingleWriteShowsTheStepByStepMessagesWithoutTouchingTheDisk) {
  TempDir dir;
  const std::string path = dir.File("p.htm");
  const std::string content = "<b>\xE4</b>  \r\n<p>x</p>";
  int loads = 0;
  PageJob job = JobFor(6, false);
  job.loadList = test::SharedList([&loads](Feedback& feedback) {
    ++loads;
    feedback.Error("Listenlängen werden angepasst!");
    return TestList();
  });
  RefusingDisk referenceDisk;
  const Observed reference = Observe(path, content, false, [&](Feedback& f) {
    return ProcessPageStepByStep(path, job, f, referenceDisk);
  });
  RefusingDisk fastDisk;
  const Observed fast = Observe(path, content, false,
                                [&](Feedback& f) { return ProcessPage(path, job, f, fastDisk); });
  EXPECT_EQ(fast, reference);
  EXPECT_EQ(loads, 2);  // once per run: the redo after the failed write reuses the list
  EXPECT_EQ(referenceDisk.writes, 3);
  EXPECT_EQ(fastDisk.writes, 1);  // the single write; the redo's writes fail in memory
  const std::string cannot = "Konnte " + path + " nicht öffnen, schreiben oder Fehler in Datei!";
  EXPECT_THAT(fast.messages,
              ElementsAre("Listenlängen werden angepasst!", cannot,
                          "Konnte " + path + " nicht öffnen oder schreiben!", cannot));
  EXPECT_EQ(fast.bytes, content);
  EXPECT_FALSE(fast.rewritten);
  EXPECT_EQ(fast.outcome.htmlCount, 4);
  EXPECT_EQ(fast.outcome.specialCount, 1);

  // A run that let go of the page's bytes reads them again for the same messages.
  std::vector<std::string> packed;
  const PageJob lettingGoJob = LettingGo(job, &packed);
  RefusingDisk lettingGoDisk;
  loads = 0;
  const Observed lettingGo = Observe(path, content, false, [&](Feedback& f) {
    return ProcessPage(path, lettingGoJob, f, lettingGoDisk);
  });
  EXPECT_EQ(lettingGo, reference);
  EXPECT_EQ(loads, 1);
  EXPECT_THAT(packed, ElementsAre(content));
}

// Notes what the page on disk holds when a message is shown.
class PageWatchingFeedback : public RecordingFeedback {
 public:
  explicit PageWatchingFeedback(std::string path) : path_(std::move(path)) {}
  void Error(const std::string& text) override {
    RecordingFeedback::Error(text);
    pageAtMessage.push_back(ReadFile(path_));
  }
  std::vector<std::string> pageAtMessage;

 private:
  std::string path_;
};

TEST(PageRunTest, MessagesShowOnceThePageIsWritten) {
  TempDir dir;
  const std::string path = dir.File("p.htm");
  // Replacement adds an unclosed pre block; conversion then works; compression gives up.
  WriteFile(path, "<b>\xE4</b>");
  PageJob job = JobFor(6, false);
  job.loadList = test::SharedList([](Feedback&) { return HtmlCodeList{{"<b>"}, {"<pre>"}}; });
  PageWatchingFeedback feedback(path);
  const PageOutcome outcome = ProcessPage(path, job, feedback);
  EXPECT_THAT(feedback.errors, ElementsAre("In " + path +
                                           " fehlt das Ende des Pre-Bereichs! Bearbeitung "
                                           "abgebrochen!"));
  EXPECT_THAT(feedback.pageAtMessage, ElementsAre("<pre>&auml;</b>"));
  EXPECT_EQ(ReadFile(path), "<pre>&auml;</b>");
  EXPECT_EQ(outcome.htmlCount, 1);
  EXPECT_EQ(outcome.specialCount, 1);
  EXPECT_EQ(outcome.sizeAfter, 15);
}

TEST(PageRunTest, LoaderExceptionShowsItsMessagesAndLeavesThePage) {
  TempDir dir;
  const std::string path = dir.File("p.htm");
  WriteFile(path, "<b>x</b>");
  PageJob job = JobFor(6, false);
  job.loadList = test::SharedList([](Feedback& feedback) -> HtmlCodeList {
    feedback.Error("first");
    throw std::runtime_error("store");
  });
  RecordingFeedback feedback;
  EXPECT_THROW(ProcessPage(path, job, feedback), std::runtime_error);
  EXPECT_THAT(feedback.errors, ElementsAre("first"));
  EXPECT_EQ(ReadFile(path), "<b>x</b>");
}

TEST(MemoryPageTest, ReadsTheBytesReadWritesInMemory) {
  const std::string path = "/site/p.htm";
  const std::string original = "abc";
  MemoryPage page(path, FileStatus::Ok(), original);
  std::string text = "stale";
  ASSERT_TRUE(page.Read(path, &text).ok());
  EXPECT_EQ(text, "abc");
  EXPECT_FALSE(page.Written());
  ASSERT_TRUE(page.Write(path, "xyz").ok());
  EXPECT_TRUE(page.Written());
  ASSERT_TRUE(page.Read(path, &text).ok());
  EXPECT_EQ(text, "xyz");
  EXPECT_EQ(page.Content(), "xyz");
  EXPECT_EQ(original, "abc");
  // A step touches its page only.
  EXPECT_EQ(page.Read("/site/other.htm", &text).code(), FileStatus::Code::kNotFound);
  EXPECT_EQ(text, "");
  EXPECT_EQ(page.Write("/site/other.htm", "q").code(), FileStatus::Code::kNotFound);

  // Writes refused as the disk refused them: the page stays as read.
  MemoryPage refusing(path, FileStatus::Ok(), original,
                      FileStatus::Error(FileStatus::Code::kIoError, ENOSPC));
  const FileStatus refused = refusing.Write(path, "q");
  EXPECT_EQ(refused.code(), FileStatus::Code::kIoError);
  EXPECT_EQ(refused.err(), ENOSPC);
  EXPECT_FALSE(refusing.Written());
  ASSERT_TRUE(refusing.Read(path, &text).ok());
  EXPECT_EQ(text, "abc");

  MemoryPage missing(path, FileStatus::Error(FileStatus::Code::kNotFound, ENOENT), "ignored");
  EXPECT_EQ(missing.LoadStatus().code(), FileStatus::Code::kNotFound);
  text = "stale";
  EXPECT_EQ(missing.Read(path, &text).code(), FileStatus::Code::kNotFound);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace vk
