#include "app/window_geometry.h"

#include <gtest/gtest.h>

TEST(ScaledWindowSize, FollowsTheResolution) {
  struct Case {
    int dpi, width, height;
  } cases[] = {
      {96, 1040, 640},       {120, 1300, 800}, {144, 1560, 960},
      {192, 2080, 1280},     {100, 1083, 666},  // remainders dropped
      {0, 1040, 640},        {-1, 1040, 640},   // unknown resolution
      {100000, 10400, 6400},                    // capped
  };
  for (const Case& c : cases) {
    WindowSize size = scaled_window_size(c.dpi);
    EXPECT_EQ(size.width, c.width) << c.dpi;
    EXPECT_EQ(size.height, c.height) << c.dpi;
  }
}
