#include "formatter/format_operations.h"

#include <gtest/gtest.h>

#include "book/text_helpers.h"
#include "book_pages.h"
#include "formatter/book_writer.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(FormatOperations, LineOperationsLeaveTheFirstLineAndMatchTheIndentTheyAreTold) {
    Lines lines{"a", "b", "  c", "d"};
    JoinWrappedLines(lines);
    EXPECT_EQ(lines, (Lines{"a b", "  c d"}));

    const Lines indented{"x", "  x", "   x", " x", "x"};
    auto separated = [&](SeparatorRule rule) {
        Lines l = indented;
        InsertSeparators(l, rule);
        return l;
    };
    EXPECT_EQ(separated({2, false, true}), (Lines{"x", "", "  x", "   x", " x", "x"}));
    EXPECT_EQ(separated({2, true, false}), (Lines{"x", "  x", "", "   x", " x", "x"}));
    // Neither box: one blank fewer than asked.
    EXPECT_EQ(separated({2, false, false}), (Lines{"x", "  x", "   x", "", " x", "x"}));

    lines = {"", "a", "", "", "b"};
    DeleteEmptyLines(lines);
    EXPECT_EQ(lines, (Lines{"", "a", "b"}));  // the first line stays: it makes a heading

    lines = {Cp("Глава"), Cp("Глава"), "end.", "(1)", "  note 2  ", "", std::string(300, 'x')};
    IndentUnpunctuatedLines(lines);
    EXPECT_EQ(lines, (Lines{Cp("Глава"), Cp("     Глава"), "end.", "     (1)", "       note 2", "",
                            std::string(300, 'x')}));

    EXPECT_EQ(AddBlanksAfterBreaks("a\r\n b\r\nc\r\n  d", 2), "a\r\n   b\r\nc\r\n    d");
    // Lines with more blanks than the buckets hold are counted, in a bucket of their own.
    EXPECT_EQ(LeadingBlanksReport(
                  {"", "a", "  a", "   ", std::string(101, ' ') + "a", std::string(150, ' ')}),
              "| 0=2 | 2=1 | 3=1 | >100=2 ");
}

TEST(FormatOperations, QuestionsPointAtTheUnchangedTextAndStopKeepsWhatWasDecided) {
    Lines lines{"keep x", "drop x", "x x", "none", "x again"};
    std::vector<TextPoint> asked;
    std::vector<Decision> answers{Decision::No, Decision::Yes, Decision::Yes, Decision::Stop};
    auto ask = [&](TextPoint at, size_t) {
        asked.push_back(at);
        return answers[asked.size() - 1];
    };
    EXPECT_EQ(DeleteLinesContaining(lines, "x", ask), 2u);
    EXPECT_EQ(lines, (Lines{"keep x", "none", "x again"}));
    EXPECT_EQ(asked, (std::vector<TextPoint>{{0, 0}, {1, 0}, {2, 0}, {4, 0}}));
    EXPECT_EQ(DeleteLinesContaining(lines, "", ask), 0u);  // an empty text matches every line

    // Without questions every occurrence goes; a replacement ending in a line break opens a line.
    lines = {"a X X", "b"};
    EXPECT_EQ(ReplaceInLines(lines, "X", "YX\r\n", nullptr), 2u);
    EXPECT_EQ(lines, (Lines{"a YX", " YX", "", "b"}));
    lines = {"  X  X", "X"};
    asked.clear();
    answers = {Decision::Yes, Decision::No};
    EXPECT_EQ(ReplaceInLines(lines, "X", "\"X", ask), 1u);
    EXPECT_EQ(lines, (Lines{"  \"X  X", "X"}));  // only the line's first occurrence is offered
    EXPECT_EQ(asked, (std::vector<TextPoint>{{0, 2}, {1, 0}}));

    // "Найти" looks in the lines starting at or after the caret, so the next press goes on.
    const Lines text{"ab ab", "ab", "cab"};
    EXPECT_EQ(FindFromCaret(text, {0, 0}, "ab"), (TextPoint{0, 0}));
    EXPECT_EQ(FindFromCaret(text, {0, 2}, "ab"), (TextPoint{1, 0}));
    EXPECT_EQ(FindFromCaret(text, {1, 2}, "ab"), (TextPoint{2, 1}));
    EXPECT_EQ(FindFromCaret(text, {2, 1}, "ab"), std::nullopt);
    // Offsets count CR LF as two; one inside a line break stands at the end of its line.
    EXPECT_EQ(PointOfOffset(text, 6), (TextPoint{0, 5}));
    EXPECT_EQ(PointOfOffset(text, 7), (TextPoint{1, 0}));
    EXPECT_EQ(OffsetOfPoint(text, {2, 1}), 12);
}

