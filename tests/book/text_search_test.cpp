#include "book/text_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

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
