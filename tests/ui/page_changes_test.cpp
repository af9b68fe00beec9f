// The texts kept for showing a page's changes: found by row, the oldest going first beyond the
// budget, a row that lost its texts told from one that never changed, and a preview's texts
// made again when asked for.
#include "ui/page_changes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vk {
namespace {

using State = PageChanges::State;

TEST(PageChangesTest, TheOldestTextsGoBeyondTheBudget) {
  struct Case {
    const char* name;
    std::size_t budget;
    const char* states;  // rows 0..5: K kept, U unchanged, N no longer kept
    std::size_t bytesKept;
  };
  // Rows 0, 2, 3 and 5 changed: 10 + 10, 20 + 20, 5 + 5 and 30 + 30 bytes.
  const Case cases[] = {
      {"all fit", 1000, "KUKKUK", 130},
      {"exactly the budget", 130, "KUKKUK", 130},
      {"the first goes", 129, "NUKKUK", 110},
      {"the three oldest go", 60, "NUNNUK", 60},
      {"a page bigger than the budget goes too", 59, "NUNNUN", 0},
  };
  for (const Case& c : cases) {
    PageChanges changes(c.budget);
    changes.Add(0, "p0", std::string(10, 'a'), std::string(10, 'b'), PageEncoding::kUtf8);
    changes.Add(2, "p2", std::string(20, 'c'), std::string(20, 'd'), PageEncoding::kWindows1252);
    changes.Add(3, "p3", std::string(5, 'e'), std::string(5, 'f'), PageEncoding::kUtf8);
    changes.Add(5, "p5", std::string(30, 'g'), std::string(30, 'h'), PageEncoding::kUtf8);
    std::string states;
    for (int row = 0; row < 6; ++row) {
      const State state = changes.StateOf(row);
      states += state == State::kKept ? 'K' : state == State::kUnchanged ? 'U' : 'N';
      EXPECT_EQ(changes.Get(row).has_value(), state == State::kKept) << c.name << row;
    }
    EXPECT_EQ(states, c.states) << c.name;
    EXPECT_EQ(changes.BytesKept(), c.bytesKept) << c.name;
  }
}

TEST(PageChangesTest, KeptTextsComeBackAsGivenAndClearForgetsEverything) {
  PageChanges changes(100);
  changes.Add(1, "p1", "alt", "neu", PageEncoding::kWindows1252);
  changes.Add(4, "p4", std::string(200, 'x'), "y", PageEncoding::kUtf8);  // bigger than the budget
  EXPECT_FALSE(changes.Get(1));  // went with the big one after it
  changes.Clear();
  changes.Add(1, "p1", "alt", "neu", PageEncoding::kWindows1252);
  const std::optional<PageChanges::Change> kept = changes.Get(1);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->oldBytes, "alt");
  EXPECT_EQ(kept->newBytes, "neu");
  EXPECT_EQ(kept->encoding, PageEncoding::kWindows1252);
  EXPECT_EQ(changes.StateOf(4), State::kUnchanged);  // forgotten by Clear
}

// A preview keeps paths only, nothing counts against the budget, and each text is made again
// when asked for, with the row it was asked for; a page that no longer changes has none.
TEST(PageChangesTest, APreviewsTextsAreMadeAgainWhenAskedFor) {
  PageChanges changes(10);
  std::vector<std::string> asked;
  changes.MakeAgainWith([&](const std::string& path) -> std::optional<PageChanges::Change> {
    asked.push_back(path);
    if (path == "gone") return std::nullopt;
    return PageChanges::Change{99, path + " alt", std::string(50, 'n'), PageEncoding::kUtf8};
  });
  changes.Clear();  // the run starts: the way of making texts again stays
  changes.Add(0, "a.htm", std::string(40, 'o'), std::string(40, 'n'), PageEncoding::kUtf8);
  changes.Add(2, "gone", "x", "y", PageEncoding::kUtf8);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(changes.BytesKept(), 0u);
  EXPECT_EQ(changes.StateOf(0), State::kKept);
  EXPECT_EQ(changes.StateOf(1), State::kUnchanged);
  const std::optional<PageChanges::Change> made = changes.Get(0);
  ASSERT_TRUE(made);
  EXPECT_EQ(made->row, 0);
  EXPECT_EQ(made->oldBytes, "a.htm alt");
  EXPECT_FALSE(changes.Get(2));
  EXPECT_FALSE(changes.Get(1));
  EXPECT_EQ(asked, (std::vector<std::string>{"a.htm", "gone"}));

  // A real run after it keeps its texts again.
  changes.MakeAgainWith({});
  changes.Clear();
  changes.Add(0, "a.htm", "alt", "neu", PageEncoding::kUtf8);
  ASSERT_TRUE(changes.Get(0));
  EXPECT_EQ(changes.Get(0)->newBytes, "neu");
  EXPECT_EQ(asked.size(), 2u);
}

}  // namespace
}  // namespace vk
