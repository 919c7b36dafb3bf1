#pragma once

#include <QString>

namespace numtrail {

// The speed list of the batch runner holds 14 entries, in seconds per request: "0.1" to
// "0.9", then "1" to "5".
constexpr int kSpeedEntryCount = 14;

// The timer interval of a speed entry, by its index in the list: 100 ms for "0.1" up to
// 5000 ms for "5". An index outside the list gives 1000 ms, the start-up pace.
int SpeedIntervalMs(int index);

// "当前速度为每" + entry + "秒/次"
QString SpeedMessage(const QString& entry_text);

}  // namespace numtrail
