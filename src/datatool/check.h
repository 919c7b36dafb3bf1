#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "datatool/places.h"

namespace numtrail::datatool {

struct Finding {
    bool refused = false;  // the service refuses the file at start for this
    std::string text;
};

struct CheckResult {
    std::vector<Finding> findings;  // those that refuse the file first
    std::size_t prefixes = 0;       // distinct prefixes the file answers
    std::size_t records = 0;        // distinct record texts
    bool Refused() const { return !findings.empty() && findings.front().refused; }
    std::size_t Errors() const;
};

// What is wrong with a data file, or doubtful: a structure the service refuses (offsets,
// lengths, records that are no UTF-8, fields over 256 bytes); and, kept as warnings, card-type
// bytes that name no carrier or another than the carriers' segments, prefixes outside the
// allocated segments, prefixes given twice, records with more than four fields, characters
// answers leave out, places not written as answers write them, cities the city table does
// not know, and area codes or postcodes that differ from the city table's. Prefix findings
// come as runs of neighbouring prefixes, record findings once per record text.
CheckResult CheckDataFile(std::string_view bytes, const PlaceNames& places);

}  // namespace numtrail::datatool
