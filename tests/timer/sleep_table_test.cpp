#include "timer/sleep_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace lectorix {
namespace {

// Entries of `tens` ms, 10 more at the '+' of `extra`, or of `more` in the groups `groups` marks.
SleepTable Table(int tens, const char* extra, const char* more = "", const char* groups = "") {
    SleepTable t{};
    for (int i = 0; i < kSleepTableSize; ++i) {
        const char* pattern = *groups && groups[i / 10] == '+' ? more : extra;
        t[i] = tens + (pattern[i % 10] == '+' ? 10 : 0);
    }
    return t;
}

TEST(SleepTable, IntervalsKeepOneDecimalHalvesToEvenAndStayInRange) {
    EXPECT_DOUBLE_EQ(NormalizeInterval(100.46), 100.5);
    EXPECT_DOUBLE_EQ(NormalizeInterval(0.25), 0.2);  // not 0.3
    EXPECT_DOUBLE_EQ(NormalizeInterval(-3), 0);
    EXPECT_DOUBLE_EQ(NormalizeInterval(std::nan("")), 0);
    EXPECT_DOUBLE_EQ(NormalizeInterval(INFINITY), kMaxIntervalMs);
    EXPECT_EQ(BuildSleepTable(100.46), BuildSleepTable(100.5));
    EXPECT_EQ(BuildSleepTable(-3), SleepTable{});
}

TEST(BuildSleepTable, SpreadsTheTenthsOverTheGroupsAndTheMsOverTheEntries) {
    EXPECT_EQ(BuildSleepTable(100.5), Table(100, "0000000000", "+000000000", "0+0+0+0+0+"));
    EXPECT_EQ(BuildSleepTable(7), Table(0, "+0++0++0++"));
    EXPECT_EQ(BuildSleepTable(25), Table(20, "0+0+0+0+0+"));
    // The group and entry patterns differ at 3 and 7.
    EXPECT_EQ(BuildSleepTable(13.3), Table(10, "0+00+00+00", "+00+0+00+0", "0+000+000+"));
    EXPECT_EQ(BuildSleepTable(6.7), Table(0, "0++0+0++0+", "+0++0++0++", "+0+++0+++0"));
}

TEST(BuildSleepTable, OnlyWholeTensCloseToTheIntervalWhoseMeanIsTheInterval) {
    for (int tenths = 0; tenths <= 30000; tenths += (tenths < 2000 ? 1 : 37)) {
        const double interval = tenths / 10.0;
        const SleepTable t = BuildSleepTable(interval);
        EXPECT_NEAR(std::accumulate(t.begin(), t.end(), 0.0) / 100, interval, 1e-9) << interval;
        for (int i = 0; i < kSleepTableSize; ++i) {
            ASSERT_TRUE(t[i] % 10 == 0 && std::abs(t[i] - interval) <= 10) << interval;
            if (i % 10 != 0) continue;
            // Every group of ten averages to a whole ms close to the interval.
            const int group = std::accumulate(t.begin() + i, t.begin() + i + 10, 0);
            ASSERT_TRUE(group % 10 == 0 && std::abs(group / 10.0 - interval) <= 1) << interval;
        }
    }
    const SleepTable longest = BuildSleepTable(1e300);  // its entries stay in int
    EXPECT_NEAR(std::accumulate(longest.begin(), longest.end(), 0.0) / 100, kMaxIntervalMs, 1e-3);
}

}  // namespace
}  // namespace lectorix
