#include "book/text_wrap.h"

#include <gtest/gtest.h>

#include "book/text_helpers.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

std::vector<std::string> BookLines(std::string_view text, int width) {
    return SplitLines(WrapBookText(text, width));
}
using Lines = std::vector<std::string>;

TEST(WrapBookText, AWordThatDoesNotFitMovesToTheNextLine) {
    EXPECT_EQ(WrapBookText("aaaa bbbb", 6), "aaaa \r\nbbbb");
}

TEST(WrapBookText, ALineEndingJustBeforeTheLastCharacterGetsNoBreak) {
    // Stored line counts rely on this: the final character joins the line before it.
    EXPECT_EQ(WrapBookText("aaaa cccccccccc.", 10), "aaaa \r\ncccccccccc.");
}

TEST(WrapBookText, AWordLongerThanTheLineIsCutAtTheWidth) {
    EXPECT_EQ(BookLines(std::string(20, 'a'), 16), (Lines{std::string(16, 'a'), "aaaa"}));
}

TEST(WrapBookText, ADroppedLineBreakMakesTheNextLineOneColumnNarrower) {
    // The word filling the line drops its CR LF; the LF still counts as column 1.
    EXPECT_EQ(BookLines("aaaaa\r\nbb cc dd", 5), (Lines{"aaaaa", "bb ", "cc dd"}));
    EXPECT_EQ(BookLines("aaaa\r\nbb cc dd", 5), (Lines{"aaaa", "bb cc", "dd"}));
}

TEST(WrapBookText, AWordEndingInTheLastColumnDropsTheBlankAfterIt) {
    EXPECT_EQ(WrapBookText("abcde fgh", 5), "abcde\r\nfgh");
    // Hyphens break lines too and stay at the end of theirs.
    EXPECT_EQ(BookLines("ab-cdef gh", 4), (Lines{"ab-", "cdef", "gh"}));
}

TEST(WrapBookText, ExistingBreaksAndShortTextsStayAsTheyAre) {
    EXPECT_EQ(WrapBookText("ab\r\ncd\r\n", 10), "ab\r\ncd\r\n");
    EXPECT_EQ(WrapBookText("", 10), "");
    EXPECT_EQ(WrapBookText("abc", 1), WrapBookText("abc", 1));  // terminates at width 1
}

TEST(WrapBookText, NoLineIsWiderThanTheWidthApartFromTrailingBlanks) {
    // The last line is the exception: a line ending just before the text's last character
    // gets no break, so the last character joins it.
    const std::string text = test::Cp(
        "Он шёл — не спеша, по-над берегом, и вдруг увидел: вдали стоит дом-крепость.\r\n"
        "  Второй абзац начинается с отступа;  два пробела   и длинноесловобезпробелов.");
    for (int width = 2; width <= 90; ++width) {
        const auto lines = BookLines(text, width);
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_LE(TrimRight(lines[i]).size(), static_cast<size_t>(width)) << width;
        EXPECT_LE(TrimRight(lines.back()).size(), static_cast<size_t>(width) + 1) << width;
    }
}

TEST(WrapPlainText, BreaksAtTheLastBlankThatFits) {
    EXPECT_EQ(WrapPlainText("aaa bbb ccc", 7), (Lines{"aaa bbb", "ccc"}));
    // A blank right after a full row is a break as well, and it is not carried over.
    EXPECT_EQ(WrapPlainText("aaaaaaa    bbb", 7), (Lines{"aaaaaaa", "bbb"}));
    EXPECT_EQ(WrapPlainText("abcdefghij", 4), (Lines{"abcd", "efgh", "ij"}));
    // An indent alone is no place to break.
    EXPECT_EQ(WrapPlainText("  abcdefgh", 4), (Lines{"  ab", "cdef", "gh"}));
    EXPECT_EQ(WrapPlainText("ab\r\n\r\ncd", 4), (Lines{"ab", "", "cd"}));
    EXPECT_EQ(WrapPlainText("a b   ", 3), (Lines{"a b"}));
}

}  // namespace
}  // namespace lectorix
