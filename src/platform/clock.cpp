#include "platform/clock.h"

#include <cstdio>
#include <ctime>

namespace numtrail {
namespace {

std::u16string FormatNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::u16string(buffer, buffer + n);  // ASCII only
}

}  // namespace

std::u16string SystemClock::DateText() const { return FormatNow("%Y-%m-%d"); }
std::u16string SystemClock::TimeText() const { return FormatNow("%H:%M:%S"); }

}  // namespace numtrail
