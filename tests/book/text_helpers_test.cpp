#include "book/text_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>

#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(CountLetters, SkipsTheThirteenSeparatorsAndLineBreaks) {
    EXPECT_EQ(CountLetters(std::string_view(" ,.!\":;?()-_\t\r\n")), 0);
    // Digits, apostrophes, quotes other than '"' and the no-break space are letters.
    EXPECT_EQ(CountLetters(std::string_view("a1'\xAB\xA0")), 5);
    EXPECT_EQ(CountLetters(std::vector<std::string>{"ab c", "", "d-e"}), 5);
}

TEST(ReplaceEverywhere, IgnoresLetterCaseAndRepeatsUntilThePatternIsGone) {
    EXPECT_EQ(ReplaceEverywhere("aXbxc", "x", "-"), "a-b-c");
    EXPECT_EQ(ReplaceEverywhere(Cp("ЁЛКА ёлка Ёлка"), Cp("ёЛка"), "*"), "* * *");
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

// One parser serves the book trailer, the settings, the diary and the tool: a sign or a blank
// it lets through, or a value it wraps, would reach every one of them.
TEST(ParseWholeNumber, TakesTheWholeTextOrNothing) {
    const std::optional<int> none;
    // clang-format off
    const std::tuple<const char*, PlusSign, std::optional<int>> cases[] = {
        {"12", PlusSign::Refused, 12}, {"-12", PlusSign::Refused, -12}, {"0", PlusSign::Refused, 0},
        {"+12", PlusSign::Refused, none}, {"+12", PlusSign::Allowed, 12},
        {"+", PlusSign::Allowed, none}, {"", PlusSign::Allowed, none},
        {" 12", PlusSign::Allowed, none}, {"12 ", PlusSign::Allowed, none},
        {"12x", PlusSign::Allowed, none}, {"1.5", PlusSign::Allowed, none},
        {"0x1A", PlusSign::Allowed, none}, {"2147483647", PlusSign::Refused, 2147483647},
        {"2147483648", PlusSign::Refused, none}, {"-2147483649", PlusSign::Refused, none}};
    // clang-format on
    for (const auto& [text, plus, value] : cases)
        EXPECT_EQ(ParseWholeNumber<int>(text, plus), value) << '"' << text << '"';
    EXPECT_EQ(ParseWholeNumber<std::int64_t>("2147483648"), 2147483648LL);
    EXPECT_EQ(ParseWholeNumber<double>("+2.5", PlusSign::Allowed), 2.5);
    EXPECT_EQ(ParseWholeNumber<double>("1e3"), 1000.0);
    EXPECT_EQ(ParseWholeNumber<double>("2,5"), std::nullopt);  // "." whatever the locale
    EXPECT_EQ(ParseWholeNumber<double>("."), std::nullopt);
}

// Stored figures are written in this form: one that does not read back would drift each save.
TEST(ShortestDecimal, ReadsBackAsTheSameNumber) {
    for (const double x : {0.965, 0.03, 1.234567, 12.0, 1e-5, 123456789.125})
        EXPECT_EQ(ParseWholeNumber<double>(ShortestDecimal(x)), x) << ShortestDecimal(x);
    EXPECT_EQ(ShortestDecimal(12), "12");
    EXPECT_EQ(ShortestDecimal(-0.0), "0");
}

}  // namespace
}  // namespace lectorix
