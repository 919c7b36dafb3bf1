// ArrayDecrypt of any bytes under a key taken from the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "crypto/rijndael.h"
#include "fuzz/crypto_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 33) return 0;
    SilentNotifier notifier;
    numtrail::cRijndael cipher(notifier);
    const int bits[3] = {128, 192, 256};
    cipher.SetCipherKey(std::vector<std::uint8_t>(data + 1, data + 33), bits[data[0] % 3]);
    const std::vector<std::uint8_t> ciphertext(data + 33, data + size);
    std::vector<std::uint8_t> plaintext;
    cipher.ArrayDecrypt(plaintext, ciphertext, data[0] & 0x80);
    if (plaintext.size() > ciphertext.size() + 16) __builtin_trap();
    // What decrypts in the length-byte layout encrypts back to the same ciphertext.
    std::vector<std::uint8_t> again;
    if (!ciphertext.empty() && ciphertext.size() % 16 == 0 && (data[0] & 0x80) == 0) {
        cipher.ArrayEncrypt(plaintext, again, 0);
        if (again != ciphertext) __builtin_trap();
    }
    return 0;
}
