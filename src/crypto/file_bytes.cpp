#include "crypto/file_bytes.h"

#include <fstream>
#include <iterator>

#include "crypto/crypto_error.h"
#include "platform/atomic_file.h"

namespace numtrail {

std::string ReadFileBytes(const std::filesystem::path& path, std::uint64_t max_bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CryptoError(kErrFileNotFound, "File not found: " + path.string());
    std::error_code unknown_size;
    const std::uint64_t size = std::filesystem::file_size(path, unknown_size);
    if (!unknown_size && size > max_bytes)
        throw CryptoError(kErrOverflow, "File too large: " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw CryptoError(kErrFileIo, "Cannot read: " + path.string());
    return bytes;
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    AtomicFileWriter out(path);
    if (!out.Ok()) throw CryptoError(kErrFileNotFound, out.Error());
    if (!out.Write(bytes) || !out.Commit()) throw CryptoError(kErrFileIo, out.Error());
}

}  // namespace numtrail
