#include "datatool/commands.h"

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

std::string Counted(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace numtrail::datatool
