#include "book/book_trailer.h"

#include <gtest/gtest.h>

#include "book/chapter_cursor.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

// A book written by the program's own writer from lines; the first line becomes a heading
// when the text opens with an empty line.
std::string MakeBook(const std::string& raw) {
    std::string book = BuildBookStructure(raw, BookHeader{});
    EXPECT_TRUE(ComputeBookLineCounts(book));
    return book;
}

// Contents entries built by hand: Pos and the line counts of width class 3 (width 22).
BookContents Contents(const std::vector<std::pair<long long, std::int64_t>>& rows) {
    BookContents b;
    b.ContentsCount = static_cast<int>(rows.size()) - 1;
    for (size_t i = 0; i < rows.size(); ++i) {
        ContentsEntry e;
        e.Pos = rows[i].first;
        e.LineCounts.fill(rows[i].second);
        e.Title = "E" + std::to_string(i);
        b.ContentsEntries.push_back(e);
        if (i + 1 < rows.size()) b.Nodes.push_back({-1, 1, e.Title});
    }
    return b;
}

TEST(TagValue, TakesTheValueAndDropsALoneFinalDot) {
    EXPECT_EQ(TagValue("<INFOTEXTNAME>|War and peace.|", "<INFOTEXTNAME>"), "War and peace");
    EXPECT_EQ(TagValue("<INFOTEXTAUTOR>|L. Tolstoy.|", "<INFOTEXTAUTOR>"), "L. Tolstoy.");
    EXPECT_EQ(TagValue("<INFOTEXTNAME>||", "<INFOTEXTNAME>"), "");
    EXPECT_EQ(TagValue("<INFOTEXTNAME>|", "<INFOTEXTNAME>"), "");
    EXPECT_EQ(TagValue("<INFOTEXTGENRE>|x|", "<INFOTEXTNAME>"), "");
}

TEST(ParseBookTrailer, ReadsWhatTheWriterWrote) {
    std::string text = MakeBook(Cp("\r\nA\r\nbb"));
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    // The body '   A' CR LF '  bb' is 10 characters: the totals row stands at 12 with 3 letters.
    EXPECT_EQ(text, "   A\r\n  bb");
    ASSERT_EQ(book.ContentsCount, 1);
    EXPECT_EQ(book.ContentsEntries[1].Pos, 12);
    EXPECT_EQ(book.ContentsEntries[1].Letters, 3);
    EXPECT_EQ(book.ContentsEntries[0].Pos, 0);
    EXPECT_EQ(book.Nodes[0].Text, "A");
    EXPECT_EQ(book.Nodes[0].Level, 2);
    EXPECT_TRUE(book.BookTrailer.starts_with("\r\n<MENU>\r\n"));
}

TEST(ParseBookTrailer, BlankLinesAfterTheEndMarkAreRemoved) {
    std::string text = MakeBook("\r\nA\r\nbb") + "\r\n  \r\n\r\n";
    BookContents book;
    EXPECT_TRUE(ParseBookTrailer(text, book));
    EXPECT_FALSE(book.BookTrailer.ends_with("\r\n"));

    std::string plain = "just text\r\n\r\n   \r\n";
    EXPECT_FALSE(ParseBookTrailer(plain, book));
    EXPECT_EQ(plain, "just text");
}

TEST(ParseBookTrailer, HeaderLinesStandInAnyOrderAndTheLowestWins) {
    std::string text = "   A\r\n<MENU>\r\n   A     |0|0|" +
                       [] {
                           std::string f;
                           for (int i = 0; i < 38; ++i)
                               f += "0|";
                           return f;
                       }() +
                       "\r\n<INFOTEXTlen>|6|1|" +
                       [] {
                           std::string f;
                           for (int i = 0; i < 38; ++i)
                               f += "1|";
                           return f;
                       }() +
                       "\r\n<INFOTEXTGENRE>|first|\r\n<INFOTEXTNAME>|Title.|\r\n<INFOTEXTGENRE>|"
                       "second|\r\n<INFOTEXTEND>";
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    EXPECT_EQ(book.Header.BookGenre, "second");
    EXPECT_EQ(book.Header.BookTitle, "Title");
    EXPECT_EQ(book.Header.BookAuthor, "");
}

TEST(ParseBookTrailer, TreeLevelsComeFromTheLeadingBlanks) {
    std::string counts;
    for (int i = 0; i < 38; ++i)
        counts += "0|";
    std::string text = "x\r\n<MENU>\r\n";
    const char* titles[] = {"Part", "   Chapter", "     Section", "       Note", "   Chapter 2"};
    for (const char* t : titles)
        text += std::string(t) + "|0|0|" + counts + "\r\n";
    text += "<INFOTEXTlen>|3|1|" + counts + "\r\n<INFOTEXTEND>";
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    ASSERT_EQ(book.Nodes.size(), 5u);
    EXPECT_EQ(book.Nodes[0].Level, 1);
    EXPECT_EQ(book.Nodes[1].Parent, 0);
    EXPECT_EQ(book.Nodes[2].Parent, 1);
    EXPECT_EQ(book.Nodes[3].Parent, 2);
    EXPECT_EQ(book.Nodes[3].Level, 4);
    EXPECT_EQ(book.Nodes[3].Text, "Note");
    EXPECT_EQ(book.Nodes[4].Parent, 0);
}

