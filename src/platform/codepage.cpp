#include "platform/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <memory>
#include <stdexcept>

namespace numtrail {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// A converter per call keeps the functions thread-safe (the attribution service runs
// on its own threads); opening one from ICU's cached table is cheap.
Converter OpenGbk() {
    UErrorCode status = U_ZERO_ERROR;
    Converter conv(ucnv_open("windows-936-2000", &status));
    if (U_FAILURE(status)) throw std::runtime_error("code page 936 converter unavailable");
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return conv;
}

}  // namespace

std::string StringToAnsiBytes(std::u16string_view text) {
    if (text.empty()) return {};
    Converter conv = OpenGbk();
    std::string out(text.size() * 2 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                                      text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) throw std::runtime_error("code page 936 encoding failed");
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::u16string AnsiBytesToString(std::string_view bytes) {
    if (bytes.empty()) return {};
    Converter conv = OpenGbk();
    std::u16string out(bytes.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) throw std::runtime_error("code page 936 decoding failed");
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::size_t AnsiByteLength(std::u16string_view text) { return StringToAnsiBytes(text).size(); }

std::u16string Utf8ToUtf16(std::string_view utf8) {
    if (utf8.empty()) return {};
    std::u16string out(utf8.size() + 1, u'\0');
    int32_t n = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) throw std::runtime_error("invalid UTF-8 text");
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    if (text.empty()) return {};
    std::string out(text.size() * 3 + 1, '\0');
    int32_t n = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) throw std::runtime_error("invalid UTF-16 text");
    out.resize(static_cast<std::size_t>(n));
    return out;
}

}  // namespace numtrail
