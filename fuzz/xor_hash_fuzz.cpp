// The XOR-hash cipher's hexadecimal text and decryption.
#include <cstddef>
#include <cstdint>

#include "crypto/encrypt_decrypt.h"
#include "crypto/rnd_xor_hash.h"
#include "fuzz/crypto_fuzz_support.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace {
class FixedClock final : public numtrail::Clock {
  public:
    std::u16string DateText() const override { return u"2026-12-08"; }
    std::u16string TimeText() const override { return u"09:30:00"; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string hex = AsText(data, size);
    const std::u16string text = numtrail::MEncryptDecrypt::HexToString(hex);
    if (numtrail::MEncryptDecrypt::HexToString(numtrail::MEncryptDecrypt::StringToHex(text)) !=
        text)
        __builtin_trap();

    SilentNotifier notifier;
    FixedClock clock;
    numtrail::ProcessRandom random;
    numtrail::CRndXorHash cipher(random, clock, notifier);
    if (size > 0 && data[0] < 8) cipher.keySize(static_cast<std::int16_t>(data[0] * 3 - 2));
    cipher.StringDecrypt(hex, u"pw");
    return 0;
}
