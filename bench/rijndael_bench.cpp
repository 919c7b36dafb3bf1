// cRijndael against OpenSSL's AES-ECB on 16 KiB buffers, measured in the same process.
// Run through bench/rijndael.sh, which switches OpenSSL's AES-NI path off so that both
// sides are table or vector-permutation software implementations.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "crypto/rijndael.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBufferBytes = 16 * 1024;

class SilentNotifier final : public numtrail::Notifier {
  public:
    void Notify(std::u16string_view, numtrail::NoticeStyle) override {}
};

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + seed);
    return bytes;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBufferBytes);
}

void BM_RijndaelArrayEncrypt(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    SilentNotifier notifier;
    numtrail::cRijndael aes(notifier);
    aes.SetCipherKey(Pattern(32, 1), bits);
    const Bytes plain = Pattern(kBufferBytes, 2);
    Bytes cipher;
    for (auto _ : state) {
        aes.ArrayEncrypt(plain, cipher, 0);
        benchmark::DoNotOptimize(cipher.data());
    }
    SetBytes(state);
}

void BM_RijndaelArrayDecrypt(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    SilentNotifier notifier;
    numtrail::cRijndael aes(notifier);
    aes.SetCipherKey(Pattern(32, 1), bits);
    const Bytes cipher = Pattern(kBufferBytes, 3);
    Bytes plain;
    for (auto _ : state) {
        aes.ArrayDecrypt(plain, cipher, 0);
        benchmark::DoNotOptimize(plain.data());
    }
    SetBytes(state);
}

// Block by block through the public single-block call, in place.
void BM_RijndaelBlockEncrypt(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    SilentNotifier notifier;
    numtrail::cRijndael aes(notifier);
    aes.SetCipherKey(Pattern(32, 1), bits);
    Bytes buffer = Pattern(kBufferBytes, 2);
    for (auto _ : state) {
        for (std::int32_t f = 0; f < static_cast<std::int32_t>(kBufferBytes); f += 16)
            aes.BlockEncrypt(buffer, buffer, f, f);
        benchmark::DoNotOptimize(buffer.data());
    }
    SetBytes(state);
}

const EVP_CIPHER* EcbCipher(int bits) {
    return bits == 128 ? EVP_aes_128_ecb() : bits == 192 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
}

void OpenSslEcb(benchmark::State& state, int encrypt) {
    const int bits = static_cast<int>(state.range(0));
    const Bytes key = Pattern(32, 1);
    const Bytes in = Pattern(kBufferBytes, 2);
    Bytes out(kBufferBytes + 16);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EcbCipher(bits), nullptr, key.data(), nullptr, encrypt);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int len = 0;
        EVP_CipherUpdate(ctx, out.data(), &len, in.data(), static_cast<int>(kBufferBytes));
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    SetBytes(state);
}

void BM_OpenSslEcbEncrypt(benchmark::State& state) { OpenSslEcb(state, 1); }
void BM_OpenSslEcbDecrypt(benchmark::State& state) { OpenSslEcb(state, 0); }

}  // namespace

BENCHMARK(BM_RijndaelArrayEncrypt)->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_OpenSslEcbEncrypt)->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_RijndaelArrayDecrypt)->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_OpenSslEcbDecrypt)->Arg(128)->Arg(192)->Arg(256);
BENCHMARK(BM_RijndaelBlockEncrypt)->Arg(128)->Arg(192)->Arg(256);

BENCHMARK_MAIN();
