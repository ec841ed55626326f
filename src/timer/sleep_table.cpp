#include "timer/sleep_table.h"

#include <cmath>
#include <cstdint>

#include "book/text_helpers.h"

namespace lectorix {
namespace {

// Row r: which of ten slots get one unit more when r of them must. The rows spread the extra
// units evenly, so every stretch of the cycle stays close to the mean.
constexpr const char* kGroupPattern[10] = {
    "0000000000", "+000000000", "+0000+0000", "0+000+000+", "+00+0+00+0",
    "0+0+0+0+0+", "0++0+0++0+", "+0+++0+++0", "0++++0++++", "0+++++++++",
};
// The same within a group of entries; it differs from the one above at 3 and 7.
constexpr const char* kEntryPattern[10] = {
    "0000000000", "+000000000", "+0000+0000", "0+00+00+00", "+00+0+00+0",
    "0+0+0+0+0+", "0++0+0++0+", "+0++0++0++", "0++++0++++", "0+++++++++",
};

std::int64_t IntervalTenths(double ms) {
    if (std::isnan(ms) || ms <= 0) return 0;
    if (ms >= kMaxIntervalMs) return static_cast<std::int64_t>(kMaxIntervalMs) * 10;
    return RoundHalfEven(ms * 10);
}

}  // namespace

double NormalizeInterval(double ms) {
    return static_cast<double>(IntervalTenths(ms)) / 10.0;
}

SleepTable BuildSleepTable(double interval) {
    const std::int64_t tenths = IntervalTenths(interval);
    const int n = static_cast<int>(tenths / 10);
    const int d = static_cast<int>(tenths % 10);
    SleepTable table{};
    for (int g = 0; g < 10; ++g) {
        const int v = n + (kGroupPattern[d][g] == '+' ? 1 : 0);
        const int k = v % 10;
        const int t = v - k;
        for (int e = 0; e < 10; ++e)
            table[g * 10 + e] = t + (kEntryPattern[k][e] == '+' ? 10 : 0);
    }
    return table;
}

}  // namespace lectorix
