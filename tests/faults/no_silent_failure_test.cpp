// What velkaro-batch must never do quietly: run on a settings file it could not use, leave out
// a folder it could not list, lose its own report, or be ended by the file size limit; two runs
// at once over one tree lose neither run's change without saying so; and the pages in hand stay
// within the memory budget, however many are allowed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_run.h"
#include "batch/page_run.h"
#include "fault_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ChildResult;
using test::ChildSetup;
using test::RunBatchProgram;
using test::TempDir;
using test::WriteFile;

constexpr uid_t kNobody = 65534;

QJsonObject Json(const std::string& text) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

std::vector<std::string> Messages(const QJsonObject& report) {
  std::vector<std::string> texts;
  for (const QJsonValue& text : report["messages"].toArray())
    texts.push_back(text.toString().toStdString());
  for (const QJsonValue& file : report["files"].toArray()) {
    for (const QJsonValue& text : file.toObject()["messages"].toArray())
      texts.push_back(text.toString().toStdString());
  }
  return texts;
}

bool SomeoneSays(const std::vector<std::string>& texts, const std::string& part) {
  return std::any_of(texts.begin(), texts.end(),
                     [&](const std::string& text) { return text.find(part) != std::string::npos; });
}

bool NobodyCanRun() {
  ChildSetup asNobody;
  asNobody.user = kNobody;
  const ChildResult probe = RunBatchProgram({"--version"}, asNobody);
  return probe.exited && probe.exitCode == 0;
}

TEST(NoSilentFailure, EachFailureIsSaidOnStandardErrorAndInTheReportWithItsExitCode) {
  TempDir dir;
  const std::string site = dir.File("site");
  std::filesystem::create_directories(site + "/closed");
  WriteFile(site + "/a.htm", "<p>\xE4  x</p>");
  WriteFile(site + "/closed/b.htm", "<p>\xE4  x</p>");
  WriteFile(dir.File("locked.ini"), "[Options]\n");
  chmod(dir.File("locked.ini").c_str(), 0600);
  WriteFile(dir.File("ok.ini"), "[Options]\n");
  chmod(dir.File("ok.ini").c_str(), 0644);
  chmod(dir.Path().c_str(), 0755);
  const std::string huge = dir.File("huge.ini");
  {
    const int fd = open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (std::int64_t{64} << 20) + 1), 0);
    close(fd);
  }
  TempDir emptyConfig;

  struct Case {
    const char* what;
    std::vector<std::string> args;
    ChildSetup setup;
    bool needsNobody;
    int exitCode;
    std::string said;  // on standard error, and among the JSON messages unless empty report
  };
  ChildSetup asNobody;
  asNobody.user = kNobody;
  ChildSetup toFullDevice;
  toFullDevice.outputFile = "/dev/full";
  ChildSetup firstStart;
  firstStart.configHome = emptyConfig.Path();
  ChildSetup sizeLimit;
  sizeLimit.fileSizeLimit = 4;
  sizeLimit.defaultFileSizeSignal = true;  // the program must ignore the signal itself
  const std::string missing = dir.File("missing.ini");
  const Case cases[] = {
      {"--settings names a missing file",
       {"-s", missing, "-o", "6", site},
       {},
       false,
       2,
       "Die Einstellungsdatei " + missing + " gibt es nicht!"},
      {"--settings names a folder",
       {"-s", dir.Path(), "-o", "6", site},
       {},
       false,
       2,
       "Die Einstellungsdatei " + dir.Path() + " ist ein Ordner!"},
      {"--settings names a file too big to read",
       {"-s", huge, "-o", "6", site},
       {},
       false,
       2,
       "Die Einstellungsdatei " + huge + " ist größer als 64 MB"},
      {"--settings names a file the user may not read",
       {"-s", dir.File("locked.ini"), "-o", "6", "-n", site},
       asNobody,
       true,
       2,
       "Einstellungsdatei " + dir.File("locked.ini") + " nicht lesen!"},
      {"the user's own settings file is missing: a first start",
       {"-o", "6", "-n", site},
       firstStart,
       false,
       0,
       ""},
      {"a folder reached cannot be listed",
       {"-s", dir.File("ok.ini"), "-o", "6", "-n", "-r", site},
       asNobody,
       true,
       1,
       "Konnte den Ordner " + site + "/closed nicht lesen!"},
      {"the report cannot be written",
       {"-o", "6", "-n", site},
       toFullDevice,
       false,
       2,
       "Konnte die Ergebnisse nicht ausgeben!"},
      {"the file size limit",
       {"-o", "6", site},
       sizeLimit,
       false,
       1,
       "Konnte " + site + "/a.htm nicht"},
  };
  const bool nobody = test::RunningAsRoot() && NobodyCanRun();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsNobody && !nobody) continue;
    if (c.needsNobody) {
      test::GiveTree(site, kNobody);
      chmod((site + "/closed").c_str(), 0);
    }
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--json");
    const ChildResult run = RunBatchProgram(args, c.setup);
    chmod((site + "/closed").c_str(), 0755);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    if (c.said.empty()) {
      EXPECT_EQ(run.err, "");
      continue;
    }
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    if (c.setup.outputFile.empty()) {
      EXPECT_TRUE(SomeoneSays(Messages(Json(run.out)), c.said)) << run.out;
    }
  }
}

