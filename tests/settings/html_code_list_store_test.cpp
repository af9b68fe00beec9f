#include "settings/html_code_list_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/settings_test_support.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::ReadFile;
using test::RecordingFeedback;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

const std::string kUnequal =
    "Die Anzahl Einträge in der Liste, des zu suchenden HTML Codes unterscheidet sich von der "
    "Liste, des zu ersetzenden HTML Codes. Listenlängen werden angepasst!";

// A store set up like the window's: "Velkaro.ini" in the folder given.
struct WindowStore {
  explicit WindowStore(const std::string& folder) : ini(&feedback) {
    ini.SetIniLocation(TIniLocation::loDefUser);
    ini.SetDefFilePath(folder);
  }
  HtmlCodeList Load() {
    HtmlCodeList list;
    list.find = {"stale"};
    list.replace = {"stale", "stale"};
    LoadHtmlCodeList(ini, list, feedback);
    return list;
  }
  RecordingFeedback feedback;
  TTheIniFile ini;
};

TEST(LoadHtmlCodeList, WhatTheSectionsHold) {
  struct Case {
    std::string name, file;
    Strings find, replace;
  } cases[] = {
      {"no sections", "[Options]\r\nCreateBak=1\r\n", {}, {}},
      {"pairs in key order as they stand",
       "[Find HTML Code]\r\n7=<b>\r\n3=<i>\r\n[Replace HTML Code]\r\n7=<strong>\r\n3=<em>\r\n",
       {"<b>", "<i>"},
       {"<strong>", "<em>"}},
      {"(leer) only in the replace section and only in this case",
       "[Find HTML Code]\r\n0=(leer)\r\n1=a\r\n2=b\r\n"
       "[Replace HTML Code]\r\n0=(leer)\r\n1=(LEER)\r\n2=\"(leer)\"\r\n",
       {"(leer)", "a", "b"},
       {"", "(LEER)", ""}},
      {"values with = and quotes and blanks",
       "[Find HTML Code]\r\n0=<td align=right>\r\n1=  <br>  \r\n2=\"x\"\r\n3=\r\n"
       "[Replace HTML Code]\r\n0=<td align=\"right\">\r\n1='<br />'\r\n2=y\r\n3=z\r\n",
       {"<td align=right>", "<br>", "x", ""},
       {"<td align=\"right\">", "<br />", "y", "z"}},
      {"sections named in other case, LF lines",
       "[find html code]\n0=a\n[REPLACE HTML CODE]\n0=b\n",
       {"a"},
       {"b"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir.File("Velkaro.ini"), c.file);
    WindowStore store(dir.Path());
    const HtmlCodeList list = store.Load();
    EXPECT_EQ(list.find, c.find) << c.name;
    EXPECT_EQ(list.replace, c.replace) << c.name;
    EXPECT_TRUE(store.feedback.errors.empty()) << c.name;
    EXPECT_EQ(ReadFile(dir.File("Velkaro.ini")), c.file) << c.name;
    EXPECT_EQ(store.ini.Section(), "Replace HTML Code") << c.name;
    EXPECT_TRUE(store.ini.Open()) << c.name;
  }
}

TEST(LoadHtmlCodeList, NoFileOrNoFolderGivesAnEmptyListSilently) {
  TempDir dir;
  for (const std::string& folder : {dir.Path(), dir.File("missing")}) {
    WindowStore store(folder);
    const HtmlCodeList list = store.Load();
    EXPECT_TRUE(list.find.empty()) << folder;
    EXPECT_TRUE(list.replace.empty()) << folder;
    EXPECT_TRUE(store.feedback.errors.empty()) << folder;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("Velkaro.ini")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(LoadHtmlCodeList, UnequalListsEvenedOutOnceAndWrittenBack) {
  struct Case {
    std::string name, before;
    Strings find, replace;
    std::string after;
  } cases[] = {
      {"replace list shorter",
       "[Find HTML Code]\r\n0=a\r\n1=b\r\n2=c\r\n[Replace HTML Code]\r\n0=A\r\n1=(leer)\r\n",
       {"a", "b", "c"},
       {"A", "", "c"},
       "[Find HTML Code]\r\n0=a\r\n1=b\r\n2=c\r\n"
       "[Replace HTML Code]\r\n0=A\r\n1=(leer)\r\n2=c\r\n"},
      {"find list empty",
       "[Options]\r\nCreateBak=1\r\n[Find HTML Code]\r\n[Replace HTML Code]\r\n0=<i>\r\n"
       "1=(leer)\r\n",
       {"<i>", ""},
       {"<i>", ""},
       "[Options]\r\nCreateBak=1\r\n[Find HTML Code]\r\n0=<i>\r\n1=\r\n"
       "[Replace HTML Code]\r\n0=<i>\r\n1=(leer)\r\n"},
      {"replace section missing",
       "[Find HTML Code]\r\n0=x\r\n[Options]\r\nCreateBak=0\r\n",
       {"x"},
       {"x"},
       "[Options]\r\nCreateBak=0\r\n[Find HTML Code]\r\n0=x\r\n[Replace HTML Code]\r\n0=x\r\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir.File("Velkaro.ini"), c.before);
    WindowStore store(dir.Path());
    const HtmlCodeList list = store.Load();
    EXPECT_EQ(list.find, c.find) << c.name;
    EXPECT_EQ(list.replace, c.replace) << c.name;
    EXPECT_EQ(store.feedback.errors, Strings{kUnequal}) << c.name;
    EXPECT_EQ(ReadFile(dir.File("Velkaro.ini")), c.after) << c.name;

    const HtmlCodeList again = store.Load();
    EXPECT_EQ(again.find, c.find) << c.name;
    EXPECT_EQ(again.replace, c.replace) << c.name;
    EXPECT_EQ(store.feedback.errors.size(), 1u) << c.name;
  }
}

// The keys are numbered from 0 and an empty replacement is stored as "(leer)"; a value that
// would lose its outer blanks or quotation marks on the way back is written in one more pair
// of quotation marks.
TEST(SaveHtmlCodeList, TheFileAndWhatComesBack) {
  struct Case {
    HtmlCodeList list;
    std::string file;
    HtmlCodeList loaded;
  } cases[] = {
      {{{"<b>", "<font face=Arial>"}, {"<strong>", ""}},
       "[Find HTML Code]\r\n0=<b>\r\n1=<font face=Arial>\r\n"
       "[Replace HTML Code]\r\n0=<strong>\r\n1=(leer)\r\n",
       {{"<b>", "<font face=Arial>"}, {"<strong>", ""}}},
      {{{" <br>", "'x'"}, {"\"x\"", " "}},
       "[Find HTML Code]\r\n0=\" <br>\"\r\n1=\"'x'\"\r\n[Replace HTML Code]\r\n0=\"\"x\"\"\r\n"
       "1=\" \"\r\n",
       {{" <br>", "'x'"}, {"\"x\"", " "}}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WindowStore store(dir.Path());
    SaveHtmlCodeList(store.ini, c.list);
    EXPECT_EQ(ReadFile(dir.File("Velkaro.ini")), c.file);
    EXPECT_EQ(store.ini.Section(), "Replace HTML Code");
    const HtmlCodeList loaded = store.Load();
    EXPECT_EQ(loaded.find, c.loaded.find);
    EXPECT_EQ(loaded.replace, c.loaded.replace);
  }
}

// Every value the list editor accepts comes back byte for byte, while what earlier versions
// wrote reads as it always did: only values that would not read back as themselves are
// written differently.
TEST(SaveHtmlCodeList, EveryValueComesBackByteForByte) {
  struct Case {
    std::string value;
    std::string written;  // the value's text in the file
  } cases[] = {
      {"<b>", "<b>"},
      {"", ""},
      {"(leer)", "(leer)"},  // a find text; as a replacement it stands for the empty one
      {"<td align=right>", "<td align=right>"},
      {" <br>", "\" <br>\""},
      {"<br> ", "\"<br> \""},
      {"\t<br>\t", "\"\t<br>\t\""},
      {"   ", "\"   \""},
      {"\"red\"", "\"\"red\"\""},
      {"'red'", "\"'red'\""},
      {"\"", "\""},
      {"'", "'"},
      {"\"\"", "\"\"\"\""},
      {"\"red", "\"red"},
      {"red\"", "red\""},
      {"\"red'", "\"red'"},
      {" \"red\" ", "\" \"red\" \""},
      {"a \"b\" c", "a \"b\" c"},
      {" \xE4\xF6\xFC \x80 ", "\" \xE4\xF6\xFC \x80 \""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("value [" + c.value + "]");
    TempDir dir;
    WindowStore store(dir.Path());
    const std::string replace = c.value.empty() ? "x" : c.value;
    SaveHtmlCodeList(store.ini, HtmlCodeList{{c.value}, {replace}});
    const std::string replaceWritten = c.value.empty() ? "x" : c.written;
    EXPECT_EQ(ReadFile(dir.File("Velkaro.ini")),
              "[Find HTML Code]\r\n0=" + c.written +
                  "\r\n[Replace HTML Code]\r\n0=" + replaceWritten + "\r\n");
    const HtmlCodeList loaded = store.Load();
    EXPECT_EQ(loaded.find, Strings{c.value});
    EXPECT_EQ(loaded.replace, Strings{c.value == "(leer)" ? "" : replace});
    EXPECT_TRUE(store.feedback.errors.empty());
  }
}

TEST(SaveHtmlCodeList, RenumbersAndKeepsOtherSections) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path,
            "[Find HTML Code]\r\n7=<b>\r\n3=<i>\r\n[Options]\r\nOptCB.ItemIndex=2\r\n"
            "[Replace HTML Code]\r\n7=<strong>\r\n3=<em>\r\n[VelkaroWindowPosition]\r\nTop=5\r\n");
  WindowStore store(dir.Path());
  SaveHtmlCodeList(store.ini, store.Load());
  EXPECT_EQ(
      ReadFile(path),
      "[Options]\r\nOptCB.ItemIndex=2\r\n[VelkaroWindowPosition]\r\nTop=5\r\n"
      "[Find HTML Code]\r\n0=<b>\r\n1=<i>\r\n[Replace HTML Code]\r\n0=<strong>\r\n1=<em>\r\n");

  SaveHtmlCodeList(store.ini, HtmlCodeList{});  // an empty list leaves no sections
  EXPECT_EQ(ReadFile(path),
            "[Options]\r\nOptCB.ItemIndex=2\r\n[VelkaroWindowPosition]\r\nTop=5\r\n");
}

TEST(SaveHtmlCodeList, LongListsAndLongEntriesComeBackWhole) {
  TempDir dir;
  WindowStore store(dir.Path());
  HtmlCodeList list;
  for (int i = 0; i < 5000; ++i) {
    list.find.push_back("<tag" + std::to_string(i) + " a=b>");
    list.replace.push_back(i % 7 == 0 ? std::string() : "<new" + std::to_string(i) + ">");
  }
  std::string longEntry;
  for (int i = 0; longEntry.size() < 10000; ++i) longEntry += static_cast<char>('a' + i % 26);
  longEntry.resize(10000);
  list.find[4321] = longEntry;
  list.replace[4999] = "x" + longEntry + "x";
  SaveHtmlCodeList(store.ini, list);
  const HtmlCodeList loaded = store.Load();
  EXPECT_EQ(loaded.find, list.find);
  EXPECT_EQ(loaded.replace, list.replace);
  EXPECT_TRUE(store.feedback.errors.empty());
}

TEST(HtmlCodeListLoader, LoadsAfreshFromTheFileItWasGiven) {
  TempDir dir;
  const std::string path = dir.File("batch.ini");
  WriteFile(path, "[Find HTML Code]\r\n0=<b>\r\n[Replace HTML Code]\r\n0=<strong>\r\n");
  RecordingFeedback feedback;
  const auto load = MakeHtmlCodeListLoader(SettingsStoreForFile(path));
  const SharedHtmlCodeList first = load(feedback);
  EXPECT_EQ(first->find, Strings{"<b>"});
  EXPECT_EQ(first->replace, Strings{"<strong>"});
  // Unchanged, the file gives the same list, not a copy of it.
  EXPECT_EQ(load(feedback), first);

  WriteFile(path, "[Find HTML Code]\r\n0=<i>\r\n1=<u>\r\n[Replace HTML Code]\r\n0=<em>\r\n");
  const SharedHtmlCodeList second = load(feedback);
  EXPECT_EQ(second->find, (Strings{"<i>", "<u>"}));
  EXPECT_EQ(second->replace, (Strings{"<em>", "<u>"}));
  EXPECT_EQ(first->find, Strings{"<b>"});  // a page still in hand keeps its list
  EXPECT_EQ(feedback.errors, Strings{kUnequal});
  EXPECT_EQ(ReadFile(path),
            "[Find HTML Code]\r\n0=<i>\r\n1=<u>\r\n[Replace HTML Code]\r\n0=<em>\r\n1=<u>\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("Velkaro.ini")));

  // The user's store: "Velkaro.ini" in SettingsFolder.
  test::ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
  std::filesystem::create_directories(dir.File("config/Velkaro"));
  WriteFile(dir.File("config/Velkaro/Velkaro.ini"),
            "[Find HTML Code]\r\n0=a\r\n[Replace HTML Code]\r\n0=(leer)\r\n");
  const SharedHtmlCodeList user = MakeHtmlCodeListLoader(UserSettingsStore())(feedback);
  EXPECT_EQ(user->find, Strings{"a"});
  EXPECT_EQ(user->replace, Strings{""});
}

TEST(HtmlCodeListLoader, MessagesGoToTheFeedbackOfEachCall) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  const auto load = MakeHtmlCodeListLoader(SettingsStoreForFile(path));
  WriteFile(path, "[Find HTML Code]\r\n0=a\r\n[Replace HTML Code]\r\n");
  RecordingFeedback first;
  const SharedHtmlCodeList list = load(first);
  EXPECT_EQ(list->find, Strings{"a"});
  EXPECT_EQ(list->replace, Strings{"a"});
  EXPECT_EQ(first.errors, Strings{kUnequal});

  WriteFile(path, "[Find HTML Code]\r\n0=a\r\n1=b\r\n[Replace HTML Code]\r\n0=c\r\n");
  RecordingFeedback second;
  EXPECT_EQ(load(second)->replace, (Strings{"c", "b"}));
  EXPECT_EQ(second.errors, Strings{kUnequal});
  EXPECT_EQ(first.errors.size(), 1u);

  // A list loaded with a message it cannot get rid of (a settings file whose protection cannot
  // be removed) is shared while the file stays as it is, and the message is shown for every
  // page all the same.
  if (!test::RunningAsRoot()) return;
  const test::ChildResult child = test::RunInChild([&]() -> std::string {
    if (::chmod(dir.Path().c_str(), 0777) != 0 || ::chmod(path.c_str(), 0444) != 0 ||
        ::setgid(65534) != 0 || ::setuid(65534) != 0) {
      return "no second user";
    }
    std::string seen;
    for (int call = 0; call < 3; ++call) {
      RecordingFeedback feedback;
      const SharedHtmlCodeList shared = load(feedback);
      seen += std::to_string(feedback.errors.size()) + (shared->find.empty() ? "e " : "f ");
    }
    return seen;
  });
  EXPECT_EQ(child.out, "1e 1e 1e ");
}

// The repaired list cannot be written back (the file may not grow, as on a full disk): the
// message was shown, the store's error passes on, the file stays as it was.
TEST(HtmlCodeListLoader, RepairThatCannotBeWrittenPassesTheErrorOn) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  const std::string before =
      "[Find HTML Code]\r\n0=" + std::string(3000, 'f') + "\r\n[Replace HTML Code]\r\n";
  WriteFile(path, before);
  const test::ChildResult child = test::RunInChild(
      [&]() -> std::string {
        RecordingFeedback feedback;
        const auto load = MakeHtmlCodeListLoader(SettingsStoreForFile(path));
        try {
          load(feedback);
        } catch (const IniWriteError& e) {
          return (feedback.errors == Strings{kUnequal} ? "message shown | " : "no message | ") +
                 std::string(e.what());
        }
        return "no IniWriteError";
      },
      test::SizeLimited(4096));
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "message shown | In " + path + " kann nicht geschrieben werden");
  EXPECT_EQ(ReadFile(path), before);
}

}  // namespace
}  // namespace vk
