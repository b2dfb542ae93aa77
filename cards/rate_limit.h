// A per-source allowance: each source address may do `per_minute` of
// something in any minute, spent as it likes (a bucket of `per_minute`
// tokens, refilled evenly over a minute). Safe from several threads.
#pragma once
#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

class RateLimit {
 public:
  using Clock = std::chrono::steady_clock;

  // `per_minute` >= 1.
  explicit RateLimit(int per_minute);

  // True, and one token spent, when `source` has one left at `now`; false
  // (nothing spent) otherwise. `now` never goes backwards between calls.
  bool allow(const std::string& source, Clock::time_point now = Clock::now());

  // Sources being tracked; a source whose bucket has filled up again is
  // forgotten, so this stays near the number of recently busy sources.
  size_t tracked_sources() const;

 private:
  struct Bucket {
    double tokens;
    Clock::time_point updated;
  };
  void forget_full_buckets(Clock::time_point now);

  const double capacity_;
  const double per_second_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
  Clock::time_point last_sweep_{};
};
