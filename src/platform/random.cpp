#include "platform/random.h"

#include <bit>

namespace numtrail {
namespace {

constexpr std::uint64_t kStartState = 0x2545F4914F6CDD1DULL;
constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
constexpr std::uint64_t kIncrement = 1442695040888963407ULL;

std::uint64_t SplitMix64(std::uint64_t z) {
    z += 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

ProcessRandom::ProcessRandom() : state_(kStartState) {}

float ProcessRandom::NextRandom() {
    const std::uint64_t old = state_;
    state_ = old * kMultiplier + kIncrement;
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18) ^ old) >> 27);
    const auto rot = static_cast<std::uint32_t>(old >> 59);
    const std::uint32_t out = std::rotr(xorshifted, static_cast<int>(rot));
    last_ = static_cast<float>(out >> 8) * (1.0f / 16777216.0f);
    return last_;
}

float ProcessRandom::NextRandom(float v) {
    if (v < 0.0f) {
        state_ = SplitMix64(std::bit_cast<std::uint32_t>(v));
        return NextRandom();
    }
    if (v == 0.0f) return last_;
    return NextRandom();
}

void ProcessRandom::MixSeed(double n) {
    // +0.0 and -0.0 are the same number and must give the same state.
    if (n == 0.0) n = 0.0;
    state_ = SplitMix64(state_ ^ SplitMix64(std::bit_cast<std::uint64_t>(n)));
}

}  // namespace numtrail
