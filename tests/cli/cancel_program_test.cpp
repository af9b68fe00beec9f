// velkaro-batch stopped by SIGINT or SIGTERM while it runs: it finishes the pages in hand,
// reports exactly the pages it did, and every page is either as it was or as the run writes it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "cli/cli_support.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace vk {
namespace {

namespace fs = std::filesystem;

// More pages than the run can get through while two pipe buffers of its output wait unread.
constexpr int kPages = 2000;

std::string PageName(int i) {
  char name[64];
  std::snprintf(name, sizeof name, "eine-seite-mit-einem-recht-langen-namen-%04d.htm", i);
  return name;
}
std::string OldPage(int i) { return "<p>K\xE4se Nr. " + std::to_string(i) + "</p>\n"; }
std::string NewPage(int i) { return "<p>K&auml;se Nr. " + std::to_string(i) + "</p>\n"; }

TEST(CancelProgramTest, ASignalStopsTheRunAfterThePagesInHand) {
  struct Case {
    int signal;
    int exitCode;
    bool json;  // else --diff
  };
  const Case cases[] = {{SIGINT, 130, true}, {SIGTERM, 143, true}, {SIGINT, 130, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.json ? " --json" : " --diff"));
    const std::unique_ptr<test::TempDir> dir = test::TempDirInMemory();
    const std::string site = dir->File("site");
    fs::create_directories(site);
    for (int i = 0; i < kPages; ++i) test::WriteFile(site + "/" + PageName(i), OldPage(i));
    if (!c.json) fs::copy(site, dir->File("patched"));
    test::WriteFile(dir->File("settings.ini"), "");

    test::ChildSetup setup;
    setup.workFolder = dir->Path();
    setup.signal = c.signal;
    // Each row (or diff) is printed as soon as its page is done.
    setup.signalAfter = c.json ? "{\"path\": " : "+++ b/";
    const test::ChildResult run = test::RunBatchProgram(
        {"-o", "1", "-s", "settings.ini", c.json ? "--json" : "--diff", "site"}, setup);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.exitCode, c.exitCode);

    // Every page old or new; the new ones are exactly the pages reported.
    std::set<std::string> changedOnDisk;
    for (int i = 0; i < kPages; ++i) {
      const std::string bytes = test::ReadFile(site + "/" + PageName(i));
      if (bytes == NewPage(i)) {
        changedOnDisk.insert(PageName(i));
      } else {
        EXPECT_EQ(bytes, OldPage(i));
      }
    }
    EXPECT_EQ(test::FolderNames(site).size(), static_cast<std::size_t>(kPages));
    EXPECT_GE(changedOnDisk.size(), 1u);
    EXPECT_LT(changedOnDisk.size(), static_cast<std::size_t>(kPages));
    EXPECT_EQ(run.err, "Der Lauf wurde nach " + std::to_string(changedOnDisk.size()) + " von " +
                           std::to_string(kPages) + " Datei(en) abgebrochen.\n");

    if (!c.json) {
      EXPECT_EQ(test::ApplyPatch(dir->File("patched"), run.out), "");
      EXPECT_EQ(test::TreeBytes(dir->File("patched")), test::TreeBytes(site));
      continue;
    }
    QJsonParseError error;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    EXPECT_EQ(root.value("cancelled").toBool(false), true);
    std::set<std::string> reportedChanged;
    qint64 before = 0, after = 0, special = 0;
    const QJsonArray files = root.value("files").toArray();
    for (const auto& value : files) {
      const QJsonObject file = value.toObject();
      before += file.value("size_before").toInteger();
      after += file.value("size_after").toInteger();
      special += file.value("special_chars").toInteger();
      if (file.value("size_after").toInteger() != file.value("size_before").toInteger()) {
        reportedChanged.insert(file.value("name").toString().toStdString());
      }
    }
    EXPECT_EQ(reportedChanged, changedOnDisk);
    EXPECT_EQ(static_cast<std::size_t>(files.size()), changedOnDisk.size());
    const QJsonObject sums = root.value("sums").toObject();
    EXPECT_EQ(sums.value("files").toInteger(), files.size());
    EXPECT_EQ(sums.value("size_before").toInteger(), before);
    EXPECT_EQ(sums.value("size_after").toInteger(), after);
    EXPECT_EQ(sums.value("special_chars").toInteger(), special);
    EXPECT_EQ(special, files.size());
    ASSERT_EQ(root.value("messages").toArray().size(), 1);
    EXPECT_EQ(root.value("messages").toArray()[0].toString().toStdString() + "\n", run.err);
  }
}

}  // namespace
}  // namespace vk
