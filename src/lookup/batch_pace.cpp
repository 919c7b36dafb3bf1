#include "lookup/batch_pace.h"

namespace numtrail {

int SpeedIntervalMs(int index) {
    if (index < 0 || index >= kSpeedEntryCount) return 1000;
    return index < 9 ? (index + 1) * 100 : (index - 8) * 1000;
}

QString SpeedMessage(const QString& entry_text) {
    return QStringLiteral("当前速度为每") + entry_text + QStringLiteral("秒/次");
}

}  // namespace numtrail
