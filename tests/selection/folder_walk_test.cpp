// The walk over subfolders: what it enters, what it reports, its order, links and loops, and a
// very large tree.
#include "selection/folder_walk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "scan_support.h"
#include "selection/folder_scan.h"
#include "support/test_support.h"

namespace vk {
namespace {

using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAreArray;

const QLocale kGerman(QLocale::German, QLocale::Germany);

std::vector<std::string> StatusesFor(const std::vector<std::string>& folders) {
  std::vector<std::string> statuses;
  for (std::size_t i = 1; i < folders.size(); ++i) {
    statuses.push_back("Lese Ordnerstruktur: " + folders[i]);
  }
  return statuses;
}

TEST(SortFolderList, GermanCollationIgnoresCaseAndPlacesUmlauts) {
  std::vector<std::string> folders = {
      "/s/",       "/s/b/",     "/s/C/",   "/s/a/",  "/s/Äpfel/", "/s/zebra/", "/s/Apfel/",
      "/s/apfel/", "/s/Birne/", "/s/a/b/", "/s/ab/", "/s/Öl/",    "/s/Ozean/", "/s/Pilz/"};
  SortFolderList(folders, kGerman);
  EXPECT_THAT(folders, ElementsAreArray({"/s/", "/s/a/", "/s/a/b/", "/s/ab/", "/s/Apfel/",
                                         "/s/apfel/", "/s/Äpfel/", "/s/b/", "/s/Birne/", "/s/C/",
                                         "/s/Öl/", "/s/Ozean/", "/s/Pilz/", "/s/zebra/"}));
}

TEST(SortFolderList, CLocaleStillIgnoresCase) {
  std::vector<std::string> folders = {"/s/", "/s/b/", "/s/C/", "/s/a/", "/s/B/", "/s/A/"};
  SortFolderList(folders, QLocale::c());
  EXPECT_THAT(folders, ElementsAreArray({"/s/", "/s/A/", "/s/a/", "/s/B/", "/s/b/", "/s/C/"}));
}

TEST(SortFolderList, TheFirstEntryStaysFirst) {
  std::vector<std::string> folders = {"/z/", "/b/", "/A/"};
  SortFolderList(folders, kGerman);
  EXPECT_THAT(folders, ElementsAreArray({"/z/", "/A/", "/b/"}));
  std::vector<std::string> one = {"/only/"};
  SortFolderList(one, kGerman);
  EXPECT_THAT(one, ElementsAreArray({"/only/"}));
}

TEST(CollectFolders, EntersEveryFolderButHiddenOnesAndReportsEachOnce) {
  test::TempDir dir;
  const std::string s = dir.Path() + "/";
  for (const char* folder : {"alpha/Zeta/deep", "Beta", "zulu", "Ärger", ".svn/inner", ".x",
                             "alpha/.git/objects", "old.htm"}) {
    test::MakeFolder(s + folder);
  }
  test::WriteFile(s + "page.htm", "<p>");
  test::WriteFile(s + "alpha/file", "x");
  test::WriteFile(s + ".hidden.htm", "x");

  std::vector<std::string> folders = {"left over"};
  test::RecordingFeedback feedback;
  CollectFolders(s, folders, feedback, kGerman);
  const std::vector<std::string> expected = {
      s,           s + "alpha/",   s + "alpha/Zeta/", s + "alpha/Zeta/deep/", s + "Ärger/",
      s + "Beta/", s + "old.htm/", s + "zulu/"};
  EXPECT_THAT(folders, ElementsAreArray(expected));
  EXPECT_THAT(feedback.statuses, UnorderedElementsAreArray(StatusesFor(expected)));
  EXPECT_TRUE(feedback.errors.empty());

  // Breadth first: every folder is reported before any folder below it.
  auto reported = [&](const std::string& path) {
    return std::find(feedback.statuses.begin(), feedback.statuses.end(),
                     "Lese Ordnerstruktur: " + path) -
           feedback.statuses.begin();
  };
  for (const char* top : {"alpha/", "Beta/", "zulu/", "Ärger/", "old.htm/"}) {
    EXPECT_LT(reported(s + top), reported(s + "alpha/Zeta/")) << top;
  }
  EXPECT_LT(reported(s + "alpha/Zeta/"), reported(s + "alpha/Zeta/deep/"));
}

TEST(CollectFolders, YieldsBeforeEachFolderAndForEachEntry) {
  test::TempDir dir;
  const std::string s = dir.Path() + "/";
  test::MakeFolder(s + "A");
  test::MakeFolder(s + "B");
  test::MakeFolder(s + ".hid");
  test::WriteFile(s + "f.htm", "x");
  test::WriteFile(s + "A/x.htm", "x");
  test::WriteFile(s + ".hid/y.htm", "x");
  std::vector<std::string> folders;
  test::RecordingFeedback feedback;
  CollectFolders(s, folders, feedback, kGerman);
  // start: 1 + ".", "..", "f.htm", "A", "B", ".hid"; A: 1 + ".", "..", "x.htm"; B: 1 + 2.
  EXPECT_EQ(feedback.yields, 7 + 4 + 3);
  EXPECT_THAT(folders, ElementsAreArray({s, s + "A/", s + "B/"}));
}

TEST(CollectFolders, LinksAreFollowedButNoFolderIsEnteredTwice) {
  test::TempDir dir;
  test::TempDir outside;
  const std::string s = dir.Path() + "/";
  test::MakeFolder(s + "a/b");
  test::MakeFolder(outside.Path() + "/sub");
  test::MakeLink(s + "a", s + "a/b/link");        // back to an ancestor
  test::MakeLink(".", s + "a/b/self");            // to itself
  test::MakeLink(dir.Path(), s + "a/up");         // to the start
  test::MakeLink("../a", s + "a/b/relative");     // relative, to an ancestor
  test::MakeLink(outside.Path(), s + "out");      // to a folder outside the start
  test::MakeLink(s + "nowhere", s + "dangling");  // leads nowhere
  test::WriteFile(s + "page.htm", "x");
  test::MakeLink(s + "page.htm", s + "filelink");  // to a file

  std::vector<std::string> folders;
  test::RecordingFeedback feedback;
  CollectFolders(s, folders, feedback, kGerman);
  const std::vector<std::string> expected = {s, s + "a/", s + "a/b/", s + "out/", s + "out/sub/"};
  EXPECT_THAT(folders, ElementsAreArray(expected));
  EXPECT_THAT(feedback.statuses, UnorderedElementsAreArray(StatusesFor(expected)));
}

TEST(CollectFolders, TwoLinksToOneFolderListItOnce) {
  test::TempDir dir;
  test::TempDir outside;
  const std::string s = dir.Path() + "/";
  test::MakeFolder(outside.Path() + "/sub");
  test::MakeLink(outside.Path(), s + "one");
  test::MakeLink(outside.Path(), s + "two");
  std::vector<std::string> folders;
  test::RecordingFeedback feedback;
  CollectFolders(s, folders, feedback, kGerman);
  ASSERT_EQ(folders.size(), 3u);
  const std::string via = folders[1] == s + "one/" ? "one" : "two";
  EXPECT_THAT(folders, ElementsAreArray({s, s + via + "/", s + via + "/sub/"}));
}

// Removes a folder as soon as the walk reports it, so that it is gone when its turn comes.
class RemovingFeedback : public test::RecordingFeedback {
 public:
  explicit RemovingFeedback(std::string victim) : victim_(std::move(victim)) {}
  void Status(const std::string& text) override {
    RecordingFeedback::Status(text);
    if (text == "Lese Ordnerstruktur: " + victim_) std::filesystem::remove_all(victim_);
  }

