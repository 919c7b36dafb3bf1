#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

namespace numtrail::service {

// Admits at most `limit` requests in each one-second window (0 = no limit). The windows are
// fixed, counted from the first request, which is how online services refuse a burst.
class RateLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    explicit RateLimiter(int limit) : limit_(limit) {}

    bool Admit(Clock::time_point now = Clock::now());

  private:
    const int limit_;
    std::mutex mutex_;
    Clock::time_point window_start_{};
    std::int64_t count_ = 0;
};

}  // namespace numtrail::service
