#include "formatter/book_writer.h"

#include <gtest/gtest.h>

#include "book/chapter_cursor.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(BuildBookStructure, LinesAfterBlankLinesBecomeHeadingsAndBodyLinesAreCleaned) {
    // Blanks, tabs and no-break spaces shrink to one blank; separator lines keep a fixed length.
    const std::string book =
        BuildBookStructure(Cp("\r\nГлава\r\n\r\nТекст\r\n") + "a\t \xA0 b  \r\n" +
                               std::string(20, '-') + "\r\n" + std::string(12, '_'),
                           BookHeader{});
    EXPECT_EQ(
        book.substr(0, book.find("\r\n<INFOTEXTAUTOR>||")),
        Cp("   Глава\r\n   Текст\r\n  a b\r\n  ") + std::string(16, '-') + "\r\n  " +
            std::string(15, '_') +
            Cp("\r\n<MENU>\r\n   Глава     |0|0|\r\n   Текст     |10|5|\r\n<INFOTEXTlen>|0|12|"));
}

// Reads a book page by page with the chapter cursor, as the reader does, and checks that the
// first character of every chapter is shown on the page its contents entry names.
void CheckContentsPages(std::string text, int chars, int lines) {
    SCOPED_TRACE("width " + std::to_string(chars) + ", lines " + std::to_string(lines));
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    ComputeChapterPages(book, chars, lines);
    const SourceText source(std::move(text));
    const PageLayout settings{.CharsPerLine = chars, .LinesPerPage = lines};
    BookChapterCursor cursor(book, settings.CharsPerLine, settings.LinesPerPage);
    cursor.EnterEntry(0);
    PageState st{.TextPos = book.ContentsEntries[0].Pos, .BookMode = true};
    PageMemo memo;
    int entry = 0;
    std::vector<int> differ;  // entries shown on another page than their contents line names
    while (BuildPage(st, memo, source, settings, &cursor)) {
        if (st.PageStart <= 0 || st.PageNumber < 1) st.PageNumber = 1;
        for (; entry < book.ContentsCount && book.ContentsEntries[entry].Pos < st.TextPos; ++entry)
            if (st.PageNumber != book.ContentsEntries[entry].Page) differ.push_back(entry);
    }
    EXPECT_EQ(entry, book.ContentsCount);
    EXPECT_EQ(differ, std::vector<int>{});
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
    std::string book = BuildBookStructure(raw, BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    // Every stored width; other widths borrow the counts of a stored one and cannot match.
    for (const int chars : {16, 22, 40, 80, 90})
        for (const int lines : {4, 25})
            CheckContentsPages(book, chars, lines);
    // Counting a counted book again changes nothing.
    std::string again = book;
    ASSERT_TRUE(ComputeBookLineCounts(again));
    EXPECT_TRUE(again == book);
    // The chapters of a poem as well.
    book = BuildBookStructure(LoadTextFile(test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt")),
                              BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    CheckContentsPages(book, 22, 25);
}

TEST(ComputeBookLineCounts, ALongNovelsContentsPagesMatchTheReader) {
    const std::string path = test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt");
    if (path.empty()) GTEST_SKIP() << "the shared test texts are not beside the repository";
    std::string book = BuildBookStructure(LoadTextFile(path), BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    CheckContentsPages(book, 22, 25);
}

}  // namespace
}  // namespace lectorix
