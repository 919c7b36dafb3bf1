// Throughput of CMD5Encrypt and CBase64EnDeCode against OpenSSL, measured in the same run.
// bench/digest.sh prints the ratios.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/md5.h"

namespace {

constexpr std::size_t kFileSize = std::size_t{64} << 20;
constexpr std::size_t kTextBytes = 32000;

std::vector<std::uint8_t> PatternBytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t seed = 12345;
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    return bytes;
}

// One 64 MiB file for the whole run, in memory as well as on disk (where the first read
// brings it into the page cache, so the timed runs measure the digest, not the disk).
struct BigFile {
    std::vector<std::uint8_t> bytes = PatternBytes(kFileSize);
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("numtrail-digest-bench-" + std::to_string(::getpid()) + ".bin");
    BigFile() {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~BigFile() { std::filesystem::remove(path); }
};

const BigFile& File() {
    static const BigFile file;
    return file;
}

void Md5FileNumtrail(benchmark::State& state) {
    const auto& file = File();
    numtrail::CMD5Encrypt md5;
    for (auto _ : state) benchmark::DoNotOptimize(md5.DigestFileToHexStr(file.path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(Md5FileNumtrail)->Unit(benchmark::kMillisecond);

void Md5MemoryOpenSsl(benchmark::State& state) {
    const auto& file = File();
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(file.bytes.data(), file.bytes.size(), md, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(md);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(Md5MemoryOpenSsl)->Unit(benchmark::kMillisecond);

// The same digest over the bytes in memory, to separate the compression from the reading.
void Md5MemoryNumtrail(benchmark::State& state) {
    const auto& file = File();
    numtrail::CMD5Encrypt md5;
    for (auto _ : state) {
        md5.MD5Init();
        for (std::size_t at = 0; at < file.bytes.size(); at += 32767) {
            const auto n = std::min<std::size_t>(32767, file.bytes.size() - at);
            md5.MD5Update(static_cast<std::int32_t>(n), std::span(file.bytes).subspan(at));
        }
        md5.MD5Final();
        benchmark::DoNotOptimize(md5.GetValues());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(Md5MemoryNumtrail)->Unit(benchmark::kMillisecond);

std::u16string AsciiText() {
    std::u16string text;
    const auto bytes = PatternBytes(kTextBytes);
    for (const auto b : bytes) text += static_cast<char16_t>(0x20 + b % 95);  // printable
    return text;
}

std::u16string ChineseText() {  // 16,000 characters of two code page bytes each
    std::u16string text;
    const auto bytes = PatternBytes(kTextBytes / 2);
    for (const auto b : bytes) text += static_cast<char16_t>(u'一' + b);
    return text;
}

void Base64TextNumtrail(benchmark::State& state, const std::u16string& text) {
    const numtrail::CBase64EnDeCode codec;
    for (auto _ : state) benchmark::DoNotOptimize(codec.Base64StringEncode(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTextBytes));
}

void Base64AsciiNumtrail(benchmark::State& state) { Base64TextNumtrail(state, AsciiText()); }
BENCHMARK(Base64AsciiNumtrail);

void Base64ChineseNumtrail(benchmark::State& state) { Base64TextNumtrail(state, ChineseText()); }
BENCHMARK(Base64ChineseNumtrail);

void Base64OpenSsl(benchmark::State& state) {
    const auto bytes = PatternBytes(kTextBytes);
    std::vector<unsigned char> out(4 * ((kTextBytes + 2) / 3) + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EVP_EncodeBlock(out.data(), bytes.data(), static_cast<int>(bytes.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTextBytes));
}
BENCHMARK(Base64OpenSsl);

}  // namespace

BENCHMARK_MAIN();
