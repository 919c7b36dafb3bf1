// Number list files: any bytes read into entries, as the import reads them.
#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <cstdint>

#include "results/number_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList entries = numtrail::ReadNumberList(bytes).entries.ToList();
    for (const QString& entry : entries)
        if (entry.isEmpty() || entry.contains(QLatin1Char('\r')) ||
            entry.contains(QLatin1Char('\n')))
            __builtin_trap();
    if (entries.size() > bytes.size()) __builtin_trap();
    return 0;
}
