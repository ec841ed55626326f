#include "exercises/random_generator.h"

#include <chrono>

namespace lectorix {

void RandomGenerator::SeedFromClock() {
    Seed(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
}

std::int64_t RandomGenerator::Uniform(std::int64_t n) {
    if (n < 1) return 0;
    const auto un = static_cast<std::uint64_t>(n);
    // Draws below 2^64 mod n are thrown away, so every remainder is equally likely.
    const std::uint64_t threshold = (0 - un) % un;
    for (;;) {
        const std::uint64_t r = engine_();
        if (r >= threshold) return static_cast<std::int64_t>(r % un);
    }
}

}  // namespace lectorix
