#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace numtrail::bench {

// splitmix64: the same sequence everywhere, unlike the standard distributions, so that the
// generated lists are the same lists on every machine.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
    bool OneIn(unsigned n) { return Below(n) == 0; }
    template <typename T, std::size_t N>
    const T& Pick(const std::array<T, N>& items) {
        return items[Below(N)];
    }
    std::string Digits(int n) {
        std::string d;
        for (int i = 0; i < n; ++i) d += static_cast<char>('0' + Below(10));
        return d;
    }
    int Between(int low, int high) { return low + static_cast<int>(Below(high - low + 1)); }

  private:
    std::uint64_t state_;
};

}  // namespace numtrail::bench
