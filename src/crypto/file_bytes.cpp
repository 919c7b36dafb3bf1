#include "crypto/file_bytes.h"

#include <fstream>
#include <iterator>

#include "crypto/crypto_error.h"

namespace numtrail {

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CryptoError(kErrFileNotFound, "File not found: " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw CryptoError(kErrFileIo, "Cannot read: " + path.string());
    return bytes;
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw CryptoError(kErrFileNotFound, "Cannot open for writing: " + path.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw CryptoError(kErrFileIo, "Cannot write: " + path.string());
}

}  // namespace numtrail
