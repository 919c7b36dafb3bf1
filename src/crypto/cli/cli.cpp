#include "crypto/cli/cli.h"

#include <iostream>

#include "platform/codepage.h"

namespace numtrail::cli {

void StderrNotifier::Notify(std::u16string_view text, NoticeStyle) {
    shown_ = true;
    std::cerr << Utf16ToUtf8(text) << '\n';
}

void PrintLine(std::u16string_view text) { std::cout << Utf16ToUtf8(text) << '\n'; }

}  // namespace numtrail::cli
