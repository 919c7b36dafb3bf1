// Hexadecimal text given to the Rijndael string decryption (HexToBytes and ArrayDecrypt).
#include <cstddef>
#include <cstdint>

#include "crypto/crypto_error.h"
#include "crypto/rijndael.h"
#include "fuzz/crypto_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilentNotifier notifier;
    numtrail::cRijndael cipher(notifier);
    cipher.StringDecrypt(AsText(data, size), u"password", 128, 128);
    cipher.StringDecrypt(AsText(data, size), u"密码", 128, 256);
    return 0;
}