 private:
  std::string victim_;
};

TEST(CollectFolders, AFolderThatCannotBeReadIsSkippedSilently) {
  test::TempDir dir;
  const std::string s = dir.Path() + "/";
  for (const char* folder : {"gone/inner", "kept/inner", "zz"}) test::MakeFolder(s + folder);
  RemovingFeedback feedback(s + "gone/");
  std::vector<std::string> folders;
  CollectFolders(s, folders, feedback, kGerman);
  EXPECT_THAT(folders,
              ElementsAreArray({s, s + "gone/", s + "kept/", s + "kept/inner/", s + "zz/"}));
  EXPECT_TRUE(feedback.errors.empty());

  if (!test::RunningAsRoot()) {  // root reads a folder whatever its permissions say
    test::MakeFolder(s + "locked/inner");
    chmod((s + "locked").c_str(), 0);
    test::RecordingFeedback plain;
    CollectFolders(s, folders, plain, kGerman);
    EXPECT_THAT(folders,
                ElementsAreArray({s, s + "kept/", s + "kept/inner/", s + "locked/", s + "zz/"}));
    EXPECT_TRUE(plain.errors.empty());
  }
}

TEST(CollectFolders, MissingStartGivesTheStartAlone) {
  test::TempDir dir;
  std::vector<std::string> folders = {"a", "b"};
  test::RecordingFeedback feedback;
  CollectFolders(dir.File("missing/"), folders, feedback, kGerman);
  EXPECT_THAT(folders, ElementsAreArray({dir.File("missing/")}));
  EXPECT_TRUE(feedback.statuses.empty());
  EXPECT_EQ(feedback.yields, 1);
}

TEST(CollectFolders, AHundredThousandFoldersWithoutRecursion) {
  const auto dir = test::TempDirInMemory();
  const std::string s = dir->Path() + "/";
  // 100 folders of 1,000 folders each, and a chain 600 folders deep.
  for (int p = 0; p < 100; ++p) {
    char parent[8];
    std::snprintf(parent, sizeof parent, "p%03d/", p);
    ASSERT_EQ(mkdir((s + parent).c_str(), 0755), 0);
    for (int c = 0; c < 1000; ++c) {
      char child[8];
      std::snprintf(child, sizeof child, "c%03d", c);
      ASSERT_EQ(mkdir((s + parent + child).c_str(), 0755), 0);
    }
  }
  std::string deep = s + "deep/";
  std::vector<std::string> chain;
  for (int level = 0; level < 600; ++level) {
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    chain.push_back(deep);
    deep += "d/";
  }

  std::vector<std::string> folders;
  test::RecordingFeedback feedback;
  CollectFolders(s, folders, feedback, kGerman);
  ASSERT_EQ(folders.size(), 1u + 600u + 100u * 1001u);
  EXPECT_EQ(feedback.statuses.size(), folders.size() - 1);
  EXPECT_EQ(folders[0], s);
  EXPECT_TRUE(std::equal(chain.begin(), chain.end(), folders.begin() + 1));
  EXPECT_EQ(folders[601], s + "p000/");
  EXPECT_EQ(folders[602], s + "p000/c000/");
  EXPECT_EQ(folders[1601], s + "p000/c999/");
  EXPECT_EQ(folders[1602], s + "p001/");
  EXPECT_EQ(folders.back(), s + "p099/c999/");
}

}  // namespace
}  // namespace vk