// Two runs over one tree at once, each changing every page its own way: a page holds both
// changes, or the run whose change it lacks says so in that page's row.
TEST(NoSilentFailure, TwoRunsAtOnceLoseNoChangeWithoutSayingSo) {
  TempDir dir;
  constexpr int kPages = 300;
  for (int i = 0; i < kPages; ++i) {
    WriteFile(dir.File("p" + std::to_string(i) + ".htm"),
              "<p>alpha " + std::string(2000, 'x') + " \xE4</p>");
  }
  WriteFile(dir.File("list.ini"),
            "[Find HTML Code]\r\n0=alpha\r\n[Replace HTML Code]\r\n0=omega\r\n");
  // Operation 0 replaces by the list, operation 1 converts the special characters.
  const std::vector<std::string> replace = {"--json", "-s", dir.File("list.ini"),
                                            "-o",     "0",  dir.Path()};
  const std::vector<std::string> convert = {"--json", "-s", dir.File("list.ini"),
                                            "-o",     "1",  dir.Path()};
  ChildResult replaced;
  ChildResult converted;
  std::thread other([&] { converted = RunBatchProgram(convert); });
  replaced = RunBatchProgram(replace);
  other.join();

  auto saidPages = [](const ChildResult& run) {
    std::vector<std::string> pages;
    for (const QJsonValue& file : Json(run.out)["files"].toArray()) {
      if (!file.toObject()["messages"].toArray().isEmpty())
        pages.push_back(file.toObject()["name"].toString().toStdString());
    }
    return pages;
  };
  const std::vector<std::string> replaceSaid = saidPages(replaced);
  const std::vector<std::string> convertSaid = saidPages(converted);
  auto said = [](const std::vector<std::string>& pages, const std::string& name) {
    return std::find(pages.begin(), pages.end(), name) != pages.end();
  };
  for (int i = 0; i < kPages; ++i) {
    const std::string name = "p" + std::to_string(i) + ".htm";
    const std::string text = test::ReadFile(dir.File(name));
    const bool hasReplace = text.find("omega") != std::string::npos;
    const bool hasConvert = text.find("&auml;") != std::string::npos;
    EXPECT_TRUE(hasReplace || said(replaceSaid, name)) << name;
    EXPECT_TRUE(hasConvert || said(convertSaid, name)) << name;
  }
  EXPECT_EQ(replaced.exitCode, replaceSaid.empty() ? 0 : 1);
  EXPECT_EQ(converted.exitCode, convertSaid.empty() ? 0 : 1);
  EXPECT_EQ(test::TemporaryFilesBelow(dir.Path()), std::vector<std::string>{});
}

// Four pages of 100 MB with sixteen pages allowed in hand: the budget keeps the run's peak
// memory near what the pages it may hold at once take, instead of all four at once.
TEST(NoSilentFailure, PagesInHandStayWithinTheMemoryBudget) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's own memory hides the run's";
#endif
  TempDir dir;
  constexpr std::int64_t kPage = 100 << 20;
  {
    std::string unit =
        "<p>Gr\xFC\xDF"
        "e  aus   K\xF6ln</p>\n";
    std::string block;
    while (block.size() < (1 << 20)) block += unit;
    block.resize(1 << 20);
    for (int i = 0; i < 4; ++i) {
      const int fd = open(dir.File("p" + std::to_string(i) + ".htm").c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ASSERT_GE(fd, 0);
      for (std::int64_t done = 0; done < kPage; done += block.size())
        ASSERT_EQ(write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
      close(fd);
    }
  }
  const ChildResult run = RunBatchProgram({"-o", "6", "-n", "-j", "16", dir.Path()});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::size_t budget = std::max(DefaultMemoryBudget(), PageRun::BytesInHand(kPage));
  constexpr long kMarginKb = 160 * 1024;  // the program, Qt and the allocator's slack
  EXPECT_LT(run.maxRssKb, static_cast<long>(budget / 1024) + kMarginKb);
}

}  // namespace
}  // namespace vk
