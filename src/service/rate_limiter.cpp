#include "service/rate_limiter.h"

namespace numtrail::service {

bool RateLimiter::Admit(Clock::time_point now) {
    if (limit_ <= 0) return true;
    std::lock_guard lock(mutex_);
    if (count_ == 0 || now - window_start_ >= std::chrono::seconds(1) || now < window_start_) {
        window_start_ = now;
        count_ = 0;
    }
    return ++count_ <= limit_;
}

}  // namespace numtrail::service
