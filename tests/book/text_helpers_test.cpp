#include "book/text_helpers.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(CountLetters, SkipsTheThirteenSeparatorsAndLineBreaks) {
    EXPECT_EQ(CountLetters(std::string_view(" ,.!\":;?()-_\t\r\n")), 0);
    // Digits, apostrophes, quotes other than '"' and the no-break space are letters.
    EXPECT_EQ(CountLetters(std::string_view("a1'\xAB\xA0")), 5);
    EXPECT_EQ(CountLetters(Cp("Привет, мир!\r\nЁж.")), 11);
    EXPECT_EQ(CountLetters(std::vector<std::string>{"ab c", "", "d-e"}), 5);
}

TEST(ReplaceEverywhere, IgnoresLetterCaseAndRepeatsUntilThePatternIsGone) {
    EXPECT_EQ(ReplaceEverywhere("aXbxc", "x", "-"), "a-b-c");
    EXPECT_EQ(ReplaceEverywhere(Cp("ЁЛКА ёлка Ёлка"), Cp("ёлка"), "*"), "* * *");
    EXPECT_EQ(ReplaceEverywhere(Cp("Мама МАМА"), Cp("мАмА"), "x"), "x x");
    // Bytes outside the letter pairs only match themselves.
    EXPECT_EQ(ReplaceEverywhere("\xAB\xBB", "\xBB", "."), "\xAB.");
    EXPECT_EQ(ReplaceEverywhere("a      b", "  ", " "), "a b");
    // A replacement holding the pattern is made once, and an empty pattern replaces nothing.
    EXPECT_EQ(ReplaceEverywhere("a a", "a", "aa"), "aa aa");
    EXPECT_EQ(ReplaceEverywhere("abc", "", "x"), "abc");
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbourAndSaturates) {
    // clang-format off
    const std::pair<double, std::int64_t> cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-3.5, -4}, {2.5000001, 3}, {-0.4, 0},
        {71.15 * 10, 712}, {1e19, INT64_MAX}, {1e300, INT64_MAX}, {-1e300, INT64_MIN}, {NAN, 0},
        {INFINITY, 0}};
    // clang-format on
    for (const auto& [x, rounded] : cases)
        EXPECT_EQ(RoundHalfEven(x), rounded) << x;
}

TEST(CutFieldAndSplitLines, TakeRecordsApartAtBarsAndTextsAtEveryKindOfLineEnd) {
    std::string record = "12|abc||x";
    for (const char* field : {"12", "abc", "", ""})
        EXPECT_EQ(CutField(record), field);
    EXPECT_EQ(record, "x");  // no bar left: an empty field, the rest untouched
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace lectorix
