#pragma once

#include <string>

namespace numtrail {

// The current local date and time as text.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::u16string DateText() const = 0;  // "2026-12-08"
    virtual std::u16string TimeText() const = 0;  // "14:05:09"
};

class SystemClock final : public Clock {
  public:
    std::u16string DateText() const override;
    std::u16string TimeText() const override;
};

}  // namespace numtrail
