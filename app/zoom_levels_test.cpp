#include "app/zoom_levels.h"

#include <gtest/gtest.h>

TEST(NextZoomLevel, Steps) {
  struct Case {
    double current;
    int direction;
    double expected;
  } cases[] = {
      {1.0, 1, 1.1},  {1.0, -1, 0.9},       {1.0, 0, 1.0},
      {3.0, 0, 1.0},  {1.1000001, 1, 1.25},  // read-back noise stays on its step
      {1.2, 1, 1.25}, {1.2, -1, 1.1},        // between steps
      {5.0, 1, 5.0},  {0.25, -1, 0.25},      // ends
      {7.0, 1, 7.0},  {7.0, -1, 5.0},        // beyond the ends
      {0.1, -1, 0.1}, {0.1, 1, 0.25},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(next_zoom_level(c.current, c.direction), c.expected)
        << c.current << " " << c.direction;
}
