// The program's pseudo-random generator: one instance, shared by the word and the table
// exercises, seeded from the clock or, in tests and `lectorix-tool dict pick --seed`, by number.
#pragma once

#include <cstdint>
#include <random>

namespace lectorix {

class RandomGenerator {
  public:
    explicit RandomGenerator(std::uint64_t seed = 0) : engine_(seed) {}

    void Seed(std::uint64_t seed) { engine_.seed(seed); }
    // Seeds from the clock, so every run of the program draws differently.
    void SeedFromClock();

    // A uniform integer in 0 .. n - 1 (0 when n < 1). The same seed gives the same numbers on
    // every platform: the engine's output is fixed by the standard and the reduction is our own.
    std::int64_t Uniform(std::int64_t n);

  private:
    std::mt19937_64 engine_;
};

}  // namespace lectorix
