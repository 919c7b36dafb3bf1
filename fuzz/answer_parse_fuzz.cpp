// Service answers: the key-pattern parse into the lookup slots.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "lookup/get_body.h"
#include "lookup/lookup_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& answer : {numtrail::DecodeBody(bytes, "text/javascript"),
                                  numtrail::DecodeBody(bytes, "text/javascript; charset=gbk")}) {
        const auto fields = numtrail::ParseAnswer(answer);
        for (int k = 0; k < 5; ++k) {
            // A value is the start of the text after its pattern and holds no double quote.
            const QString& after = fields[static_cast<std::size_t>(2 * k)];
            const QString& value = fields[static_cast<std::size_t>(2 * k + 1)];
            if (!after.startsWith(value) || value.contains(QLatin1Char('"'))) __builtin_trap();
        }
        numtrail::IsRateLimited(answer);
        numtrail::CheckNumber(answer.left(16));
    }
    return 0;
}
