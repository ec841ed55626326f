#include "formatter/book_writer.h"

#include <gtest/gtest.h>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book_pages.h"
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

// A heading with a "|" made a contents line whose Pos field was the rest of the title: the
// line counts could not be computed and the book did not open.
TEST(BuildBookStructure, ABarInAHeadingStaysInTheTextButNotInTheContentsField) {
    std::string book = BuildBookStructure("\r\nA|B\r\ntext", BookHeader{});
    EXPECT_NE(book.find("   A\xA6"
                        "B     |0|0|"),
              std::string::npos);
    EXPECT_TRUE(book.starts_with("   A|B\r\n"));
    ASSERT_TRUE(ComputeBookLineCounts(book));
    test::CheckPages(book, 16, 4);
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
            test::CheckPages(book, chars, lines);
    // Counting a counted book again changes nothing.
    std::string again = book;
    ASSERT_TRUE(ComputeBookLineCounts(again));
    EXPECT_TRUE(again == book);

    // Real texts: the poem here, the novel when the shared texts are beside the repository.
    for (const std::string& path : {test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt"),
                                    test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt")}) {
        if (path.empty()) continue;
        book = BuildBookStructure(LoadTextFile(path), BookHeader{});
        ASSERT_TRUE(ComputeBookLineCounts(book));
        test::CheckPages(book, 22, 25, false);
    }
}

}  // namespace
}  // namespace lectorix
