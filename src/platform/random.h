#pragma once

#include <cstdint>

namespace numtrail {

// The one pseudo-random generator of the process. The number generator window and the
// XOR-hash cipher both draw from it, and the cipher's ciphertexts depend on every value
// it yields: the algorithm, the start state and the seeding below are frozen. Changing
// any of them makes existing ciphertexts undecryptable.
//
// Values are uniform single-precision numbers in [0, 1): the top 24 bits of a PCG-XSH-RR
// output scaled by 2^-24, which is exact in single precision and never rounds up to 1.
// The program owns one instance and hands it to whoever needs it; every instance starts
// from the same fixed state and is never seeded from the clock.
class ProcessRandom {
  public:
    ProcessRandom();

    // The next value of the current sequence.
    float NextRandom();

    // v < 0: restart from a state that depends on v alone and return its first value.
    // v == 0: return the most recently returned value again (0 before the first draw).
    // v > 0: the next value, as NextRandom().
    float NextRandom(float v);

    // A new state that depends only on the current state and n.
    void MixSeed(double n);

  private:
    std::uint64_t state_;
    float last_ = 0.0f;
};

}  // namespace numtrail
