// The journal as the run writes it and as undo reads it back: pages of every kind, records cut
// short or damaged, several threads recording at once, a write that fails halfway.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "fs/fd.h"
#include "journal/journal_reader.h"
#include "journal/journal_writer.h"
#include "journal/runs_folder.h"
#include "journal/sha256.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace vk {
namespace {

using namespace std::string_literals;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::unique_ptr<JournalWriter> StartIn(const std::string& folder, const RunInfo& info = {},
                                       const KeepLimits& limits = {}) {
  FileStatus status = FileStatus::Ok();
  std::unique_ptr<JournalWriter> journal = JournalWriter::Start(folder, info, limits, &status);
  EXPECT_TRUE(status.ok()) << status.err();
  return journal;
}

PageRecord Record(const std::string& path, const std::string& oldBytes, const std::string& newBytes,
                  std::int64_t order) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  PageRecord record;
  record.path = path;
  record.device = st.st_dev;
  record.inode = st.st_ino;
  record.oldBytes = oldBytes;
  record.newBytes = newBytes;
  record.order = order;
  return record;
}

// The journal at `file` read whole.
struct ReadBack {
  FileStatus status = FileStatus::Ok();
  RunSummary run;
  std::vector<JournalPage> pages;
  std::vector<std::string> oldBytes;  // of each page, "<none>" when not given back
  std::uint64_t validEnd = 0;
};

ReadBack ReadJournal(const std::string& file) {
  ReadBack back;
  Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  JournalReader reader;
  back.status = reader.Read(fd.get());
  back.run = reader.Run();
  back.pages = reader.Pages();
  back.validEnd = reader.ValidEnd();
  for (const JournalPage& page : back.pages) {
    std::string bytes;
    back.oldBytes.push_back(reader.OldBytes(page, &bytes).ok() ? bytes : "<none>");
  }
  return back;
}

// At least `size` bytes of text lines, each different.
std::string NumberedLines(std::size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) {
    text += "<p>Zeile " + std::to_string(line) +
            " mit Gr\xFC\xDF"
            "en</p>\r\n";
  }
  return text;
}

