#include "tables/export_line.h"

namespace numtrail::tables {
namespace {

constexpr std::int32_t kNumberFieldWidth = 8;
constexpr std::string_view kFieldSeparator = "   ";

// Without leading and trailing blanks (0x20, which is never part of a two-byte character).
std::string_view TrimBlanks(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

}  // namespace

std::size_t FixedLengthFill(std::size_t width, std::int32_t fixed_length) {
    if (width == 0 || fixed_length <= 0 || width >= static_cast<std::size_t>(fixed_length))
        return 0;
    return static_cast<std::size_t>(fixed_length) - width;
}

void AppendExportLine(std::string& out, std::span<const std::string_view> cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c > 0) {
            out += kFieldSeparator;
            out += cells[c];
            continue;
        }
        const std::string_view number = TrimBlanks(cells[0]);
        out += number;
        out.append(FixedLengthFill(number.size(), kNumberFieldWidth), ' ');
    }
    out += "\r\n";
}

}  // namespace numtrail::tables
