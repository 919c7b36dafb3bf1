#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace numtrail::test {

// Published test vectors kept in tests/data. Format: '#' starts a comment line (the first
// lines name the source), records are separated by blank lines, each line of a record is
// "NAME = VALUE". A value in double quotes is taken without the quotes, exactly.
using VectorRecord = std::map<std::string, std::string>;

std::vector<VectorRecord> LoadVectors(const std::string& file_name);  // name under tests/data

std::vector<std::uint8_t> HexToBytesForTest(const std::string& hex);
std::string BytesToHexForTest(const std::vector<std::uint8_t>& bytes);  // lower case

}  // namespace numtrail::test
