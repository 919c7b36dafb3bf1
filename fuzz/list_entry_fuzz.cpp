// Number list files and typed entries: choosing the encoding, cutting lines, cleaning each.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Every line, empty ones included, with the text given in two pieces cut at `split`.
std::vector<std::string> CutLines(std::string_view bytes, std::size_t split) {
    numtrail::ListEncodingScan scan;
    scan.Add(bytes.substr(0, split));
    scan.Add(bytes.substr(split));
    const numtrail::ListEncodingChoice choice = scan.Choice();
    const numtrail::ListEncodingChoice whole = numtrail::ChooseListEncoding(bytes);
    if (choice.encoding != whole.encoding || choice.bom_size != whole.bom_size) __builtin_trap();
    numtrail::ListLineCutter cutter(choice);
    std::vector<std::string> lines;
    const auto keep = [&lines](std::string_view line) { lines.emplace_back(line); };
    cutter.Add(bytes.substr(0, split), keep);
    cutter.Add(bytes.substr(split), keep);
    cutter.Finish(keep);
    return lines;
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
    // Read in pieces, the file gives the same lines wherever the pieces end.
    if (size != 0 && CutLines(bytes, 0) != CutLines(bytes, data[0] % size)) __builtin_trap();
    return 0;
}
