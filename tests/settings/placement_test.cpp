#include "settings/placement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vk {
namespace {

using Kind = SaveDecision::Kind;

const MonitorInfo kFullHd{{0, 0, 1920, 1080}, true};
const MonitorInfo kRightSecondary{{1920, 0, 1280, 1024}, false};

StoredPlacement Stored(int showCmd, int top, int left, int width, int height, int monitor) {
  StoredPlacement s;
  s.showCmd = showCmd;
  s.top = top;
  s.left = left;
  s.width = width;
  s.height = height;
  s.monitor = monitor;
  return s;
}

WindowPlacementState Window(PlacementRect geometry, bool maximized = false, bool minimized = false,
                            bool resizable = true) {
  return WindowPlacementState{geometry, maximized, minimized, resizable};
}

TEST(ChooseMonitor, TakesTheFirstTwoByThePrimaryFlag) {
  struct Case {
    std::vector<MonitorInfo> monitors;
    TReposMonitor which;
    int index;
    TReposMonitor whichAfter;
  };
  const MonitorInfo left{{-1280, 0, 1280, 1024}, false};
  const MonitorInfo third{{3200, 0, 800, 600}, false};
  const Case cases[] = {
      {{}, TReposMonitor::rposSecondary, -1, TReposMonitor::rposPrimary},
      {{kFullHd}, TReposMonitor::rposPrimary, 0, TReposMonitor::rposPrimary},
      {{kFullHd}, TReposMonitor::rposSecondary, 0, TReposMonitor::rposPrimary},
      {{kFullHd, kRightSecondary}, TReposMonitor::rposPrimary, 0, TReposMonitor::rposPrimary},
      {{kFullHd, kRightSecondary}, TReposMonitor::rposSecondary, 1, TReposMonitor::rposSecondary},
      {{left, kFullHd}, TReposMonitor::rposPrimary, 1, TReposMonitor::rposPrimary},
      {{left, kFullHd}, TReposMonitor::rposSecondary, 0, TReposMonitor::rposSecondary},
      {{kFullHd, kRightSecondary, third},
       TReposMonitor::rposSecondary,
       1,
       TReposMonitor::rposSecondary},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    TReposMonitor which = cases[i].which;
    EXPECT_EQ(ChooseMonitor(cases[i].monitors, &which), cases[i].index) << "case " << i;
    EXPECT_EQ(which, cases[i].whichAfter) << "case " << i;
  }
}

TEST(RestorePlacement, FollowsTheStoredValuesAndTheMonitors) {
  struct Case {
    const char* name;
    StoredPlacement stored;
    std::vector<MonitorInfo> monitors;
    WindowPlacementState window;
    bool allowMaximized;
    PlacementRect geometry;
    std::optional<bool> maximized;
    TReposMonitor monitor;
    bool centred;
  };
  const StoredPlacement none;
  const PlacementRect designed{0, 0, 850, 500};
  const Case cases[] = {
      {"first start: centred, state left alone",
       none,
       {kFullHd},
       Window(designed),
       true,
       {535, 290, 850, 500},
       std::nullopt,
       TReposMonitor::rposPrimary,
       true},
      {"one key missing is as good as none",
       Stored(0, 10, 20, 700, -1, 0),
       {kFullHd},
       Window(designed),
       true,
       {535, 290, 850, 500},
       std::nullopt,
       TReposMonitor::rposPrimary,
       true},
      {"closed maximized on the first start: centred and not maximized",
       Stored(1, -1, -1, -1, -1, 0),
       {kFullHd},
       Window(designed),
       true,
       {535, 290, 850, 500},
       std::nullopt,
       TReposMonitor::rposPrimary,
       true},
      {"centring truncates toward zero",
       none,
       {kFullHd},
       Window({0, 0, 1923, 1083}),
       true,
       {-1, -1, 1923, 1083},
       std::nullopt,
       TReposMonitor::rposPrimary,
       true},
      {"centring on the primary when it is listed second",
       Stored(0, -1, 5, 5, 5, 1),
       {{{0, 0, 1280, 1024}, false}, {{1280, 0, 1920, 1080}, true}},
       Window(designed),
       true,
       {1815, 290, 850, 500},
       std::nullopt,
       TReposMonitor::rposPrimary,
       true},
      {"stored edges and size",
       Stored(0, 40, 30, 700, 500, 0),
       {kFullHd},
       Window(designed),
       true,
       {30, 40, 700, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"negative left not applied, top applied",
       Stored(0, 20, -5, 700, 500, 0),
       {kFullHd},
       Window({33, 44, 850, 500}),
       true,
       {33, 20, 700, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"Monitor 1 on one monitor counts as primary",
       Stored(0, -7, -5, 700, 500, 1),
       {kFullHd},
       Window({33, 44, 850, 500}),
       true,
       {33, 44, 700, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"Monitor 1 on two monitors takes negative edges",
       Stored(0, -7, -5, 700, 500, 1),
       {kFullHd, kRightSecondary},
       Window({33, 44, 850, 500}),
       true,
       {-5, -7, 700, 500},
       false,
       TReposMonitor::rposSecondary,
       false},
      {"Left 100 + Width 2000 on 1920 pixels",
       Stored(0, 0, 100, 2000, 500, 0),
       {kFullHd},
       Window(designed),
       true,
       {0, 0, 2000, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"right and bottom edges pulled back",
       Stored(0, 900, 1500, 800, 400, 0),
       {kFullHd},
       Window(designed),
       true,
       {1120, 680, 800, 400},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"second monitor: W is both widths",
       Stored(0, 300, 2500, 800, 800, 1),
       {kFullHd, kRightSecondary},
       Window(designed),
       true,
       {2400, 224, 800, 800},
       false,
       TReposMonitor::rposSecondary,
       false},
      {"same edges on the primary: W is its width",
       Stored(0, 300, 2500, 800, 700, 0),
       {kFullHd, kRightSecondary},
       Window(designed),
       true,
       {1120, 300, 800, 700},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"ShowCmd 1 without AllowMaximized",
       Stored(1, 40, 30, 700, 500, 0),
       {kFullHd},
       Window(designed),
       false,
       {30, 40, 700, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"ShowCmd 1 with AllowMaximized",
       Stored(1, 40, 30, 700, 500, 0),
       {kFullHd},
       Window(designed),
       true,
       {30, 40, 700, 500},
       true,
       TReposMonitor::rposPrimary,
       false},
      {"ShowCmd 3 is normal",
       Stored(3, 40, 30, 700, 500, 0),
       {kFullHd},
       Window(designed),
       true,
       {30, 40, 700, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"zero sizes are not applied",
       Stored(0, 40, 1800, 0, 0, 0),
       {kFullHd},
       Window(designed),
       true,
       {1800, 40, 850, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"fixed size on one monitor: edges only",
       Stored(0, 900, 1500, 800, 400, 0),
       {kFullHd},
       Window(designed, false, false, false),
       true,
       {1500, 900, 850, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"fixed size on two monitors: edges pulled back by the present size",
       Stored(0, 900, 1500, 800, 400, 0),
       {kFullHd, kRightSecondary},
       Window(designed, false, false, false),
       true,
       {1070, 580, 850, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"maximized window: neither edges nor size",
       Stored(0, 40, 30, 700, 500, 0),
       {kFullHd},
       Window({1, 2, 850, 500}, true),
       true,
       {1, 2, 850, 500},
       false,
       TReposMonitor::rposPrimary,
       false},
      {"huge stored numbers do not overflow",
       Stored(0, 2147483600, 2147483600, 2000, 2000, 0),
       {kFullHd},
       Window(designed),
       true,
       {0, 0, 2000, 2000},
       false,
       TReposMonitor::rposPrimary,
       false},
  };
  for (const Case& c : cases) {
    const RestoreResult r = RestorePlacement(c.stored, c.monitors, c.window, c.allowMaximized);
    EXPECT_EQ(r.geometry, c.geometry)
        << c.name << ": got " << r.geometry.left << "," << r.geometry.top << " " << r.geometry.width
        << "x" << r.geometry.height;
    EXPECT_EQ(r.maximized, c.maximized) << c.name;
    EXPECT_EQ(r.monitor, c.monitor) << c.name;
    EXPECT_EQ(r.centred, c.centred) << c.name;
  }
}

TEST(SavePlacement, WritesNothingOnlyTheStateOrEverything) {
  const PlacementNames names{"VelkaroWindowPosition"};
  using KV = std::vector<std::pair<std::string, std::int32_t>>;
  struct Case {
    const char* name;
    WindowPlacementState window;
    bool nonPrimary;
    bool allowMaximized;
    Kind kind;
    KV written;
  };
  const PlacementRect g{12, 34, 700, 500};
  const Case cases[] = {
      {"minimized", Window(g, false, true), false, true, Kind::kNothing, {}},
      {"maximized, not allowed", Window(g, true), false, false, Kind::kNothing, {}},
      {"maximized, allowed", Window(g, true), false, true, Kind::kStateOnly, {{"ShowCmd", 1}}},
      {"normal on the primary",
       Window(g),
       false,
       true,
       Kind::kAll,
       {{"ShowCmd", 0},
        {"Top", 34},
        {"Left", 12},
        {"Width", 700},
        {"Height", 500},
        {"Monitor", 0}}},
      {"normal elsewhere",
       Window({-900, -5, 640, 480}),
       true,
       false,
       Kind::kAll,
       {{"ShowCmd", 0},
        {"Top", -5},
        {"Left", -900},
        {"Width", 640},
        {"Height", 480},
        {"Monitor", 1}}},
  };
  for (const Case& c : cases) {
    const SaveDecision d = SavePlacement(c.window, c.nonPrimary, c.allowMaximized);
    EXPECT_EQ(d.kind, c.kind) << c.name;
    EXPECT_EQ(PlacementKeyValues(d, names), c.written) << c.name;
  }
}

TEST(CentredOrigin, HalvesTheFreeSpaceButStaysOnTheDesktop) {
  struct Case {
    PlacementRect primary, desktop;
    int width, height;
    std::pair<int, int> origin;
  };
  const Case cases[] = {
      {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 850, 500, {535, 290}},
      {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 2000, 1200, {0, 0}},
      {{0, 0, 1920, 1080}, {-1280, -100, 3200, 1180}, 2000, 1200, {-40, -60}},
      {{1280, 0, 1920, 1080}, {0, 0, 3200, 1080}, 700, 500, {1890, 290}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CentredOrigin(c.primary, c.desktop, c.width, c.height), c.origin);
  }
}

TEST(PlacementIni, ReadsNumbersHexAndDefaults) {
  test::TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  const PlacementNames names{"VelkaroWindowPosition"};
  struct Case {
    const char* name;
    std::string content;
    StoredPlacement expected;
  };
  const Case cases[] = {
      {"all keys",
       "[Options]\r\nCreateBak=1\r\n[VelkaroWindowPosition]\r\nShowCmd=1\r\nTop=20\r\n"
       "Left=-5\r\nWidth=700\r\nHeight=500\r\nMonitor=1\r\n",
       Stored(1, 20, -5, 700, 500, 1)},
      {"hexadecimal, blanks, letter case",
       "[velkarowindowposition]\r\nshowcmd=0x1\r\nTOP= 0x1F \r\nLeft=0X10\r\nwidth=\"640\"\r\n"
       "Height=480\r\n",
       Stored(1, 31, 16, 640, 480, 0)},
      {"texts that are no whole numbers count as missing",
       "[VelkaroWindowPosition]\r\nShowCmd=yes\r\nTop=1.5\r\nLeft=\r\nWidth=12 3\r\n"
       "Height=INIERROR\r\nMonitor=0x\r\n",
       StoredPlacement{}},
      {"another section's keys do not count",
       "[WindowPosition]\r\nTop=1\r\nLeft=2\r\nWidth=3\r\nHeight=4\r\n", StoredPlacement{}},
      {"empty file", "", StoredPlacement{}},
  };
  for (const Case& c : cases) {
    test::WriteFile(path, c.content);
    const StoredPlacement s = ReadPlacementIni(path, names);
    EXPECT_EQ(s.showCmd, c.expected.showCmd) << c.name;
    EXPECT_EQ(s.top, c.expected.top) << c.name;
    EXPECT_EQ(s.left, c.expected.left) << c.name;
    EXPECT_EQ(s.width, c.expected.width) << c.name;
    EXPECT_EQ(s.height, c.expected.height) << c.name;
    EXPECT_EQ(s.monitor, c.expected.monitor) << c.name;
  }
  const StoredPlacement missing = ReadPlacementIni(dir.File("none.ini"), names);
  EXPECT_EQ(missing.top, -1);
  EXPECT_EQ(missing.showCmd, 0);
}

TEST(PlacementIni, WritesItsKeysInOrderAndLeavesOtherLines) {
  test::TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  const PlacementNames names{"VelkaroWindowPosition"};
  const SaveDecision all = SavePlacement(Window({12, 34, 700, 500}), false, true);
  const SaveDecision stateOnly = SavePlacement(Window({1, 1, 1, 1}, true), false, true);
  const SaveDecision nothing = SavePlacement(Window({1, 1, 1, 1}, false, true), false, true);

  // A missing file: nothing to save creates nothing; a save creates it.
  ASSERT_TRUE(WritePlacementIni(path, names, nothing));
  struct stat st;
  EXPECT_NE(::stat(path.c_str(), &st), 0);
  ASSERT_TRUE(WritePlacementIni(path, names, all));
  EXPECT_EQ(test::ReadFile(path),
            "[VelkaroWindowPosition]\r\nShowCmd=0\r\nTop=34\r\nLeft=12\r\nWidth=700\r\n"
            "Height=500\r\nMonitor=0\r\n");

  // Other sections stay; known keys change in place; maximized touches ShowCmd alone.
  test::WriteFile(path,
                  "[Options]\r\nCreateBak=1\r\n[VelkaroWindowPosition]\r\nLeft=5\r\n"
                  "ShowCmd=0\r\n[Find HTML Code]\r\n0=<b>\r\n");
  ASSERT_TRUE(WritePlacementIni(path, names, stateOnly));
  EXPECT_EQ(test::ReadFile(path),
            "[Options]\r\nCreateBak=1\r\n[VelkaroWindowPosition]\r\nLeft=5\r\n"
            "ShowCmd=1\r\n[Find HTML Code]\r\n0=<b>\r\n");
  ASSERT_TRUE(WritePlacementIni(path, names, all));
  EXPECT_EQ(test::ReadFile(path),
            "[Options]\r\nCreateBak=1\r\n[VelkaroWindowPosition]\r\nLeft=12\r\n"
            "ShowCmd=0\r\nTop=34\r\nWidth=700\r\nHeight=500\r\nMonitor=0\r\n"
            "[Find HTML Code]\r\n0=<b>\r\n");
  const StoredPlacement back = ReadPlacementIni(path, names);
  EXPECT_EQ(RestorePlacement(back, {kFullHd}, Window({0, 0, 850, 500}), true).geometry,
            (PlacementRect{12, 34, 700, 500}));

  // The minimized save leaves the file as it was.
  const std::string before = test::ReadFile(path);
  ASSERT_TRUE(WritePlacementIni(path, names, nothing));
  EXPECT_EQ(test::ReadFile(path), before);
}

TEST(PlacementIni, AFailedSaveLeavesTheFileAndReportsFalse) {
  test::TempDir dir;
  const PlacementNames names{"VelkaroWindowPosition"};
  const SaveDecision all = SavePlacement(Window({12, 34, 700, 500}), false, true);
  EXPECT_FALSE(WritePlacementIni(dir.File("missing/Velkaro.ini"), names, all));
  EXPECT_NE(::mkdir(dir.File("folder.ini").c_str(), 0700), -1);
  EXPECT_FALSE(WritePlacementIni(dir.File("folder.ini"), names, all));

  const std::string path = dir.File("Velkaro.ini");
  test::WriteFile(path, "[VelkaroWindowPosition]\r\nTop=1\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(WritePlacementIni(path, names, all));
  EXPECT_EQ(test::ReadFile(path), "[VelkaroWindowPosition]\r\nTop=1\r\n");
}

}  // namespace
}  // namespace vk
