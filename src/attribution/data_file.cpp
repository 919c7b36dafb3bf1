#include "attribution/data_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "attribution/sanitize.h"

namespace numtrail::attribution {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 9;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

DataFileResult Fault(std::string text) {
    DataFileResult result;
    result.fault = std::move(text);
    return result;
}

// The longest record the cap allows: four fields and what follows them, each with its
// separator or the NUL.
constexpr std::size_t kMaxRecordBytes = 5 * (kMaxFieldBytes + 1);

enum class RecordFault { kNone, kFewFields, kLongField, kLongTail };

// Splits "province|city|postcode|areacode"; fields past the fourth are ignored, but held to
// the same cap together.
RecordFault SplitRecord(std::string_view text, Record& record) {
    std::string* fields[] = {&record.province, &record.city, &record.postcode, &record.area_code};
    std::size_t start = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        const std::size_t bar = text.find('|', start);
        const std::string_view field =
            text.substr(start, bar == std::string_view::npos ? text.npos : bar - start);
        if (field.size() > kMaxFieldBytes) return RecordFault::kLongField;
        if (bar == std::string_view::npos && k < 3) return RecordFault::kFewFields;
        *fields[k] = std::string(field);
        start = bar == std::string_view::npos ? text.size() : bar + 1;
    }
    return text.size() - start > kMaxFieldBytes ? RecordFault::kLongTail : RecordFault::kNone;
}

}  // namespace

DataFileResult ParseDataFile(std::span<const std::uint8_t> bytes) {
    const std::size_t size = bytes.size();
    if (size < kHeaderSize)
        return Fault("the file is shorter than its 8-byte header (" + std::to_string(size) +
                     " bytes)");
    const std::uint32_t index = ReadU32(bytes, 4);
    if (index < kHeaderSize)
        return Fault("the index offset " + std::to_string(index) + " points into the header");
    if (index > size)
        return Fault("the index offset " + std::to_string(index) +
                     " is past the end of the file (" + std::to_string(size) + " bytes)");
    if ((size - index) % kEntrySize != 0)
        return Fault("the index (" + std::to_string(size - index) +
                     " bytes) is not a whole number of 9-byte entries");

    DataFileResult result;
    DataFile& file = result.file;
    file.version = SanitizeValue(std::string_view(reinterpret_cast<const char*>(bytes.data()), 4));
    const std::size_t count = (size - index) / kEntrySize;
    file.entries.reserve(count);

    // Many prefixes share a record; parse each record once and each (record, card type) once.
    std::unordered_map<std::uint32_t, Record> parsed;
    std::unordered_map<std::uint64_t, std::uint32_t> interned;
    // Records must be UTF-8; the lowest offset of one that is not is reported once the rest
    // of the file has been checked.
    std::optional<std::uint32_t> first_bad_text;
    const std::string_view area(reinterpret_cast<const char*>(bytes.data()), index);

    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = index + i * kEntrySize;
        const std::uint32_t prefix = ReadU32(bytes, at);
        const std::uint32_t offset = ReadU32(bytes, at + 4);
        const std::uint8_t card = bytes[at + 8];
        const std::string entry =
            "index entry " + std::to_string(i) + " (prefix " + std::to_string(prefix) + ")";
        if (prefix < kFirstPrefix || prefix > kLastPrefix)
            return Fault(entry + ": the prefix is not between 1300000 and 1999999");
        if (offset < kHeaderSize || offset >= index)
            return Fault(entry + ": the record offset " + std::to_string(offset) +
                         " is outside the record area (8 to " + std::to_string(index) + ")");

        const std::uint64_t key = static_cast<std::uint64_t>(offset) << 8 | card;
        auto found = interned.find(key);
        if (found == interned.end()) {
            auto record = parsed.find(offset);
            if (record == parsed.end()) {
                // The NUL is looked for no further than the longest record allowed.
                const std::string_view rest = area.substr(offset, kMaxRecordBytes);
                const std::size_t length = rest.find('\0');
                const std::string at_offset = "the record at offset " + std::to_string(offset);
                if (length == std::string_view::npos && offset + rest.size() == index)
                    return Fault(at_offset + " has no terminating NUL before the index");
                // Without a NUL the longest record allowed is split as it stands: a field or
                // the tail past the fourth is then too long.
                const std::string_view text = rest.substr(0, length);
                Record fields;
                const std::string cap = std::to_string(kMaxFieldBytes) + " bytes";
                switch (SplitRecord(text, fields)) {
                    case RecordFault::kLongField:
                        return Fault(at_offset + " has a field longer than " + cap);
                    case RecordFault::kLongTail:
                        return Fault(at_offset + " has more than " + cap +
                                     " past its fourth field");
                    case RecordFault::kFewFields:
                        return Fault(at_offset + " has fewer than four fields");
                    case RecordFault::kNone:
                        break;
                }
                if (FirstInvalidUtf8(text) != std::string_view::npos &&
                    (!first_bad_text || offset < *first_bad_text))
                    first_bad_text = offset;
                record = parsed.emplace(offset, std::move(fields)).first;
            }
            Record typed = record->second;
            typed.card_type = std::string(CardTypeText(card));
            found = interned.emplace(key, static_cast<std::uint32_t>(file.records.size())).first;
            file.records.push_back(std::move(typed));
        }
        file.entries.push_back({prefix, found->second});
    }
    if (first_bad_text)
        return Fault("the record at offset " + std::to_string(*first_bad_text) +
                     " is not valid UTF-8 (records must be UTF-8 text; convert the file)");
    return result;
}

DataFile LoadDataFile(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw DataFileError("cannot read the data file " + path.string() + ": it is a directory");
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw DataFileError("cannot read the data file " + path.string() + ": " +
                            std::strerror(errno));
    const std::streamoff size = in.tellg();
    std::vector<std::uint8_t> bytes(size > 0 ? static_cast<std::size_t>(size) : 0);
    in.seekg(0);
    if (size < 0 || !in.read(reinterpret_cast<char*>(bytes.data()), size))
        throw DataFileError("cannot read the data file " + path.string());
    DataFileResult result = ParseDataFile(bytes);
    if (!result.ok())
        throw DataFileError("damaged data file " + path.string() + ": " + result.fault);
    return std::move(result.file);
}

std::filesystem::path UserFile(const char* xdg_variable, const std::filesystem::path& below_home,
                               const char* name) {
    std::filesystem::path base;
    const char* xdg_home = std::getenv(xdg_variable);
    if (xdg_home != nullptr && std::filesystem::path(xdg_home).is_absolute()) {
        base = xdg_home;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = std::filesystem::path(home) / below_home;
    } else {
        return {};
    }
    return base / "Numtrail" / name;
}

std::filesystem::path DefaultDataFilePath() {
    return UserFile("XDG_DATA_HOME", ".local/share", "phone.dat");
}

std::optional<std::filesystem::path> DefaultDataFile() {
    std::filesystem::path path = DefaultDataFilePath();
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) return std::nullopt;
    return path;
}

}  // namespace numtrail::attribution
