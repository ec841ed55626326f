#include "book/duration.h"

#include <cmath>
#include <cstdio>

namespace lectorix {

std::int64_t DurationToMs(double days) {
    if (!std::isfinite(days)) return 0;
    const double ms = std::round(days * kMsPerDay);
    if (ms >= 9.2e18) return INT64_MAX;
    if (ms <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(ms);
}

std::string FormatDuration(double days) {
    std::int64_t ms = DurationToMs(days);
    const bool negative = ms < 0;
    if (negative) ms = ms == INT64_MIN ? INT64_MAX : -ms;
    const std::int64_t seconds = ms / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%lld:%02lld:%02lld", negative ? "-" : "",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    return buf;
}

std::string FormatTimeLeft(double days) {
    return days < 0 ? "--:--:--" : FormatDuration(days);
}

}  // namespace lectorix
