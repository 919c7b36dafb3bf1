#pragma once

#include <string>
#include <utility>

#include "platform/clock.h"

namespace numtrail::test {

// A clock that shows whatever date and time the test sets.
class FixedClock final : public Clock {
  public:
    FixedClock() = default;
    FixedClock(std::u16string date_text, std::u16string time_text)
        : date(std::move(date_text)), time(std::move(time_text)) {}

    std::u16string DateText() const override { return date; }
    std::u16string TimeText() const override { return time; }

    std::u16string date = u"2026-12-08";
    std::u16string time = u"09:30:00";
};

}  // namespace numtrail::test
