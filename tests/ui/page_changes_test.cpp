// The texts kept for showing a page's changes: found by row, the oldest going first beyond the
// budget, and a row that lost its texts told from one that never changed.
#include "ui/page_changes.h"

#include <gtest/gtest.h>

#include <string>

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
    changes.Add(0, std::string(10, 'a'), std::string(10, 'b'), PageEncoding::kUtf8);
    changes.Add(2, std::string(20, 'c'), std::string(20, 'd'), PageEncoding::kWindows1252);
    changes.Add(3, std::string(5, 'e'), std::string(5, 'f'), PageEncoding::kUtf8);
    changes.Add(5, std::string(30, 'g'), std::string(30, 'h'), PageEncoding::kUtf8);
    std::string states;
    for (int row = 0; row < 6; ++row) {
      const State state = changes.StateOf(row);
      states += state == State::kKept ? 'K' : state == State::kUnchanged ? 'U' : 'N';
      EXPECT_EQ(changes.Find(row) != nullptr, state == State::kKept) << c.name << row;
    }
    EXPECT_EQ(states, c.states) << c.name;
    EXPECT_EQ(changes.BytesKept(), c.bytesKept) << c.name;
  }
}

TEST(PageChangesTest, KeptTextsComeBackAsGivenAndClearForgetsEverything) {
  PageChanges changes(100);
  changes.Add(1, "alt", "neu", PageEncoding::kWindows1252);
  changes.Add(4, std::string(200, 'x'), "y", PageEncoding::kUtf8);  // bigger than the budget
  const PageChanges::Change* kept = changes.Find(1);
  EXPECT_EQ(kept, nullptr);  // went with the big one after it
  changes.Clear();
  changes.Add(1, "alt", "neu", PageEncoding::kWindows1252);
  kept = changes.Find(1);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->oldBytes, "alt");
  EXPECT_EQ(kept->newBytes, "neu");
  EXPECT_EQ(kept->encoding, PageEncoding::kWindows1252);
  EXPECT_EQ(changes.StateOf(4), State::kUnchanged);  // forgotten by Clear
}

}  // namespace
}  // namespace vk
