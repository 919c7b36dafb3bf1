// Base64 decoding of any text, and encoding of what it gives.
#include <cstddef>
#include <cstdint>

#include "crypto/base64.h"
#include "fuzz/crypto_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    numtrail::CBase64EnDeCode codec;
    const std::u16string decoded = codec.Base64StringDecode(AsText(data, size));
    codec.Base64StringEncode(decoded);
    return 0;
}
