#include "book/text_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <optional>
#include <tuple>

#include "book/duration.h"
#include "book/letter_count.h"
#include "book/text_search.h"
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

TEST(FormatDuration, HoursAreUnpaddedNotLimitedToADayAndMillisecondsAreDropped) {
    EXPECT_EQ(FormatDuration(MsToDuration(3723000)), "1:02:03");
    EXPECT_EQ(FormatDuration(MsToDuration((36 * 3600 + 5 * 60 + 9) * 1000LL)), "36:05:09");
    EXPECT_EQ(FormatDuration(MsToDuration(59999)), "0:00:59");  // not rounded up
    // One hour as a day fraction is not exact in binary; it must still show as one hour.
    EXPECT_EQ(FormatDuration(1.0 / 24), "1:00:00");
}

TEST(TSrtingConvert, DeliversTheLettersOfTheLengthItWasGivenOnceUnlessAbandoned) {
    // Slices end inside CR LF pairs and words; neither may be lost or counted twice.
    const std::string text = std::string(1499, 'a') + "\r\n" + std::string(3000, 'b') + "tail";
    std::promise<std::int64_t> result;
    std::atomic<int> calls{0};
    {
        TSrtingConvert count(text, text.size() - 4, [&](std::int64_t total) {
            if (calls.fetch_add(1) == 0) result.set_value(total);
        });
        EXPECT_EQ(result.get_future().get(), 4499);
    }
    EXPECT_EQ(calls.load(), 1);

    // An abandoned count never reports its result.
    const std::string big(20 * 1000 * 1000, 'x');
    std::atomic<bool> called{false};
    {
        TSrtingConvert count(big, big.size(), [&](std::int64_t) { called = true; });
        count.Abandon();
        EXPECT_FALSE(called.load());
    }  // the destructor waits for the thread, which stops within a slice
    EXPECT_FALSE(called.load());
    // Destroying counts while they run does not hang either.
    for (int i = 0; i < 5; ++i)
        TSrtingConvert count(big, big.size(), nullptr);
}

TEST(FindText, IgnoresLetterCaseAndTheWidthOfWhiteSpace) {
    const std::string text = Cp("Ёлка. Ещё ЁЛКА\r\nи ель,  и\tсосна.\r\n  Ёлка");
    EXPECT_EQ(FindText(text, Cp("ёлка"), 0), 0);
    EXPECT_EQ(FindText(text, Cp("ёлка"), 1), 10);
    EXPECT_EQ(FindText(text, Cp("ЕЛКА"), 0), -1);  // е is no ё
    // A phrase across a line break, a double blank and a tab; blanks around it are ignored.
    EXPECT_EQ(FindText(text, Cp(" ёлка и ЕЛЬ, и сосна "), 0), 10);
    EXPECT_EQ(FindText(text, Cp("ель, и сосна. ёлка"), 0), 18);
    // The words must be apart as typed, and each whole.
    EXPECT_EQ(FindText(text, Cp("ещёёлка"), 0), -1);
    EXPECT_EQ(FindText(text, Cp("сосна. ёлка ель"), 0), -1);  // runs past the end
    // Nothing to look for, or a start past the end.
    EXPECT_EQ(FindText(text, " \r\n", 0), -1);
    EXPECT_EQ(FindText(text, Cp("ёлка"), 100), -1);
    EXPECT_EQ(FindText(text, Cp("ёлка"), -5), -1);
}

TEST(FindText, MatchOnLinesGivesTheColumnsOfEachLineTheMatchCovers) {
    // Justified lines: blanks stretched, one at each line's end.
    const std::vector<std::string> lines = {Cp("  Ёлка   и    ель "), Cp("и  сосна,   ёлка "),
                                            Cp("и   ель. ")};
    EXPECT_EQ(MatchOnLines(lines, Cp("ёлка"), 0), (std::vector<LineSpan>{{0, 2, 4}}));
    EXPECT_EQ(MatchOnLines(lines, Cp("ЁЛКА"), 1), (std::vector<LineSpan>{{1, 12, 4}}));
    // Across a line end: a span on each line, the blanks between them on neither.
    EXPECT_EQ(MatchOnLines(lines, Cp("ёлка и ель"), 1),
              (std::vector<LineSpan>{{1, 12, 4}, {2, 0, 7}}));
    EXPECT_EQ(MatchOnLines(lines, Cp("ель и сосна"), 0),
              (std::vector<LineSpan>{{0, 14, 3}, {1, 0, 8}}));
    EXPECT_TRUE(MatchOnLines(lines, Cp("ёлка"), 2).empty());
    EXPECT_TRUE(MatchOnLines({}, Cp("ёлка"), 0).empty());
}

}  // namespace
}  // namespace lectorix
