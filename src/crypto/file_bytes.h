#pragma once

#include <filesystem>
#include <string>

namespace numtrail {

// Whole-file reads and writes for the cipher and digest classes. Both raise CryptoError:
// kErrFileNotFound when the file cannot be opened, kErrFileIo when reading or writing
// fails part-way. Writing replaces the file's content from its first byte.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace numtrail
