#include "scoring/placing_score.h"

namespace {

struct Positions {
  int p[4];
};

// The first position is the whole quotient, not a digit: an over-long value
// keeps its leading digits together instead of wrapping round.
Positions split_placing(int placing) {
  return {{placing / 1000, (placing / 100) % 10, (placing / 10) % 10, placing % 10}};
}

// True when some contestant position i before j holds x at i and y at j.
bool placed_above(const Positions& c, int x, int y) {
  static const int kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
  for (const auto& pair : kPairs)
    if (c.p[pair[0]] == x && c.p[pair[1]] == y) return true;
  return false;
}

}  // namespace

int score_placing(int contestant_placing, int official_placing, int cuts) {
  if (contestant_placing == 0) return 0;
  const Positions c = split_placing(contestant_placing);
  const Positions o = split_placing(official_placing);
  const int top = cuts / 100, middle = (cuts / 10) % 10, bottom = cuts % 10;

  // Official pair (higher, lower) and the cuts that lie between them.
  const struct {
    int higher, lower, penalty;
  } pairs[6] = {
      {0, 1, top},           {0, 2, top + middle}, {0, 3, top + middle + bottom},
      {1, 2, middle},        {1, 3, middle + bottom}, {2, 3, bottom},
  };

  int score = 50;
  for (const auto& pair : pairs)
    if (placed_above(c, o.p[pair.lower], o.p[pair.higher])) score -= pair.penalty;
  // Negative cuts (never admitted by the pages) must not lift a score past 50.
  if (score > 50) return 50;
  return score > 0 ? score : 0;
}
