// Durations as the reader keeps them: day counts with the time of day as the fraction.
#pragma once

#include <cstdint>
#include <string>

namespace lectorix {

inline constexpr double kMsPerDay = 86400000.0;

// Whole milliseconds of a duration given in days (to the nearest millisecond).
std::int64_t DurationToMs(double days);
inline double MsToDuration(std::int64_t ms) {
    return static_cast<double>(ms) / kMsPerDay;
}

// H:MM:SS, the hours unpadded and not limited to a day; milliseconds are dropped.
std::string FormatDuration(double days);

// A remaining time is negative when there is nothing to estimate it by (a speed of 0).
inline constexpr double kNoTimeLeft = -1;
// A remaining time as FormatDuration shows it, or "--:--:--" when there is no estimate.
std::string FormatTimeLeft(double days);

}  // namespace lectorix
