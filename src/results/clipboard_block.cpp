#include "results/clipboard_block.h"

namespace numtrail {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Where the data comes from, and where to find help: the project has no telephone line.
const QString kCreditLine =
    QStringLiteral("【数据来自Numtrail归属地服务 | 帮助：见程序目录下 help/forum.html】");

}  // namespace

QString ClipboardBlock(const attribution::Record& result) {
    const auto text = [](const std::string& value) { return QString::fromStdString(value); };
    // The labels are padded with ideographic spaces (U+3000) and blanks so that their colons
    // line up in a Chinese font; people's scripts read them, so they stay exactly so.
    return QStringLiteral("手机号码:") + text(result.number) + kCrLf +  //
           QStringLiteral("所属省份:") + text(result.province) + kCrLf +
           QStringLiteral("所属城市:") + text(result.city) + kCrLf +
           QStringLiteral("区\u3000\u3000号:") + text(result.area_code) + kCrLf +
           QStringLiteral("邮\u3000\u3000编:") + text(result.postcode) + kCrLf +
           QStringLiteral("卡 类 型:") + text(result.card_type) + kCrLf +  //
           QStringLiteral(" ") + kCrLf + kCreditLine;
}

}  // namespace numtrail
