// Prefix tables as users bring them, made into data files: whatever the bytes, the file
// written reads back as written, the service would take it, and written again it is the same.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "attribution/data_file.h"
#include "attribution/data_file_writer.h"
#include "datatool/check.h"
#include "datatool/table_build.h"

using namespace numtrail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const datatool::PlaceNames places(attribution::CityTable::BuiltIn());
    datatool::TableBuilder builder(places, [](const std::string&) {});
    try {
        builder.AddTable("t", std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const datatool::TableError&) {
        return 0;
    }
    const std::string bytes = attribution::DataFileBytes(builder.Finish("2401"));
    const auto parsed = attribution::ParseDataFile(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!parsed.ok()) __builtin_trap();
    if (attribution::DataFileBytes(parsed.file) != bytes) __builtin_trap();
    if (datatool::CheckDataFile(bytes, places).Refused()) __builtin_trap();
    return 0;
}
