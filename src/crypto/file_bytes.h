#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace numtrail {

// Whole-file reads and writes for the cipher and digest classes. Both raise CryptoError:
// kErrFileNotFound when the file cannot be opened, kErrFileIo when reading or writing fails
// part-way.
//
// A file larger than max_bytes is refused with kErrOverflow before anything is read.
std::string ReadFileBytes(const std::filesystem::path& path,
                          std::uint64_t max_bytes = std::numeric_limits<std::uint64_t>::max());
// The file is replaced only once the new content is complete (AtomicFileWriter): after a
// failure it holds what it held before.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace numtrail