TEST(JournalWriter, EveryKindOfPageReadsBackAsRecorded) {
  TempDir dir;
  const std::string site = dir.File("site");
  std::filesystem::create_directories(site +
                                      "/Gr\xFC\xDF"
                                      "e");
  struct Case {
    const char* what;
    std::string name;  // below the site; raw bytes
    std::string oldBytes;
    std::string newBytes;
  } cases[] = {
      {"empty before", "leer.htm", "", "<p>neu</p>"},
      {"empty after", "wird-leer.htm", "<p>alt</p>", ""},
      {"NUL bytes", "nul.htm", "a\0b\0\0c"s, "a b c"},
      {"Windows-1252 page and name",
       "Gr\xFC\xDF"
       "e/\xE4rger.htm",
       "<p>Gr\xFC\xDF"
       "e \x80 5</p>\r\n",
       "<p>Gr&uuml;&szlig;e &euro; 5</p>\r\n"},
      {"UTF-8 page and name",
       "gr\xC3\xBC\xC3\x9F"
       "e.html",
       "<p>Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC</p>\n",
       "<p>Gr&uuml;&szlig;e &euro;</p>\n"},
      {"hard-linked", "verlinkt.htm", "<b>zwei Namen</b>", "<strong>zwei Namen</strong>"},
      {"behind a link", "link.htm", "<i>Ziel</i>", "<em>Ziel</em>"},
      {"bigger than a piece of the reader", "gross.htm", RandomBytes(3 << 20, 7),
       RandomBytes(100, 8)},
      {"big enough for the compressor's own threads", "riesig.htm", NumberedLines(9 << 20),
       "<p>kurz</p>"},
  };
  for (const Case& c : cases) WriteFile(site + "/" + c.name, c.oldBytes);
  ASSERT_EQ(::link((site + "/verlinkt.htm").c_str(), dir.File("anderer-name.htm").c_str()), 0);
  // The link's page is its target; the journal records the page by the link's name.
  WriteFile(dir.File("ziel.htm"), cases[6].oldBytes);
  std::filesystem::remove(site + "/link.htm");
  std::filesystem::create_symlink(dir.File("ziel.htm"), site + "/link.htm");

  RunInfo info;
  info.timeNs = 1'700'000'000'123'456'789;
  info.operation = 6;
  info.folder = site +
                "/Gr\xFC\xDF"
                "e";
  std::string file;
  {
    std::unique_ptr<JournalWriter> journal = StartIn(dir.File("runs"), info);
    ASSERT_NE(journal, nullptr);
    file = journal->Path();
    EXPECT_EQ(file, dir.File("runs/") + journal->Id() + ".vkj");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const Case& c = cases[i];
      const std::string path = site + "/" + c.name;
      PageRecord record = Record(path, c.oldBytes, c.newBytes, static_cast<std::int64_t>(10 * i));
      // Every other page, and the biggest, have their old bytes packed before the record.
      std::optional<PackedBytes> packed;
      if (i % 2 == 1 || i + 1 == std::size(cases)) {
        packed = JournalWriter::Pack(record.path, c.oldBytes);
        ASSERT_TRUE(packed) << c.what;
        record.oldBytes = {};
        record.packedOld = &*packed;
      }
      EXPECT_TRUE(journal->Add(record).ok()) << c.what;
    }
    // Packed for another name, the bytes do not fit the record: nothing is written.
    std::optional<PackedBytes> misfit = JournalWriter::Pack(site + "/x.htm", "alt");
    const std::string misfitPath = site + "/leer.htm";
    const std::string none;
    const std::string misfitNew = "neu";
    PageRecord misfitRecord = Record(misfitPath, none, misfitNew, 99);
    misfitRecord.packedOld = &*misfit;
    const std::int64_t before = journal->Bytes();
    EXPECT_FALSE(journal->Add(misfitRecord).ok());
    EXPECT_EQ(journal->Bytes(), before);
    EXPECT_TRUE(journal->Sync().ok());
    EXPECT_TRUE(journal->Complete());
    EXPECT_EQ(journal->Bytes(), static_cast<std::int64_t>(std::filesystem::file_size(file)));
    // Held while the run is at work.
    const std::vector<RunSummary> runs = ListRuns(dir.File("runs"));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].busy);
  }
  EXPECT_EQ(std::filesystem::status(dir.File("runs")).permissions(),
            std::filesystem::perms::owner_all);
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  const ReadBack back = ReadJournal(file);
  ASSERT_TRUE(back.status.ok());
  EXPECT_EQ(back.run.timeNs, info.timeNs);
  EXPECT_EQ(back.run.operation, 6);
  EXPECT_EQ(back.run.folder, info.folder);
  EXPECT_EQ(back.run.pages, static_cast<int>(std::size(cases)));
  EXPECT_TRUE(back.run.complete);
  EXPECT_FALSE(back.run.undone);
  EXPECT_EQ(back.validEnd, std::filesystem::file_size(file));
  ASSERT_EQ(back.pages.size(), std::size(cases));
  std::int64_t oldTotal = 0;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const JournalPage& page = back.pages[i];
    const std::string path = site + "/" + c.name;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(page.path, path) << c.what;
    EXPECT_EQ(page.device, st.st_dev) << c.what;
    EXPECT_EQ(page.inode, st.st_ino) << c.what;
    EXPECT_EQ(page.order, static_cast<std::int64_t>(10 * i)) << c.what;
    EXPECT_EQ(page.oldSize, static_cast<std::int64_t>(c.oldBytes.size())) << c.what;
    EXPECT_EQ(page.newSize, static_cast<std::int64_t>(c.newBytes.size())) << c.what;
    EXPECT_EQ(page.newHash, Sha256(c.newBytes)) << c.what;
    EXPECT_TRUE(page.kept) << c.what;
    EXPECT_TRUE(back.oldBytes[i] == c.oldBytes) << c.what;
    oldTotal += page.oldSize;
  }
  EXPECT_EQ(back.run.pageBytes, oldTotal);
  // Compressed: the random megabytes stay as big, the rest is small.
  EXPECT_LT(std::filesystem::file_size(file), (3u << 20) + (1u << 20));

  const std::vector<RunSummary> runs = ListRuns(dir.File("runs"));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].id + ".vkj", std::filesystem::path(file).filename().string());
  EXPECT_EQ(runs[0].file, file);
  EXPECT_EQ(runs[0].pages, static_cast<int>(std::size(cases)));
  EXPECT_EQ(runs[0].bytes, static_cast<std::int64_t>(std::filesystem::file_size(file)));
  EXPECT_FALSE(runs[0].busy);
}

