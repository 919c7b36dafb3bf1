#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/data_file.h"

namespace numtrail::datatool {

// How a file argument is named in messages: "standard input" for "-".
std::string Shown(const std::string& argument);

// The bytes of a file argument, standard input for "-". Throws std::runtime_error naming it.
std::string ReadInput(const std::string& argument);

// A data file argument, read and checked as the service reads it at start. Throws
// attribution::DataFileError naming it and what is wrong.
attribution::DataFile ReadDataFile(const std::string& argument);

// Puts the bytes where an output argument says: standard output for "-", a device or pipe
// written into, otherwise a file replaced whole or not at all. Throws std::runtime_error
// naming it.
void WriteOutput(const std::string& argument, std::string_view bytes);

// Which record answers each prefix from kFirstPrefix on (kNoAnswer for none): the last entry
// of a prefix, as the service takes it.
inline constexpr std::uint32_t kNoAnswer = std::numeric_limits<std::uint32_t>::max();
std::vector<std::uint32_t> AnswerOfEachPrefix(const attribution::DataFile& file);

}  // namespace numtrail::datatool