// The withdrawn heading lost a blank, and the entries after it kept their old positions: the
// reader then started each of them one character late.
TEST(FormatOperations, AWithdrawnEntryLeavesEveryOtherPositionRight) {
    const std::string raw =
        Cp("\r\nГлава 1\r\nтекст\r\n\r\nГлава 2\r\nтекст\r\n\r\nГлава 3\r\nконец");
    const std::string book = BuildBookStructure(raw, BookHeader{});
    Lines text = SplitLines(book.substr(0, book.find("<MENU>") - 2));
    Lines trailer = SplitLines(TrailerOf(book));
    ASSERT_EQ(trailer[2], Cp("   Глава 2     |21|11|"));
    // Not an entry: nothing changes.
    EXPECT_FALSE(WithdrawContentsEntry(text, trailer, 0, {}).Removed);
    EXPECT_EQ(trailer.size(), 15u);

    const Withdrawal w = WithdrawContentsEntry(text, trailer, 2, {});
    EXPECT_TRUE(w.Removed);
    EXPECT_EQ(w.Title, Cp("   Глава 2"));
    EXPECT_EQ(w.Heading, (TextPoint{2, 0}));
    EXPECT_EQ(text[2], Cp("  Глава 2"));
    EXPECT_EQ(trailer[1], Cp("   Глава 1     |0|0|"));
    EXPECT_EQ(trailer[2], Cp("   Глава 3     |41|22|"));
    std::string rebuilt = JoinLines(text) + "\r\n" + JoinLines(trailer);
    ASSERT_TRUE(ComputeBookLineCounts(rebuilt));
    test::CheckPages(rebuilt, 16, 2);
    EXPECT_FALSE(TrailerLacksLineCounts(rebuilt));
    EXPECT_TRUE(TrailerLacksLineCounts(book));

    // A heading edited since is looked for from the caret, and only at a line's start.
    text = {"x   A", "  b", "   A", "  c"};
    trailer = {"<MENU>", "   A     |999|0|", "   C     |20|5|", "<INFOTEXTlen>|0|7|"};
    EXPECT_EQ(WithdrawContentsEntry(text, trailer, 1, {}).Heading, (TextPoint{2, 0}));
    EXPECT_EQ(text, (Lines{"x   A", "  b", "  A", "  c"}));
    EXPECT_EQ(trailer, (Lines{"<MENU>", "   C     |19|5|", "<INFOTEXTlen>|0|7|"}));
}

TEST(FormatOperations, SavedNamesAndBytes) {
    EXPECT_EQ(BookFileName("/книги/Книга.TXT"), "/книги/Книга.lxb");
    EXPECT_EQ(BookFileName("/a.txt/b.Rtf"), "/a.txt/b.lxb");  // the folder is no file name
    EXPECT_EQ(BookFileName("/a/b.lxb"), "/a/b.lxb");
    EXPECT_EQ(BookFileName("/a/b.rar"), "/a/b.rar.lxb");
    EXPECT_EQ(BookFileName(""), "Книга.lxb");
    EXPECT_EQ(AuthorTitleFileName("/a/b.txt", "Лев Толстой", "Анна/Каренина"),
              "/a/Лев Толстой. Анна_Каренина.lxb");
    EXPECT_EQ(AuthorTitleFileName("", "", " "), "Книга.lxb");
    // Every line ends with CR LF, the last one too, as a saved memo.
    EXPECT_EQ(MemoFileBytes("a\r\nb"), "a\r\nb\r\n");
    EXPECT_EQ(MemoFileBytes("a\r\n"), "a\r\n");
    EXPECT_EQ(MemoFileBytes(""), "");
}

}  // namespace
}  // namespace lectorix
