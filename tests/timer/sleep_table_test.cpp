#include "timer/sleep_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace lectorix {
namespace {

double Mean(const SleepTable& t) {
    return std::accumulate(t.begin(), t.end(), 0.0) / t.size();
}

SleepTable Repeat(std::initializer_list<int> ten) {
    SleepTable t{};
    for (int i = 0; i < kSleepTableSize; ++i)
        t[i] = *(ten.begin() + i % 10);
    return t;
}

TEST(NormalizeInterval, KeepsOneDecimalHalvesToEvenAndNothingBelowZero) {
    EXPECT_DOUBLE_EQ(NormalizeInterval(100.46), 100.5);
    EXPECT_DOUBLE_EQ(NormalizeInterval(100.44), 100.4);
    EXPECT_DOUBLE_EQ(NormalizeInterval(0.25), 0.2);
    EXPECT_DOUBLE_EQ(NormalizeInterval(0.75), 0.8);
    EXPECT_DOUBLE_EQ(NormalizeInterval(7), 7);
    EXPECT_DOUBLE_EQ(NormalizeInterval(-3), 0);
    EXPECT_DOUBLE_EQ(NormalizeInterval(-0.04), 0);
    EXPECT_DOUBLE_EQ(NormalizeInterval(std::nan("")), 0);
    EXPECT_DOUBLE_EQ(NormalizeInterval(1e300), kMaxIntervalMs);
    EXPECT_DOUBLE_EQ(NormalizeInterval(INFINITY), kMaxIntervalMs);
}

TEST(BuildSleepTable, ExactTables) {
    // 100.5: groups of 100 and 101 alternate, odd groups 101; a 101 group has one 110.
    SleepTable expected{};
    expected.fill(100);
    for (int g = 1; g < 10; g += 2)
        expected[g * 10] = 110;
    EXPECT_EQ(BuildSleepTable(100.5), expected);

    EXPECT_EQ(BuildSleepTable(7), Repeat({10, 0, 10, 10, 0, 10, 10, 0, 10, 10}));
    EXPECT_EQ(BuildSleepTable(25), Repeat({20, 30, 20, 30, 20, 30, 20, 30, 20, 30}));
    EXPECT_EQ(BuildSleepTable(0), SleepTable{});

    expected.fill(0);
    for (int g = 1; g < 10; g += 2)
        expected[g * 10] = 10;
    EXPECT_EQ(BuildSleepTable(0.5), expected);

    // 13.3: the group pattern for 3 tenths (0+000+000+) puts 14 in groups 1, 5 and 9, and the
    // entry patterns for 3 and 4 ms differ from the group ones.
    const SleepTable t = BuildSleepTable(13.3);
    const SleepTable g13 = Repeat({10, 20, 10, 10, 20, 10, 10, 20, 10, 10});  // 0+00+00+00
    const SleepTable g14 = Repeat({20, 10, 10, 20, 10, 20, 10, 10, 20, 10});  // +00+0+00+0
    for (int i = 0; i < kSleepTableSize; ++i) {
        const int g = i / 10;
        EXPECT_EQ(t[i], (g == 1 || g == 5 || g == 9) ? g14[i] : g13[i]) << "entry " << i;
    }
    // 7 tenths and 7 ms: +0+++0+++0 over the groups, +0++0++0++ within a group.
    const SleepTable s = BuildSleepTable(6.7);
    const SleepTable g6 = Repeat({0, 10, 10, 0, 10, 0, 10, 10, 0, 10});
    const SleepTable g7 = Repeat({10, 0, 10, 10, 0, 10, 10, 0, 10, 10});
    const bool plus[10] = {true, false, true, true, true, false, true, true, true, false};
    for (int i = 0; i < kSleepTableSize; ++i)
        EXPECT_EQ(s[i], plus[i / 10] ? g7[i] : g6[i]) << "entry " << i;
}

TEST(BuildSleepTable, OnlyWholeTensWhoseMeanIsTheInterval) {
    for (int tenths = 0; tenths <= 30000; tenths += (tenths < 2000 ? 1 : 37)) {
        const double interval = tenths / 10.0;
        const SleepTable t = BuildSleepTable(interval);
        EXPECT_NEAR(Mean(t), interval, 1e-9) << interval;
        for (int v : t) {
            ASSERT_EQ(v % 10, 0) << interval;
            // No entry strays further than one step of 10 from the interval.
            ASSERT_LE(std::abs(v - interval), 10.0) << interval;
        }
        // Every group of ten averages to a whole ms close to the interval.
        for (int g = 0; g < 10; ++g) {
            const double gm =
                std::accumulate(t.begin() + g * 10, t.begin() + g * 10 + 10, 0) / 10.0;
            ASSERT_EQ(gm, std::floor(gm)) << interval;
            ASSERT_LE(std::abs(gm - interval), 1.0) << interval;
        }
    }
    EXPECT_EQ(BuildSleepTable(100.46), BuildSleepTable(100.5));
    EXPECT_EQ(BuildSleepTable(-3), SleepTable{});
    const SleepTable longest = BuildSleepTable(1e300);
    EXPECT_NEAR(Mean(longest), kMaxIntervalMs, 1e-3);
    EXPECT_TRUE(std::all_of(longest.begin(), longest.end(), [](int v) { return v > 0; }));
}

}  // namespace
}  // namespace lectorix
