#include "results/number_list.h"

#include "platform/qstring_bytes.h"

namespace numtrail {
namespace {

bool IsAscii(const char* begin, const char* end) {
    for (const char* p = begin; p != end; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    return true;
}

}  // namespace

QStringList SplitNumberList(const QByteArray& bytes) {
    // CR and LF are single bytes in code page 936 and never the second byte of a
    // character, so the lines can be cut before decoding. Lines of plain ASCII, which a
    // list of numbers is made of, skip the converter.
    QStringList entries;
    const char* const end = bytes.constData() + bytes.size();
    const char* line = bytes.constData();
    for (const char* p = line;; ++p) {
        if (p != end && *p != '\r' && *p != '\n') continue;
        if (p != line) {
            entries << (IsAscii(line, p) ? QString::fromLatin1(line, p - line)
                                         : FromAnsi(QByteArray::fromRawData(line, p - line)));
        }
        if (p == end) break;
        if (*p == '\r' && p + 1 != end && p[1] == '\n') ++p;
        line = p + 1;
    }
    return entries;
}

}  // namespace numtrail
