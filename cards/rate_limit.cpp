#include "cards/rate_limit.h"

#include <algorithm>

namespace {

double seconds_between(RateLimit::Clock::time_point from, RateLimit::Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

}  // namespace

RateLimit::RateLimit(int per_minute)
    : capacity_(per_minute), per_second_(per_minute / 60.0) {}

bool RateLimit::allow(const std::string& source, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (seconds_between(last_sweep_, now) >= 60) forget_full_buckets(now);
  auto [entry, fresh] = buckets_.try_emplace(source, Bucket{capacity_, now});
  Bucket& bucket = entry->second;
  if (!fresh) {
    double refill = std::max(0.0, seconds_between(bucket.updated, now)) * per_second_;
    bucket.tokens = std::min(capacity_, bucket.tokens + refill);
    bucket.updated = now;
  }
  if (bucket.tokens < 1) return false;
  bucket.tokens -= 1;
  return true;
}

size_t RateLimit::tracked_sources() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buckets_.size();
}

void RateLimit::forget_full_buckets(Clock::time_point now) {
  last_sweep_ = now;
  for (auto it = buckets_.begin(); it != buckets_.end();) {
    double tokens = it->second.tokens + seconds_between(it->second.updated, now) * per_second_;
    if (tokens >= capacity_)
      it = buckets_.erase(it);
    else
      ++it;
  }
}
