// Number list files and typed entries: choosing the encoding, cutting lines, cleaning each.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "numbers/entry_cleaning.h"
#include "numbers/list_text.h"

namespace {

bool HasAsciiDigit(std::string_view text) {
    return text.find_first_of("0123456789") != std::string_view::npos;
}

void Check(std::string_view text) {
    const numtrail::CleanedEntry entry = numtrail::CleanEntry(text);
    switch (entry.kind) {
        case numtrail::EntryKind::Number: {
            const std::string_view n = entry.Number();
            if (n[0] != '1' || n.find_first_not_of("0123456789") != std::string_view::npos)
                __builtin_trap();
            // A number cleans to itself.
            const numtrail::CleanedEntry again = numtrail::CleanEntry(n);
            if (again.kind != numtrail::EntryKind::Number || again.Number() != n) __builtin_trap();
            break;
        }
        case numtrail::EntryKind::NoDigits:
            if (HasAsciiDigit(text)) __builtin_trap();
            break;
        case numtrail::EntryKind::AsItStood:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    std::size_t total = 0;
    numtrail::ForEachListLine(bytes, [&total](std::string_view line) {
        if (line.empty() || line.find_first_of("\r\n") != std::string_view::npos) __builtin_trap();
        total += line.size();
        Check(line);
    });
    // Decoding grows a byte to at most three (a code page 936 or UTF-16 unit to UTF-8).
    if (total > 3 * size) __builtin_trap();
    return 0;
}