// A journal whose last record is cut at every byte: a kill while it was written.
TEST(JournalWriter, CutAnywhereInItsLastRecordReadsBackEveryRecordBeforeIt) {
  TempDir dir;
  WriteFile(dir.File("a.htm"), "<p>erste</p>");
  WriteFile(dir.File("b.htm"), "<p>zweite Seite</p>");
  std::string file;
  std::uint64_t afterRun = 0;
  std::uint64_t afterFirst = 0;
  {
    std::unique_ptr<JournalWriter> journal = StartIn(dir.File("runs"));
    file = journal->Path();
    afterRun = static_cast<std::uint64_t>(journal->Bytes());
    journal->Add(Record(dir.File("a.htm"), "<p>erste</p>", "<p>1</p>", 0));
    afterFirst = static_cast<std::uint64_t>(journal->Bytes());
    journal->Add(Record(dir.File("b.htm"), "<p>zweite Seite</p>", "<p>2</p>", 1));
    journal->Sync();
  }
  const std::string whole = ReadFile(file);
  const std::string cut = dir.File("cut.vkj");
  for (std::uint64_t size = afterFirst; size <= whole.size(); ++size) {
    WriteFile(cut, whole.substr(0, size));
    const ReadBack back = ReadJournal(cut);
    ASSERT_TRUE(back.status.ok()) << size;
    const std::size_t expected = size == whole.size() ? 2 : 1;
    ASSERT_EQ(back.pages.size(), expected) << size;
    EXPECT_EQ(back.validEnd, size == whole.size() ? size : afterFirst) << size;
    EXPECT_EQ(back.oldBytes[0], "<p>erste</p>") << size;
  }
  // Cut in the run record there is no journal at all; ListRuns passes it over.
  for (std::uint64_t size = 0; size < afterRun; ++size) {
    WriteFile(cut, whole.substr(0, size));
    EXPECT_EQ(ReadJournal(cut).status.err(), EINVAL) << size;
  }
  EXPECT_EQ(ListRuns(dir.Path()).size(), 0u);
}

TEST(JournalWriter, ATornTailEndsTheJournalAndADamagedRecordIsPassedOver) {
  TempDir dir;
  WriteFile(dir.File("a.htm"), "alt a");
  WriteFile(dir.File("b.htm"), "alt b");
  std::string file;
  std::uint64_t afterFirst = 0;
  {
    std::unique_ptr<JournalWriter> journal = StartIn(dir.File("runs"));
    file = journal->Path();
    const std::uint64_t start = static_cast<std::uint64_t>(journal->Bytes());
    journal->Add(Record(dir.File("a.htm"), "alt a", "neu a", 0));
    afterFirst = static_cast<std::uint64_t>(journal->Bytes());
    journal->Add(Record(dir.File("b.htm"), "alt b", "neu b", 1));
    // A tail of zeros, as a power cut may leave one.
    const std::string zeros(4096, '\0');
    Fd fd(::open(file.c_str(), O_WRONLY | O_APPEND));
    ASSERT_EQ(::write(fd.get(), zeros.data(), zeros.size()), 4096);
    ASSERT_GT(afterFirst, start);
  }
  ReadBack back = ReadJournal(file);
  EXPECT_EQ(back.pages.size(), 2u);
  EXPECT_EQ(back.validEnd, std::filesystem::file_size(file) - 4096);
  EXPECT_EQ(back.run.damaged, 0);

  // One byte of the first page's record changed, with a whole record behind it: damage, not a
  // torn tail. The record is passed over and counted; the one behind it still counts.
  std::string bytes = ReadFile(file);
  bytes[afterFirst - 12] = static_cast<char>(bytes[afterFirst - 12] ^ 0x01);
  WriteFile(file, bytes);
  back = ReadJournal(file);
  ASSERT_TRUE(back.status.ok());
  EXPECT_EQ(back.run.damaged, 1);
  ASSERT_EQ(back.pages.size(), 1u);
  EXPECT_EQ(back.pages[0].path, dir.File("b.htm"));
  EXPECT_EQ(back.oldBytes[0], "alt b");

  // The last page's record changed: nothing whole follows, so it reads as a torn tail.
  bytes = ReadFile(file);
  bytes[afterFirst - 12] = static_cast<char>(bytes[afterFirst - 12] ^ 0x01);
  const std::size_t lastBody = bytes.size() - 4096 - 12;
  bytes[lastBody] = static_cast<char>(bytes[lastBody] ^ 0x01);
  WriteFile(file, bytes);
  back = ReadJournal(file);
  EXPECT_EQ(back.run.damaged, 0);
  EXPECT_EQ(back.pages.size(), 1u);
}

