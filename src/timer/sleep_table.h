// The sleeps of the timer's worker. It sleeps whole multiples of 10 ms only, so a fractional
// interval is spread over a cycle of 100 sleeps whose mean is the interval.
#pragma once

#include <array>

namespace lectorix {

inline constexpr int kSleepTableSize = 100;
using SleepTable = std::array<int, kSleepTableSize>;

// The longest interval kept, in ms (about 23 days); longer ones are cut to it so that the
// table's entries stay in int.
inline constexpr double kMaxIntervalMs = 2'000'000'000.0;

// An interval as the timer keeps it: to one decimal (halves to even), never negative, never
// above kMaxIntervalMs. NaN becomes 0.
double NormalizeInterval(double ms);

// The 100 sleeps, in ms, for an interval (normalised first). Entries 0-9, 10-19, ... form ten
// groups; their whole-ms values carry the tenths, their entries the ms below 10.
SleepTable BuildSleepTable(double interval);

}  // namespace lectorix
