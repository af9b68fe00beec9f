#include "diff/myers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "diff_support.h"

namespace vk {
namespace {

// Length of a longest common subsequence, by the textbook table.
std::size_t LcsLength(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1), next(b.size() + 1);
  for (std::size_t i = a.size(); i-- > 0;) {
    for (std::size_t j = b.size(); j-- > 0;) {
      next[j] = a[i] == b[j] ? row[j + 1] + 1 : std::max(row[j], next[j + 1]);
    }
    std::swap(row, next);
  }
  return row[0];
}

struct Result {
  std::string aKept, bKept;
  std::size_t marked = 0;
  bool complete = false;
};

Result RunMyers(const std::string& a, const std::string& b, std::uint64_t budgetSteps = 1u << 30) {
  std::vector<std::uint8_t> aChanged(a.size()), bChanged(b.size());
  DiffBudget budget(budgetSteps);
  Result r;
  r.complete = MyersDiff(std::span<const char>(a.data(), a.size()),
                         std::span<const char>(b.data(), b.size()), aChanged.data(),
                         bChanged.data(), budget);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!aChanged[i]) r.aKept += a[i];
    r.marked += aChanged[i];
  }
  for (std::size_t j = 0; j < b.size(); ++j) {
    if (!bChanged[j]) r.bKept += b[j];
    r.marked += bChanged[j];
  }
  return r;
}

TEST(MyersDiff, FindsALongestCommonSubsequence) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"abc", ""},
      {"", "abc"},
      {"abc", "abc"},
      {"abcabba", "cbabac"},  // the example of Myers' paper: D = 5
      {"ab", "ba"},
      {"a", "b"},
      {"xaxbx", "ab"},
      {"aaaa", "aa"},
      {"abcdefgh", "hgfedcba"},
  };
  for (const auto& [a, b] : cases) {
    const Result r = RunMyers(a, b);
    EXPECT_TRUE(r.complete) << a << " / " << b;
    EXPECT_EQ(r.aKept, r.bKept) << a << " / " << b;
    EXPECT_EQ(r.aKept.size(), LcsLength(a, b)) << a << " / " << b;
  }
  EXPECT_EQ(RunMyers("abcabba", "cbabac").marked, 5u);
}

TEST(MyersDiff, RandomPairsAreMinimalAndConsistent) {
  test::Rng rng(7);
  for (int round = 0; round < 400; ++round) {
    const std::string alphabet = round % 2 ? "ab" : "abcdefgh";
    std::string a = rng.Text(rng.Below(60), alphabet);
    std::string b = a;
    // A few edits, so that the pairs range from nearly equal to unrelated.
    for (std::size_t e = 0, edits = rng.Below(30); e < edits; ++e) {
      const std::size_t at = b.empty() ? 0 : rng.Below(b.size() + 1);
      if (rng.Below(2) && at < b.size()) {
        b.erase(at, 1);
      } else {
        b.insert(at, 1, alphabet[rng.Below(alphabet.size())]);
      }
    }
    if (round % 10 == 0) b = rng.Text(rng.Below(60), alphabet);
    const Result r = RunMyers(a, b);
    ASSERT_EQ(r.aKept, r.bKept) << a << " / " << b;
    ASSERT_EQ(r.aKept.size(), LcsLength(a, b)) << a << " / " << b;
  }
}

TEST(MyersDiff, PastTheCostLimitTheScriptStaysValid) {
  // Two unrelated texts of 4000 bytes need far more than 256 steps in one box.
  test::Rng rng(11);
  for (int round = 0; round < 4; ++round) {
    const std::string a = rng.Text(4000, "abcd");
    const std::string b = rng.Text(3000 + rng.Below(2000), "abcd");
    const Result r = RunMyers(a, b);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.aKept, r.bKept);
    // Not necessarily minimal, but not far from it.
    EXPECT_GE(r.aKept.size() * 100, LcsLength(a, b) * 85)
        << r.aKept.size() << " of " << LcsLength(a, b);
  }
}

TEST(MyersDiff, ASpentBudgetMarksTheRestWhole) {
  test::Rng rng(3);
  const std::string a = rng.Text(3000, "abcdef");
  const std::string b = rng.Text(3000, "abcdef");
  const Result r = RunMyers(a, b, 2000);
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.aKept, r.bKept);
  EXPECT_GT(r.marked, 0u);
}

}  // namespace
}  // namespace vk
