#include "book/text_helpers.h"

#include <gtest/gtest.h>

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

TEST(ReplaceEverywhere, IgnoresCaseOfLatinAndCyrillicLetters) {
    EXPECT_EQ(ReplaceEverywhere("aXbxc", "x", "-"), "a-b-c");
    EXPECT_EQ(ReplaceEverywhere(Cp("ЁЛКА ёлка Ёлка"), Cp("ёлка"), "*"), "* * *");
    EXPECT_EQ(ReplaceEverywhere(Cp("Мама МАМА"), Cp("мАмА"), "x"), "x x");
    // Bytes outside the letter pairs only match themselves.
    EXPECT_EQ(ReplaceEverywhere("\xAB\xBB", "\xBB", "."), "\xAB.");
}

TEST(ReplaceEverywhere, RepeatsUntilThePatternIsGone) {
    EXPECT_EQ(ReplaceEverywhere("a      b", "  ", " "), "a b");
    EXPECT_EQ(ReplaceEverywhere("aaab", "ab", "b"), "b");
}

TEST(ReplaceEverywhere, ReplacementHoldingThePatternDoesNotHang) {
    EXPECT_EQ(ReplaceEverywhere("a a", "a", "aa"), "aa aa");
    EXPECT_EQ(ReplaceEverywhere("abc", "", "x"), "abc");
}

TEST(CutField, TakesFieldsOffARecordOneByOne) {
    std::string record = "12|abc||x";
    EXPECT_EQ(CutField(record), "12");
    EXPECT_EQ(CutField(record), "abc");
    EXPECT_EQ(CutField(record), "");
    EXPECT_EQ(record, "x");
    // No bar left: an empty field, the rest untouched.
    EXPECT_EQ(CutField(record), "");
    EXPECT_EQ(record, "x");
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(-0.4), 0);
    EXPECT_EQ(RoundHalfEven(71.15 * 10), 712);
    EXPECT_EQ(RoundHalfEven(1e300), INT64_MAX);
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(SplitLines, TreatsEveryKindOfLineEndAsABreak) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace lectorix
