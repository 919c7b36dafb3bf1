#include "datatool/commands.h"

#include <algorithm>
#include <ctime>

#include "attribution/data_file_writer.h"

namespace numtrail::datatool {
namespace {

bool IsDataVersion(std::string_view text) {
    if (text.empty() || text.size() > attribution::kDataFileVersionBytes) return false;
    for (const char c : text)
        if (c < 0x21 || c > 0x7E) return false;
    return true;
}

}  // namespace

const PlaceNames& BuiltInPlaces() {
    static const PlaceNames places(attribution::CityTable::BuiltIn());
    return places;
}

void AddDataVersionOption(CLI::App& command, std::string& version) {
    command
        .add_option("--data-version", version,
                    "the file's version, one to four characters (default: the tables' own, "
                    "else the year and month, 2406)")
        ->type_name("TEXT")
        ->check(
            [](const std::string& text) {
                return IsDataVersion(text) ? std::string()
                                           : "'" + text + "' is not 1 to 4 printable characters";
            },
            "");
}

std::string ChooseDataVersion(const std::string& given, const std::string& fallback) {
    if (!given.empty()) return given;
    if (IsDataVersion(fallback)) return fallback;
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[8] = {};
    std::strftime(text, sizeof text, "%y%m", &parts);
    return text;
}

std::string Wrapped(std::string_view text) {
    constexpr std::size_t kColumns = 90;
    const auto width = [](std::string_view word) {
        std::size_t columns = 0;
        for (const char c : word) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80)
                ++columns;
            else if (byte >= 0xC0)
                columns += 2;  // a lead byte: wide in a terminal
        }
        return columns;
    };
    std::string out;
    std::size_t column = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \n", start), text.size());
        const std::string_view word = text.substr(start, end - start);
        const std::size_t w = width(word);
        if (column > 0 && column + 1 + w > kColumns) {
            out += '\n';
            column = 0;
        } else if (column > 0) {
            out += ' ';
            ++column;
        }
        out += word;
        column += w;
        if (end < text.size() && text[end] == '\n') {
            out += '\n';
            column = 0;
        }
        start = end + 1;
    }
    return out;
}

std::string Counted(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace numtrail::datatool
