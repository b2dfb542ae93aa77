#include "cards/rate_limit.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::seconds;

TEST(RateLimit, ThirtyAMinutePerSourceRefilledEvenly) {
  RateLimit limit(30);
  RateLimit::Clock::time_point t0{};
  t0 += std::chrono::hours(1);
  for (int i = 0; i < 30; ++i) ASSERT_TRUE(limit.allow("127.0.0.2", t0)) << i;
  EXPECT_FALSE(limit.allow("127.0.0.2", t0));
  EXPECT_TRUE(limit.allow("127.0.0.3", t0));  // another source has its own
  EXPECT_FALSE(limit.allow("127.0.0.2", t0 + seconds(1)));
  EXPECT_TRUE(limit.allow("127.0.0.2", t0 + seconds(2)));  // one every two seconds
  EXPECT_FALSE(limit.allow("127.0.0.2", t0 + seconds(2)));
  // Refusals spend nothing; a full minute refills to 30 and no more.
  int allowed = 0;
  while (limit.allow("127.0.0.2", t0 + seconds(200))) ++allowed;
  EXPECT_EQ(allowed, 30);
}

TEST(RateLimit, ForgetsSourcesThatAreQuietAgain) {
  RateLimit limit(30);
  RateLimit::Clock::time_point t0{};
  t0 += std::chrono::hours(1);
  for (int source = 0; source < 1000; ++source) limit.allow("10.0.0." + std::to_string(source), t0);
  EXPECT_EQ(limit.tracked_sources(), 1000u);
  limit.allow("127.0.0.2", t0 + seconds(61));
  EXPECT_EQ(limit.tracked_sources(), 1u);
}

}  // namespace
