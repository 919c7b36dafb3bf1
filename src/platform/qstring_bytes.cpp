#include "platform/qstring_bytes.h"

#include "platform/codepage.h"

namespace numtrail {

QByteArray ToAnsi(const QString& text) {
    const std::string bytes = StringToAnsiBytes(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString FromAnsi(const QByteArray& bytes) {
    return QString::fromStdU16String(
        AnsiBytesToString(std::string_view(bytes.constData(), bytes.size())));
}

}  // namespace numtrail
