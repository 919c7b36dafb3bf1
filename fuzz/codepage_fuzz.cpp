// Code page 936: decoding any bytes and encoding the result back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = numtrail::AnsiBytesToString(bytes);
    if (text.size() > bytes.size()) __builtin_trap();
    const std::string again = numtrail::StringToAnsiBytes(text);
    // Text that decoded cleanly comes back as the same text.
    if (text.find(u'\uFFFD') == std::u16string::npos &&
        text.find(u'\u001A') == std::u16string::npos && numtrail::AnsiBytesToString(again) != text)
        __builtin_trap();
    // Any UTF-16 text (the input read as code units) encodes without failing.
    const std::u16string units(reinterpret_cast<const char16_t*>(data), size / 2);
    numtrail::StringToAnsiBytes(units);
    return 0;
}
