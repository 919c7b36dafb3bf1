#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "attribution/record.h"

namespace numtrail::attribution {

// A user's 7-digit prefix file, all integers little-endian:
//   bytes 0-3   version text
//   bytes 4-7   offset of the first index entry
//   8..index    records, each "province|city|postcode|areacode" in UTF-8 ended by a NUL
//   index..end  9-byte entries: prefix (u32), record offset from the file start (u32),
//               card-type byte (see CardTypeText)
struct DataFile {
    struct Entry {
        std::uint32_t prefix;
        std::uint32_t record;  // index into records
    };
    std::string version;
    std::vector<Record> records;  // one per distinct (record offset, card type)
    std::vector<Entry> entries;   // in file order
};

// The format's fields are short names and codes. A longer one is a damaged file, and without a
// cap every index entry pointing into one long record would parse a copy of it.
inline constexpr std::size_t kMaxFieldBytes = 256;

inline constexpr std::uint32_t kFirstPrefix = 1300000;
inline constexpr std::uint32_t kLastPrefix = 1999999;

// Parses and checks every offset and length, that every field (and what follows the fourth)
// holds at most kMaxFieldBytes, and that every record is UTF-8 text (a GBK file would serve
// garbled names). On a damaged file, `fault` says what is wrong (without the
// file name) and `file` is empty. Never reads outside `bytes`.
struct DataFileResult {
    DataFile file;
    std::string fault;
    bool ok() const { return fault.empty(); }
};
DataFileResult ParseDataFile(std::span<const std::uint8_t> bytes);

class DataFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads and parses a file; throws DataFileError naming the file and the fault.
DataFile LoadDataFile(const std::filesystem::path& path);

// Numtrail/`name` in the base directory that $`xdg_variable` names, or in ~/`below_home` when
// it is unset or not an absolute path; empty when neither variable gives a place.
std::filesystem::path UserFile(const char* xdg_variable, const std::filesystem::path& below_home,
                               const char* name);

// Where the programs look for a data file when none is given: Numtrail/phone.dat in
// $XDG_DATA_HOME, or in ~/.local/share when that is unset or not an absolute path. Empty
// when neither variable gives a place.
std::filesystem::path DefaultDataFilePath();

// DefaultDataFilePath() when something exists there (a damaged or unreadable file is then
// refused like one given on the command line), or nullopt.
std::optional<std::filesystem::path> DefaultDataFile();

}  // namespace numtrail::attribution
