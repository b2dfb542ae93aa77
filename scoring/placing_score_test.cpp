#include "scoring/placing_score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

struct ScoreCase {
  int official, cuts, contestant, expected;
};

TEST(PlacingScore, WorkedExamplesAndEdgeCases) {
  const ScoreCase cases[] = {
      // Each pair charged on its own, then combinations.
      {1234, 253, 1234, 50},
      {1234, 253, 2134, 48},
      {1234, 253, 1324, 45},
      {1234, 253, 1243, 47},
      {1234, 253, 2143, 45},
      {1234, 253, 4321, 15},
      {3142, 412, 1342, 46},
      {4123, 321, 1234, 36},
      // Clamped at the end, never negative.
      {1234, 999, 4321, 0},
      {1234, 990, 4231, 0},
      // A contestant placing of 0 scores 0 whatever the official values.
      {1234, 253, 0, 0},
      {4321, 0, 0, 0},
      {0, 0, 0, 0},
      // No cuts: nothing is charged.
      {1234, 0, 4321, 50},
      {3142, 0, 2413, 50},
      // Unvalidated digits: an absent item takes part in no pair.
      {1234, 253, 1123, 50},
      {1234, 253, 5678, 50},
      // The first position is a whole quotient: 24312 is (24, 3, 1, 2), so
      // item 4 appears nowhere and only 3-over-1 and 3-over-2 are charged.
      {1234, 253, 24312, 38},
      // So is the top cut: 1234 is top 12, middle 3, bottom 4.
      {1234, 1234, 2134, 38},
      {1234, 1234, 1243, 46},
  };
  for (const ScoreCase& c : cases)
    EXPECT_EQ(score_placing(c.contestant, c.official, c.cuts), c.expected)
        << "official " << c.official << " cuts " << c.cuts << " contestant " << c.contestant;
}

std::vector<std::array<int, 4>> all_orders() {
  std::array<int, 4> items = {1, 2, 3, 4};
  std::vector<std::array<int, 4>> orders;
  do orders.push_back(items);
  while (std::next_permutation(items.begin(), items.end()));
  return orders;
}

int as_placing(const std::array<int, 4>& order) {
  return order[0] * 1000 + order[1] * 100 + order[2] * 10 + order[3];
}

// The same rule reached another way: for each pair of items in the wrong
// order, charge the cuts between their official positions.
int reference_score(const std::array<int, 4>& contestant, const std::array<int, 4>& official,
                    int cuts) {
  const int gap[3] = {cuts / 100, cuts / 10 % 10, cuts % 10};
  int where[5] = {0, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) where[contestant[i]] = i;
  int score = 50;
  for (int hi = 0; hi < 4; ++hi)
    for (int lo = hi + 1; lo < 4; ++lo)
      if (where[official[lo]] < where[official[hi]])
        for (int k = hi; k < lo; ++k) score -= gap[k];
  return std::max(score, 0);
}

TEST(PlacingScore, EveryOrderAgainstEveryOfficialOrder) {
  const auto orders = all_orders();
  ASSERT_EQ(orders.size(), 24u);
  for (int cuts : {0, 111, 253, 412, 905, 999}) {
    const int top = cuts / 100, middle = cuts / 10 % 10, bottom = cuts % 10;
    for (const auto& official : orders) {
      const int o = as_placing(official);
      EXPECT_EQ(score_placing(o, o, cuts), 50) << o << " cuts " << cuts;
      const std::array<int, 4> reversed = {official[3], official[2], official[1], official[0]};
      EXPECT_EQ(score_placing(as_placing(reversed), o, cuts),
                std::max(0, 50 - (3 * top + 4 * middle + 3 * bottom)))
          << o << " cuts " << cuts;
      for (const auto& contestant : orders) {
        const int score = score_placing(as_placing(contestant), o, cuts);
        ASSERT_GE(score, 0);
        ASSERT_LE(score, 50);
        ASSERT_EQ(score, reference_score(contestant, official, cuts))
            << "official " << o << " cuts " << cuts << " contestant " << as_placing(contestant);
      }
    }
  }
}

}  // namespace

TEST(ScorePlacing, NegativeCutsNeverLiftAScorePast50) {
  EXPECT_EQ(score_placing(4321, 1234, -999), 50);
  EXPECT_EQ(score_placing(2134, 1234, -100), 50);
}
