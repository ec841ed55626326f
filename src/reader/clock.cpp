#include "reader/clock.h"

#include <chrono>

namespace lectorix {

double SteadyClock::Now() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(since).count() / 86400000.0;
}

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace lectorix