TEST(ParseBookTrailer, ADamagedTrailerIsAnErrorAndTheTextStaysAsItWas) {
    const std::string good = MakeBook("\r\nA\r\nbb\r\n\r\nC\r\ndd");
    auto damage = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    const std::vector<std::string> bad = {
        damage("   C|", "   C|x"),                         // not a number
        damage("|0|0|0|", "|0|"),                          // fields missing
        damage("<MENU>\r\n", ""),                          // no menu line
        damage("<INFOTEXTlen>", "<LEN>"),                  // no totals line
        damage("   C|12|", "   C|-5|"),                    // before the previous chapter
        damage("<INFOTEXTlen>|", "<INFOTEXTlen>|999999"),  // past the end of the text
        damage("   C|12|", "   C|99999|"),                 // past the totals
    };
    for (const std::string& text : bad) {
        std::string copy = text;
        BookContents book;
        EXPECT_THROW(ParseBookTrailer(copy, book), UserError) << text;
        EXPECT_EQ(copy, text);
    }
    std::string copy = damage("   C|", "   C|x");
    BookContents book;
    try {
        ParseBookTrailer(copy, book);
    } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find("'x12' is not a valid integer value"),
                  std::string::npos)
            << e.what();
    }
}

TEST(ComputeChapterPages, EveryChapterStartsOnANewPage) {
    // A first chapter of exactly 2 pages, then one of 2 pages and a line, then one of 3 lines.
    BookContents b = Contents({{0, 0}, {100, 50}, {200, 101}, {300, 104}});
    EXPECT_EQ(ComputeChapterPages(b, 22, 25), 6);
    EXPECT_EQ(b.ContentsEntries[0].Page, 1);
    EXPECT_EQ(b.ContentsEntries[0].LastPageLines, 25);
    EXPECT_EQ(b.ContentsEntries[1].Page, 3);
    EXPECT_EQ(b.ContentsEntries[1].LastPageLines, 1);
    EXPECT_EQ(b.ContentsEntries[2].Page, 6);
    EXPECT_EQ(b.ContentsEntries[2].LastPageLines, 3);
    EXPECT_EQ(b.Nodes[1].Text, "E1" + Cp("  стр.-3-"));
}

TEST(ComputeChapterPages, AnEmptyChapterSharesThePageOfTheNextOne) {
    BookContents b = Contents({{0, 0}, {100, 30}, {100, 30}, {200, 40}});
    ComputeChapterPages(b, 22, 25);
    EXPECT_EQ(b.ContentsEntries[1].Page, 3);
    EXPECT_EQ(b.ContentsEntries[2].Page, 3);
}

TEST(ComputeChapterPages, WidthsShareTheirStoredCounts) {
    EXPECT_EQ(WidthClass(22), 3);
    EXPECT_EQ(WidthClass(23), 3);
    EXPECT_EQ(WidthClass(8), 0);  // below 16: the counts of width 16
    EXPECT_EQ(WidthClass(80), 32);
    EXPECT_EQ(WidthClass(200), 37);  // above 90: the counts of width 90
}

TEST(BookChapterCursor, TwoEntriesAtOnePosAreSkippedTogether) {
    BookContents b = Contents({{0, 0}, {100, 30}, {100, 30}, {200, 40}});
    int chars = 22, lines = 25;
    BookChapterCursor cursor(b, chars, lines);
    cursor.EnterEntry(1);
    EXPECT_EQ(cursor.ChapterStart, 100);
    EXPECT_EQ(cursor.NextChapter, 3);
    EXPECT_EQ(cursor.ChapterEnd, 200);
    cursor.EnterEntry(2);
    EXPECT_EQ(cursor.NextChapter, 3);
}

TEST(BookChapterCursor, LocateChapterFindsTheChapterOfABookmark) {
    BookContents b = Contents({{0, 0}, {100, 30}, {200, 40}, {300, 50}});
    int chars = 22, lines = 25;
    BookChapterCursor cursor(b, chars, lines);
    PageState st;
    st.PageStart = 150;
    EXPECT_FALSE(cursor.LocateChapter(0, st));
    EXPECT_FALSE(cursor.LocateChapter(1, st));
    EXPECT_TRUE(cursor.LocateChapter(2, st));
    EXPECT_EQ(cursor.CurChapter, 2);
    EXPECT_TRUE(cursor.AtChapterStart);
}

}  // namespace
}  // namespace lectorix