TEST(JournalWriter, SeveralThreadsRecordAtOnce) {
  TempDir dir;
  constexpr int kThreads = 4;
  constexpr int kPagesEach = 40;
  std::unique_ptr<JournalWriter> journal = StartIn(dir.File("runs"));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&journal, t] {
      for (int i = 0; i < kPagesEach; ++i) {
        const int order = t * kPagesEach + i;
        const std::string old = "<p>Seite " + std::to_string(order) + "</p>" +
                                std::string(static_cast<std::size_t>(order * 37), 'x');
        PageRecord record;
        const std::string path = "/seite" + std::to_string(order) + ".htm";
        const std::string written = std::to_string(order);
        record.path = path;
        record.oldBytes = old;
        record.newBytes = written;
        record.order = order;
        EXPECT_TRUE(journal->Add(record).ok());
        if (i % 8 == 0) {
          EXPECT_TRUE(journal->Sync().ok());
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(journal->Sync().ok());
  const std::string file = journal->Path();
  journal.reset();

  const ReadBack back = ReadJournal(file);
  ASSERT_EQ(back.pages.size(), static_cast<std::size_t>(kThreads * kPagesEach));
  std::vector<bool> seen(kThreads * kPagesEach);
  for (std::size_t i = 0; i < back.pages.size(); ++i) {
    const auto order = static_cast<std::size_t>(back.pages[i].order);
    ASSERT_LT(order, seen.size());
    EXPECT_FALSE(seen[order]);
    seen[order] = true;
    EXPECT_EQ(back.pages[i].path, "/seite" + std::to_string(order) + ".htm");
    EXPECT_EQ(back.oldBytes[i],
              "<p>Seite " + std::to_string(order) + "</p>" + std::string(order * 37, 'x'));
    EXPECT_EQ(back.pages[i].newHash, Sha256(std::to_string(order)));
  }
}

// The file size limit stands for a full disk: the record that does not fit is not written at
// all, and the journal goes on after it.
TEST(JournalWriter, AFailedAppendLeavesTheJournalReadable) {
  TempDir dir;
  const std::string runs = dir.File("runs");
  std::unique_ptr<JournalWriter> made = StartIn(runs);  // the folder, before the limit
  made.reset();
  const test::ChildResult child = test::RunInChild(
      [&] {
        std::unique_ptr<JournalWriter> journal = StartIn(runs);
        PageRecord small;
        small.path = "/klein.htm";
        small.oldBytes = "klein";
        PageRecord big = small;
        const std::string bytes = RandomBytes(200000, 3);
        big.path = "/gross.htm";
        big.oldBytes = bytes;
        const FileStatus first = journal->Add(small);
        const FileStatus second = journal->Add(big);
        small.path = "/danach.htm";
        const FileStatus third = journal->Add(small);
        journal->Sync();
        return std::to_string(first.ok()) +
               std::to_string(second.code() == FileStatus::Code::kTooLarge) +
               std::to_string(third.ok()) + journal->Path();
      },
      test::SizeLimited(100000));
  ASSERT_TRUE(child.exited);
  ASSERT_EQ(child.out.substr(0, 3), "111");
  const ReadBack back = ReadJournal(child.out.substr(3));
  ASSERT_EQ(back.pages.size(), 2u);
  EXPECT_EQ(back.pages[0].path, "/klein.htm");
  EXPECT_EQ(back.pages[1].path, "/danach.htm");
  EXPECT_EQ(back.validEnd, std::filesystem::file_size(child.out.substr(3)));
}

}  // namespace
}  // namespace vk
