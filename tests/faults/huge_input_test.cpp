// Huge input: a 5 GB sparse page is measured without being read, and a 200 MB page goes
// through each transformation's file function in a child process whose peak memory stays a
// small multiple of the page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/compress.h"
#include "engine/my_tools.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "fault_support.h"
#include "fs/disk_file_access.h"
#include "fs/file_info.h"
#include "selection/folder_scan.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ChildResult;
using test::RecordingFeedback;
using test::RunInChild;
using test::TempDir;
using test::TemporaryFilesBelow;

TEST(HugeInput, SparseFiveGigabytePageIsMeasuredRight) {
  TempDir dir;
  const std::string path = dir.File("huge.htm");
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  if (ftruncate(fd, 5'000'000'000LL) != 0) {
    close(fd);
    GTEST_SKIP() << "this file system cannot hold a 5 GB sparse file";
  }
  close(fd);
  const TMyTools german(".");
  EXPECT_EQ(FileSizeOf(path), 5'000'000'000LL);
  EXPECT_EQ(german.SizeText(FileSizeOf(path)), "4.768 MByte");
  EXPECT_EQ(TMyTools(",").SizeText(5'000'000'000LL), "4,768 MByte");
  MyTools().SetThousandsSeparator(".");
  EXPECT_EQ(MakeSingleFileRow(path, true).size, "4.768 MByte");
}

// One repeated piece, so that the expected page after each step is that step's result for
// the piece, repeated: no second copy of the page is needed to check it.
const std::string kUnit =
    "<p>  Gr\xFC\xDF"
    "e <b>Seite</b>\t</p>\r\n";
const HtmlCodeList kList = {{"<b>"}, {"<strong>"}};

std::string Converted(const std::string& s) { return ConvertSpecialChars(s).text; }
std::string Compressed(const std::string& s) {
  SilentFeedback silent;
  std::string out;
  return CompressHtmlText(s, out, "x", silent) == CompressOutcome::kChanged ? out : s;
}
std::string Replaced(std::string s) {
  SilentFeedback silent;
  ReplaceHtmlCodeText(s, kList, PageEncoding::kWindows1252, silent);
  return s;
}

// True when the file holds `unit` exactly `times` times, read in pieces.
bool HoldsRepeated(const std::string& path, const std::string& unit, std::int64_t times) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  std::string chunk(unit.size() * 4096, '\0');
  std::string expected;
  for (int i = 0; i < 4096; ++i) expected += unit;
  std::int64_t left = times;
  bool same = true;
  while (same && left > 0) {
    const std::size_t want =
        unit.size() * static_cast<std::size_t>(std::min<std::int64_t>(left, 4096));
    std::size_t got = 0;
    while (got < want) {
      const ssize_t n = read(fd, chunk.data() + got, want - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    same = got == want && chunk.compare(0, want, expected, 0, want) == 0;
    left -= static_cast<std::int64_t>(want / unit.size());
  }
  char extra;
  same = same && read(fd, &extra, 1) == 0;
  close(fd);
  return same;
}

TEST(HugeInput, TwoHundredMegabytePageThroughEachTransformation) {
  TempDir dir;
  struct statvfs space {};
  ASSERT_EQ(statvfs(dir.Path().c_str(), &space), 0);
  const std::uint64_t free = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
  if (free < 2'000'000'000ULL) GTEST_SKIP() << "needs 2 GB free in " << dir.Path();

  const std::int64_t times = 200'000'000 / static_cast<std::int64_t>(kUnit.size());
  const std::string path = dir.File("big.htm");
  {
    std::string block;
    for (int i = 0; i < 4096; ++i) block += kUnit;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    for (std::int64_t left = times; left > 0; left -= 4096) {
      const std::size_t n =
          kUnit.size() * static_cast<std::size_t>(std::min<std::int64_t>(left, 4096));
      ASSERT_EQ(write(fd, block.data(), n), static_cast<ssize_t>(n));
    }
    close(fd);
  }

  struct Step {
    const char* name;
    std::function<std::string()> run;
    std::string unitAfter;
  };
  const std::string afterConvert = Converted(kUnit);
  const std::string afterCompress = Compressed(afterConvert);
  const std::string afterReplace = Replaced(afterCompress);
  // The pieces do not reach into each other: each step of three pieces is three results.
  ASSERT_EQ(Converted(kUnit + kUnit + kUnit), afterConvert + afterConvert + afterConvert);
  ASSERT_EQ(Compressed(afterConvert + afterConvert + afterConvert),
            afterCompress + afterCompress + afterCompress);
  ASSERT_EQ(Replaced(afterCompress + afterCompress), afterReplace + afterReplace);

  const Step steps[] = {
      {"special characters",
       [&] {
         RecordingFeedback feedback;
         const std::int64_t count =
             ConvertSpecialCharsInFile(path, false, feedback, DiskFileAccess());
         return std::to_string(count) + " " + std::to_string(feedback.errors.size());
       },
       afterConvert},
      {"compression",
       [&] {
         RecordingFeedback feedback;
         CompressHtmlFile(path, feedback, DiskFileAccess());
         return "0 " + std::to_string(feedback.errors.size());
       },
       afterCompress},
      {"replacement",
       [&] {
         RecordingFeedback feedback;
         const std::int64_t count = ReplaceHtmlCode(
             path, [] { return std::make_shared<const HtmlCodeList>(kList); }, feedback,
             DiskFileAccess());
         return std::to_string(count) + " " + std::to_string(feedback.errors.size());
       },
       afterReplace},
  };
  const std::int64_t counts[] = {2 * times, 0, times};
  std::int64_t sizeBefore = times * static_cast<std::int64_t>(kUnit.size());
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(steps[i].name);
    const ChildResult child = RunInChild(steps[i].run);
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(child.out, std::to_string(counts[i]) + " 0");
    EXPECT_TRUE(HoldsRepeated(path, steps[i].unitAfter, times));
    const std::int64_t sizeAfter = times * static_cast<std::int64_t>(steps[i].unitAfter.size());
    const std::int64_t larger = std::max(sizeBefore, sizeAfter);
    EXPECT_LT(child.maxRssKb * 1024LL, 6 * larger)
        << "peak " << child.maxRssKb / 1024 << " MB for " << larger / 1'000'000 << " MB";
    std::printf("%s: %lld MB in, %lld MB out, peak %ld MB\n", steps[i].name,
                static_cast<long long>(sizeBefore / 1'000'000),
                static_cast<long long>(sizeAfter / 1'000'000), child.maxRssKb / 1024);
    sizeBefore = sizeAfter;
  }
  EXPECT_EQ(TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace vk
