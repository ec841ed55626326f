#include "exercises/word_columns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lectorix {
namespace {

// A dictionary of 15 lengths whose words are n letters "a"; the ticks run on a fake clock that
// moves by each tick's interval, as the exercise's timer sleeps.
struct Ticks {
    DictionaryIndex index;
    WordColumns exercise;
    WordSettings settings;
    double now = 0;
    Ticks() {
        index.DictLengthCount = 15;
        for (int n = 1; n <= 15; ++n) {
            index.DictFirstLine.push_back(100 * n);
            index.DictLastLine.push_back(100 * n + 9);
        }
        exercise.Start();
    }
    // One tick: when it came, what it showed and how long that stays.
    struct Shown {
        double at;
        std::string label;
        double ms;
        bool pause;
    };
    Shown Tick() {
        const auto tick = exercise.QvlThreadTimer2Timer(settings, index, [](int first, int) {
            return std::string(static_cast<size_t>(first / 100), 'a');
        });
        const Shown shown{now, exercise.LabelWord(), tick.IntervalMs, tick.Pause};
        now += tick.IntervalMs;
        return shown;
    }
    // The rows of a column as the label shows them.
    static std::vector<std::string> Rows(const std::string& label) {
        std::vector<std::string> rows;
        for (size_t pos = 0; pos < label.size();) {
            const size_t end = label.find("\r\n", pos);
            rows.push_back(label.substr(pos, end - pos));
            pos = end + 2;
        }
        return rows;
    }
};

TEST(WordColumns, AStandardColumnOfTenAt240MsThenThePauseAndANewColumn) {
    Ticks r;
    r.settings.LineMode = false;
    // The pause comes before each column, the first too, showing nothing new.
    const Ticks::Shown first = r.Tick();
    EXPECT_TRUE(first.pause);
    EXPECT_EQ(first.ms, 300);
    for (int row = 1; row <= 10; ++row) {
        const Ticks::Shown s = r.Tick();
        EXPECT_FALSE(s.pause);
        EXPECT_EQ(s.ms, 240) << row;
        EXPECT_EQ(s.at, 300 + 240.0 * (row - 1));
        const auto rows = Ticks::Rows(s.label);
        ASSERT_EQ(rows.size(), 10u);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(rows[i], i < row ? "aaaaaa" : " ") << row << " " << i;
    }
    // The full column stays its last word's 240 ms and 300 ms more, then a new one begins.
    const Ticks::Shown pause = r.Tick();
    EXPECT_TRUE(pause.pause);
    EXPECT_EQ(Ticks::Rows(pause.label)[9], "aaaaaa");
    const Ticks::Shown next = r.Tick();
    EXPECT_EQ(next.at, 300 + 10 * 240 + 300);
    const auto rows = Ticks::Rows(next.label);
    EXPECT_EQ(rows[0], "aaaaaa");
    EXPECT_EQ(rows[1], " ");
}

TEST(WordColumns, ColumnsOfOneOrTwoRowsHaveNoPause) {
    for (const int count : {1, 2}) {
        Ticks r;
        r.settings.LineMode = false;
        r.settings.Stolbik = count;
        for (int i = 0; i < 6; ++i) {
            const Ticks::Shown s = r.Tick();
            EXPECT_FALSE(s.pause);
            EXPECT_EQ(s.at, 240.0 * i);
            // One row: each word replaces the last, never a blank screen between.
            if (count == 1) {
                EXPECT_EQ(s.label, "aaaaaa\r\n");
            }
        }
    }
}

TEST(WordColumns, TheHerringboneFrom1To15) {
    Ticks r;
    r.settings.LineMode = false;
    r.settings.Standard = false;
    r.settings.Begin = 1;
    r.settings.End = 15;
    for (int column = 0; column < 2; ++column) {
        EXPECT_TRUE(r.Tick().pause);  // "Слов в столбце" is 10 on the other tab: the pause
        for (int row = 1; row <= 15; ++row) {
            const Ticks::Shown s = r.Tick();
            // Rows shorter than six characters take six characters' time.
            EXPECT_DOUBLE_EQ(s.ms, 40.0 * std::max(row, 6)) << row;
            const auto rows = Ticks::Rows(s.label);
            ASSERT_EQ(rows.size(), 15u);
            EXPECT_EQ(rows[row - 1], std::string(row, 'a'));
        }
    }
    // 300 + 6 x 240 + 280 + ... + 600 a column.
    EXPECT_DOUBLE_EQ(r.now, 2 * (300 + 6 * 240 + 40 * (7 + 8 + 9 + 10 + 11 + 12 + 13 + 14 + 15)));
}

TEST(WordColumns, LineModeAlternatesWordAndBlankAndTheHerringboneAdvancesOnWordsOnly) {
    Ticks r;
    std::vector<std::string> labels;
    for (int i = 0; i < 4; ++i) {
        const Ticks::Shown s = r.Tick();
        EXPECT_EQ(s.ms, 240);
        labels.push_back(s.label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"aaaaaa", "", "aaaaaa", ""}));

    Ticks h;
    h.settings.Standard = false;
    h.settings.Begin = 3;
    h.settings.End = 5;
    labels.clear();
    for (int i = 0; i < 8; ++i)
        labels.push_back(h.Tick().label);
    EXPECT_EQ(labels, (std::vector<std::string>{"aaa", "", "aaaa", "", "aaaaa", "", "aaa", ""}));
}

TEST(WordColumns, SpanRulesAndLengthsTheDictionaryLacks) {
    int begin = 1, end = 25;
    RxSpinEditEndChange(begin, end, kMaxRowSpan);
    EXPECT_EQ(end, 22);
    begin = 1;
    end = 25;
    RxSpinEditBeginChange(begin, end, kMaxRowSpan);
    EXPECT_EQ(begin, 4);

    // A column of no rows (the start refuses it; a change while running gets here) and a length
    // beyond the dictionary show nothing and read no line.
    Ticks r;
    r.settings.LineMode = false;
    r.settings.Standard = false;
    r.settings.Begin = 9;
    r.settings.End = 3;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.Tick().label, "");
    r.settings.Standard = true;
    r.settings.Stolbik = 1;
    r.settings.Words = 16;
    EXPECT_EQ(r.Tick().label, "");
}

}  // namespace
}  // namespace lectorix
