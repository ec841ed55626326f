#include "exercises/table_exercise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace lectorix {
namespace {

TEST(LayoutTable, TheFiguresOfA1024By768Window) {
    struct Case {
        int size, w, h, left, top, points;
    };
    for (const Case c : {Case{8, 128, 96, 192, 144, 48}, Case{5, 204, 153, 2, 1, 76},
                         Case{20, 51, 38, 384, 289, 19}}) {
        int kept = 0;
        TableLayout l;
        ASSERT_TRUE(LayoutTable(c.size, 1024, 768, 18, 16, kept, l));
        EXPECT_EQ(kept, c.size);
        EXPECT_EQ(l.CellW, c.w);
        EXPECT_EQ(l.CellH, c.h);
        EXPECT_EQ(l.Left, c.left);
        EXPECT_EQ(l.Top, c.top);
        EXPECT_EQ(l.FontPoints, c.points);
        // Neighbours share their border: the last cell ends where five cells less four
        // borders do.
        EXPECT_EQ(l.Cell(4, 4),
                  (TableRect{c.left + 4 * (c.w - 1), c.top + 4 * (c.h - 1), c.w, c.h}));
    }
    int kept = 0;
    TableLayout l;
    LayoutTable(8, 1024, 768, 18, 16, kept, l);
    // 371.5 rounds to the even 372.
    EXPECT_EQ(l.GreenPoint, (TableRect{496, 372, 27, 20}));
    // The counter's own size, centred on the same point.
    EXPECT_EQ(l.LabelTime, (TableRect{500, 374, 18, 16}));  // 500.5 to 500
}

TEST(ShuffleTable, EveryTableHolds1To24OnceAroundAnEmptyCentre) {
    TableNumbers numbers = InitialTableNumbers();
    EXPECT_EQ(numbers[2][1], "12");
    EXPECT_EQ(numbers[2][3], "13");
    std::mt19937 generator(7);
    int draws = 0;
    const UniformDraw draw = [&](int n) {
        ++draws;
        return std::uniform_int_distribution<int>(0, n - 1)(generator);
    };
    std::vector<std::string> expected;
    for (int n = 1; n <= 24; ++n)
        expected.push_back(std::to_string(n));
    std::sort(expected.begin(), expected.end());
    for (int table = 0; table < 200; ++table) {
        const TableNumbers before = numbers;
        draws = 0;
        ShuffleTable(numbers, draw);
        EXPECT_EQ(draws, 800);  // skipped rounds use their draws too
        EXPECT_NE(numbers, before);
        ASSERT_TRUE(numbers[2][2].empty());
        std::vector<std::string> all;
        for (const auto& row : numbers)
            for (const auto& cell : row)
                if (!cell.empty()) all.push_back(cell);
        std::sort(all.begin(), all.end());
        ASSERT_EQ(all, expected) << "table " << table;
    }
    // The draws are taken as a, b, c, d and exchange (a, c) with (b, d): a generator giving
    // 0, 4, 1, 3 swaps cell (0, 1) with (4, 3) and nothing else, every round.
    numbers = InitialTableNumbers();
    const int script[] = {0, 4, 1, 3};
    int next = 0;
    ShuffleTable(numbers, [&](int) { return script[next++ % 4]; });
    EXPECT_EQ(numbers, InitialTableNumbers());  // 200 swaps of the same pair: back again
    next = 0;
    int rounds = 1;
    ShuffleTable(numbers, [&](int) { return rounds++ <= 4 ? script[next++ % 4] : 2; });
    EXPECT_EQ(numbers[0][1], "23");
    EXPECT_EQ(numbers[4][3], "2");
}

TEST(TableTimer, ReportsTheTimeSpentOrTheMinutesLimit) {
    // Seconds are cut, never rounded up into the limit (the window shows the whole line).
    EXPECT_EQ(TableReport(37999), "Потрачено времени 0:00:37");
    EXPECT_EQ(TableReport(59999.4), "Потрачено времени 0:00:59");
    EXPECT_EQ(TableReport(60000), "Превышение лимита времени.");

    // On the monotonic clock, far from 0 like a machine up for weeks: no midnight to cross.
    TableTimer t;
    const double start = 3.0e9;
    t.Start(start);
    EXPECT_FALSE(t.LimitReached(start + 59999));
    EXPECT_TRUE(t.LimitReached(start + 60000));
    EXPECT_EQ(t.WholeSeconds(start + 37400), 37);
    // Only a table the user renews within the minute counts as finished, and not one skipped
    // at once.
    EXPECT_TRUE(t.Finished(start + 37000, NewTableCause::User));
    EXPECT_FALSE(t.Finished(start + 37000, NewTableCause::Limit));
    EXPECT_FALSE(t.Finished(start + 37000, NewTableCause::Opening));
    EXPECT_FALSE(t.Finished(start + 60000, NewTableCause::User));
    EXPECT_FALSE(t.Finished(start + 1000, NewTableCause::User));
}

}  // namespace
}  // namespace lectorix
