#include "formatter/book_writer.h"

#include <gtest/gtest.h>

#include "book/book_trailer.h"
#include "book/chapter_cursor.h"
#include "book/page_builder.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(BuildBookStructure, LinesAfterBlankLinesBecomeHeadings) {
    const std::string book = BuildBookStructure(Cp("\r\nГлава\r\n\r\nТекст"), BookHeader{});
    const auto lines = SplitLines(book);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], Cp("   Глава"));
    EXPECT_EQ(lines[1], Cp("   Текст"));
    EXPECT_EQ(lines[2], "<MENU>");
    EXPECT_EQ(lines[3], Cp("   Глава     |0|0|"));
    EXPECT_EQ(lines[4], Cp("   Текст     |10|5|"));
    EXPECT_EQ(lines[5], "<INFOTEXTlen>|0|10|");
    EXPECT_EQ(lines.back(), "<INFOTEXTEND>");
}

TEST(BuildBookStructure, BodyLinesAreCleanedAndSeparatorsKeepAFixedLength) {
    BookHeader h;
    h.BookTitle = "T";
    const auto lines = SplitLines(BuildBookStructure(
        "a\t \xA0 b  \r\n" + std::string(20, '-') + "\r\n" + std::string(12, '_'), h));
    EXPECT_EQ(lines[0], "  a b");
    EXPECT_EQ(lines[1], "  " + std::string(16, '-'));
    EXPECT_EQ(lines[2], "  " + std::string(15, '_'));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "<INFOTEXTNAME>|T|"), lines.end());
}

TEST(ComputeBookLineCounts, RunningItTwiceGivesTheSameTrailer) {
    std::string book = BuildBookStructure(
        test::DataFile("texts/chekhov_khameleon.cp1251.txt").insert(0, "\r\n"), BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    const std::string once = book;
    ASSERT_TRUE(ComputeBookLineCounts(book));
    EXPECT_TRUE(book == once);
    std::string plain = "no trailer";
    EXPECT_FALSE(ComputeBookLineCounts(plain));
}

TEST(ComputeBookLineCounts, LineCountsNeverDecrease) {
    std::string raw = LoadTextFile(test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt"));
    std::string book = BuildBookStructure(raw, BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    BookContents contents;
    ASSERT_TRUE(ParseBookTrailer(book, contents));
    ASSERT_GT(contents.ContentsCount, 10);
    for (int i = 1; i <= contents.ContentsCount; ++i) {
        for (int k = 0; k < kLineCountWidths; ++k)
            ASSERT_GE(contents.ContentsEntries[i].LineCounts[k],
                      contents.ContentsEntries[i - 1].LineCounts[k]);
    }
}

// Reads a book page by page with the chapter cursor and returns the page each chapter's first
// character is shown on.
std::vector<int> ShownPages(const std::string& bookText, int chars, int lines, BookContents& book) {
    std::string text = bookText;
    EXPECT_TRUE(ParseBookTrailer(text, book));
    ComputeChapterPages(book, chars, lines);
    const SourceText source(text);
    UserSettings settings;
    settings.CharsPerLine = chars;
    settings.LinesPerPage = lines;
    BookChapterCursor cursor(book, settings.CharsPerLine, settings.LinesPerPage);
    PageState st;
    st.BookMode = true;
    cursor.EnterEntry(0);
    st.TextPos = book.ContentsEntries[0].Pos;
    PageMemo memo;
    std::vector<int> shown(static_cast<size_t>(book.ContentsCount), 0);
    size_t next = 0;
    while (BuildPage(st, memo, source, settings, &cursor)) {
        if (st.PageStart <= 0 || st.PageNumber < 1) st.PageNumber = 1;
        while (next < shown.size() && book.ContentsEntries[next].Pos < st.TextPos) {
            shown[next] = st.PageNumber;
            ++next;
        }
    }
    return shown;
}

TEST(ComputeBookLineCounts, EveryContentsPageIsThePageTheReaderShows) {
    // Chapters whose last line ends just before the line break that closes them, the case
    // where a chapter wrapped without that break came out one line short.
    std::string raw;
    for (int c = 0; c < 30; ++c) {
        raw += "\r\n" + Cp("Глава ") + std::to_string(c) + "\r\n";
        for (int p = 0; p < c % 7 + 1; ++p)
            raw += Cp("Слова и ещё слова, они идут одно за другим без конца и края.") +
                   std::string(static_cast<size_t>(c % 5), 'x') + "\r\n";
    }
    const std::string book = BuildBookStructure(raw, BookHeader{});
    std::string counted = book;
    ASSERT_TRUE(ComputeBookLineCounts(counted));
    // Every stored width; other widths borrow the counts of a stored one and cannot match.
    for (const int chars : {16, 22, 40, 80, 90}) {
        for (const int lines : {4, 25}) {
            BookContents contents;
            const auto shown = ShownPages(counted, chars, lines, contents);
            for (int i = 0; i < contents.ContentsCount; ++i)
                EXPECT_EQ(shown[static_cast<size_t>(i)], contents.ContentsEntries[i].Page)
                    << "entry " << i << ", width " << chars << ", lines " << lines;
        }
    }
}

TEST(ComputeBookLineCounts, ALongNovelsContentsPagesMatchTheReader) {
    const std::string path = test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt");
    if (path.empty()) GTEST_SKIP() << "the shared test texts are not beside the repository";
    std::string book = BuildBookStructure(LoadTextFile(path), BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    BookContents contents;
    const auto shown = ShownPages(book, 22, 25, contents);
    int differ = 0;
    for (int i = 0; i < contents.ContentsCount; ++i)
        differ += shown[static_cast<size_t>(i)] != contents.ContentsEntries[i].Page;
    EXPECT_EQ(differ, 0);
}

}  // namespace
}  // namespace lectorix
