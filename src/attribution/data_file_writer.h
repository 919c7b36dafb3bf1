#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "attribution/data_file.h"

namespace numtrail::attribution {

// The data file's version is four bytes; a shorter text is padded with NULs, which the reader
// drops again.
inline constexpr std::size_t kDataFileVersionBytes = 4;

// The card-type byte that CardTypeText turns into `text`; 0 (no card type) for the empty text
// and for a text that names none.
std::uint8_t CardTypeCode(std::string_view text);

// Why a record cannot be written into a data file (a field holds the separator '|' or a NUL,
// or is longer than kMaxFieldBytes), or empty.
std::string RecordFieldProblem(const Record& record);

// The bytes of a data file holding what `file` answers, in one canonical form: one index
// entry per prefix, in ascending order (of several entries for one prefix the last wins, as
// the readers take them), and each distinct record text stored once, in the order the
// prefixes first use it. So two files that answer alike are alike byte for byte, and writing
// what a file reads back gives the same bytes. Throws DataFileError when a record cannot be
// written (see RecordFieldProblem) or the version is longer than four bytes; entries outside
// kFirstPrefix..kLastPrefix or naming no record are dropped, as the readers drop them.
std::string DataFileBytes(const DataFile& file);

}  // namespace numtrail::attribution
