#include "book/book_trailer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <tuple>

#include "book/chapter_cursor.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

// A contents line made by hand: the title, Pos, no letters and one line count for every width.
std::string Entry(const std::string& title, int pos, int lines = 0) {
    std::string entry = title + "|" + std::to_string(pos) + "|0|";
    for (int k = 0; k < kLineCountWidths; ++k)
        entry += std::to_string(lines) + "|";
    return entry + "\r\n";
}

TEST(ParseBookTrailer, ReadsTheBodyTheContentsTreeAndTheHeader) {
    // Blank lines after the end mark go. The body '   A' CR LF '  bb' is 10 characters: the
    // totals row stands at 12 with 3 letters.
    std::string text = BuildBookStructure(Cp("\r\nA\r\nbb"), BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(text));
    text += "\r\n  \r\n\r\n";
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    EXPECT_EQ(text, "   A\r\n  bb");
    ASSERT_EQ(book.ContentsCount, 1);
    EXPECT_EQ(book.ContentsEntries[1].Pos, 12);
    EXPECT_EQ(book.ContentsEntries[1].Letters, 3);
    EXPECT_EQ(std::pair(book.Title(0), book.Nodes[0].Level), std::pair(std::string_view("A"), 2));
    EXPECT_TRUE(book.BookTrailer.starts_with("\r\n<MENU>\r\n"));
    EXPECT_TRUE(book.BookTrailer.ends_with("<INFOTEXTEND>"));
    // A text without the end mark is no book, but loses its blank lines at the end as well.
    std::string plain = "just text\r\n\r\n   \r\n";
    EXPECT_FALSE(ParseBookTrailer(plain, book));
    EXPECT_EQ(plain, "just text");

    // Leading blanks make the contents tree; header lines stand in any order, the lowest wins.
    text = "x\r\n<MENU>\r\n";
    for (const char* title :
         {"Volume", "   Chapter", "     Section", "       Note", "   Chapter 2"})
        text += Entry(title, 0);
    text += Entry("<INFOTEXTlen>", 3) +
            "<INFOTEXTGENRE>|first|\r\n<INFOTEXTNAME>|War and peace.|\r\n<INFOTEXTID>\r\n"
            "<INFOTEXTAUTOR>|L. Tolstoy.|\r\n<INFOTEXTGENRE>|second|\r\n<INFOTEXTEND>";
    ASSERT_TRUE(ParseBookTrailer(text, book));
    EXPECT_EQ(text, "x");
    ASSERT_EQ(book.Nodes.size(), 5u);
    const std::pair<int, int> levelAndParent[] = {{1, -1}, {2, 0}, {3, 1}, {4, 2}, {2, 0}};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(std::pair(book.Nodes[i].Level, book.Nodes[i].Parent), levelAndParent[i]) << i;
    EXPECT_EQ(book.Title(3), "Note");
    EXPECT_EQ(book.Header.BookGenre, "second");
    // A final dot goes when it is the value's only one; a tag without a value gives nothing.
    EXPECT_EQ(book.Header.BookTitle, "War and peace");
    EXPECT_EQ(book.Header.BookAuthor, "L. Tolstoy.");
    EXPECT_EQ(book.Header.BookId, "");
}

TEST(DropRewritableTrailer, OnlyATrailerWrittenAgainByteForByteIsLetGo) {
    // The program's own books: the body's totals, every level, a header and a warning line.
    BookHeader header;
    header.BookAuthor = "Tolstoy";
    header.BookTitle = Cp("Война и мир");
    std::string own =
        BuildBookStructure(Cp("\r\nЧасть\r\nтекст\r\n\r\nГлава\r\nещё|текст\r\n"), header);
    ASSERT_TRUE(ComputeBookLineCounts(own));
    const auto kept = [](std::string text) {
        BookContents book;
        EXPECT_TRUE(ParseBookTrailer(text, book));
        const std::string trailer = book.BookTrailer;
        DropRewritableTrailer(book);
        EXPECT_EQ(TrailerOf(book), trailer);
        return !book.TrailerDropped;
    };
    EXPECT_FALSE(kept(own));
    const size_t end = own.rfind("<INFOTEXTEND>");
    std::string warned = own;
    warned.insert(end, "<INFOTEXTWARNING>|" + Cp("Книга обрывается") + "|\r\n");
    EXPECT_FALSE(kept(warned));

    std::string levels = "x\r\n<MENU>\r\n";
    for (const char* title : {"Volume", "   Chapter", "     Section", "       Note", "  Two"})
        levels += Entry(title, 0);
    levels += Entry("<INFOTEXTlen>", 3);
    for (auto [tag, value] : HeaderTags(header))
        levels += std::string(tag) + "|" + *value + "|\r\n";
    EXPECT_FALSE(kept(levels + "<INFOTEXTEND>"));

    // What a hand-made book may hold that the contents do not: all of it stays as it was.
    const std::pair<std::string, std::string> odd[] = {
        {"   Chapter|", "    Chapter|"},   // four blanks for a second level
        {"   Chapter|", "   Chapter  |"},  // blanks after a title
        {"Volume|0|0|", "Volume|+0| 0|"},  // a sign, a blank
        {Entry("Volume", 0), Entry("Volume", 0).insert(Entry("Volume", 0).size() - 2, "x|")},
        {"<INFOTEXTAUTOR>|Tolstoy|", "<INFOTEXTAUTOR>|Tolstoy.|"},  // its only dot
        {"<INFOTEXTGENRE>||\r\n", ""},                              // a header line missing
        {"<INFOTEXTEND>", "comment\r\n<INFOTEXTEND>"},              // a line of its own
        {"<INFOTEXTEND>", "<INFOTEXTEND> the end"},
    };
    for (const auto& [from, to] : odd) {
        std::string text = levels + "<INFOTEXTEND>";
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        EXPECT_TRUE(kept(text)) << to;
    }
}

TEST(BookContents, TitlesReadTheSameAsTheirHeadingsAreReadInTheBody) {
    // "Two" stands in the body after its level's blanks, "Intro" at its chapter's very start;
    // the title of the chapter at 16 is not its heading, so it stays a copy.
    std::string text = "Intro\r\n   Two\r\nno heading here\r\n<MENU>\r\n";
    text += Entry("Intro", 0) + Entry("   Two", 7) + Entry("   Other", 16) +
            Entry("<INFOTEXTlen>", 35) + "<INFOTEXTEND>";
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    auto body = std::make_shared<const std::string>(text);
    std::optional<BookContents> copy;
    {
        BookContents shared = book;
        shared.ShareTitlesWithBody(body);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(shared.ContentsEntries[i].TitleInBody, i < 2) << i;
        EXPECT_EQ(shared.TitlesCapacity(), std::string_view("Other<INFOTEXTlen>").size());
        copy = shared;
        // Another body: what no longer reads the same there is copied back into the titles.
        shared.ShareTitlesWithBody(std::make_shared<const std::string>("Intro, then nothing"));
        EXPECT_EQ(shared.Title(1), "Two");
        EXPECT_FALSE(shared.ContentsEntries[1].TitleInBody);
    }
    body.reset();  // the copy holds the body it reads
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(copy->Title(i), book.Title(i)) << i;
    EXPECT_EQ(copy->Title(2), "Other");
    EXPECT_EQ(ContentsNodeText(*copy, 1), "Two" + Cp("  стр.-0-"));
    EXPECT_EQ(copy->Title(99), "");

    // Every heading found: the titles keep only the totals row's, in no room of their own.
    std::string one =
        "Intro\r\n<MENU>\r\n" + Entry("Intro", 0) + Entry("<INFOTEXTlen>", 7) + "<INFOTEXTEND>";
    ASSERT_TRUE(ParseBookTrailer(one, book));
    book.ShareTitlesWithBody(std::make_shared<const std::string>(one));
    EXPECT_EQ(book.TitlesCapacity(), std::string().capacity());
}

TEST(ParseBookTrailer, ADamagedTrailerIsAnErrorAndTheTextStaysAsItWas) {
    std::string good = BuildBookStructure("\r\nA\r\nbb\r\n\r\nC\r\ndd", BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(good));
    const std::string cLine = "   C|12|3|";  // then 38 line counts of 2
    ASSERT_NE(good.find(cLine + "2|2|"), std::string::npos);
    const std::string kMin = "-9223372036854775808", kMax = "9223372036854775807";
    const std::tuple<std::string, std::string, std::string> damages[] = {
        // In Russian, with the line and the chapter ("'12x' is not a valid integer value").
        {"   C|12|", "   C|12x|", "повреждено: в строке 7 (глава «C») «12x» — не число"},
        {"|0|0|0|", "|0|", "(глава «A») не хватает чисел"},  // fields missing
        // The missing line is named, not a line of the body that failed as a number.
        {"<MENU>\r\n", "", "нет строки \"<MENU>\""},
        {"<INFOTEXTlen>", "<LEN>", "нет строки \"<INFOTEXTlen>\""},
        {"   C|12|", "   C|-5|", "позиция -5 главы «C» за пределами текста"},
        {"   A|0|", "   A|13|", "позиция 12 главы «C» меньше позиции предыдущей"},
        {"<INFOTEXTlen>|", "<INFOTEXTlen>|999999", "за пределами текста"},
        // A chapter past the end is named by its title, not blamed on the totals row.
        {"   C|12|", "   C|99999|", "главы «C» за пределами текста"},
        {cLine, "   C|12|-1|", "число знаков -1 главы «C»"},
        {cLine, "   C|12|13|", "число знаков 13 главы «C»"},
        // Line counts that would overflow the page arithmetic, shrink or outnumber the characters.
        {cLine + "2|", cLine + kMin + "|", "при ширине 16 меньше нуля"},
        {cLine + "2|", cLine + kMax + "|", "больше числа знаков перед ней"},
        {cLine + "2|2|", cLine + "2|13|", "при ширине 18 больше числа знаков"},
        {"<INFOTEXTlen>|24|6|4|", "<INFOTEXTlen>|24|6|1|",
         "строки итогов при ширине 16 меньше, чем"},
    };
    for (const auto& [from, to, error] : damages) {
        std::string text = good;
        ASSERT_NE(text.find(from), std::string::npos) << from;
        text.replace(text.find(from), from.size(), to);
        const std::string damaged = text;
        BookContents book;
        try {
            ParseBookTrailer(text, book);
            ADD_FAILURE() << "no error for " << to;
        } catch (const UserError& e) {
            EXPECT_NE(std::string(e.what()).find(error), std::string::npos) << e.what();
        }
        EXPECT_EQ(text, damaged);
    }
}

TEST(ParseBookTrailer, ABookCutOffAnywhereInItsTrailerOpensAsItsBodyWithAWarning) {
    std::string good = BuildBookStructure("\r\nA\r\nbb\r\n\r\nC\r\ndd", BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(good));
    const size_t menu = good.find("<MENU>");
    const std::string body = good.substr(0, menu - 2);
    // From the "<MENU>" line itself to the end mark without its last byte.
    for (size_t cut = menu + 6; cut < good.size(); ++cut) {
        std::string text = good.substr(0, cut);
        BookContents book;
        ASSERT_FALSE(ParseBookTrailer(text, book)) << cut;
        EXPECT_EQ(text, body) << cut;
        EXPECT_NE(book.Warning.find("Содержание книги повреждено"), std::string::npos) << cut;
        EXPECT_EQ(book.ContentsCount, 0);
    }
    // Plain texts that merely end in a line with bars, or mention the menu, stay whole.
    for (const std::string plain :
         {"a\r\nb|1|2|", "<MENU>\r\nwords\r\nmore words", "<MENU> and text\r\nx|1|"}) {
        std::string text = plain;
        BookContents book;
        EXPECT_FALSE(ParseBookTrailer(text, book));
        EXPECT_TRUE(text == plain && book.Warning.empty()) << plain;
    }
}

TEST(BookContents, LineCountsComeBackAsTheyWereSetWhateverTheirShape) {
    // Rows of every shape the steps are kept in: the same at all widths, a line less now and
    // then, small changes either way, large jumps, and the extremes of 32-bit counts.
    std::vector<std::array<std::int32_t, kLineCountWidths>> counts;
    std::array<std::int32_t, kLineCountWidths> row{};
    const auto add = [&](auto step) {
        for (int k = 0; k < kLineCountWidths; ++k)
            row[static_cast<size_t>(k)] += static_cast<std::int32_t>(step(k));
        counts.push_back(row);
    };
    add([](int) { return 0; });
    add([](int) { return 1; });
    add([](int k) { return 40 - k; });
    add([](int k) { return 900 / (16 + 2 * k); });
    add([](int k) { return k % 3 == 0 ? 7 : 12; });
    add([](int k) { return k == 20 ? 100000 : 3; });
    add([](int k) { return k % 2 ? 0 : 1; });
    counts.push_back({});
    counts.back().fill(INT32_MAX);
    counts.push_back({});
    counts.back().fill(INT32_MIN);
    for (int k = 0; k < kLineCountWidths; ++k)
        counts.back()[static_cast<size_t>(k)] = k % 2 ? INT32_MAX : INT32_MIN;
    BookContents b;
    b.ContentsEntries.resize(counts.size());
    b.SetLineCounts(counts);
    std::array<std::int32_t, kLineCountWidths> before{};
    for (size_t i = 0; i < counts.size(); ++i) {
        const auto steps = b.LineSteps(i);
        for (int k = 0; k < kLineCountWidths; ++k) {
            const auto kk = static_cast<size_t>(k);
            const std::int64_t want = std::int64_t{counts[i][kk]} - before[kk];
            ASSERT_EQ(steps[kk], want) << i << " " << k;
            ASSERT_EQ(b.LineStep(i, k), want) << i << " " << k;
        }
        EXPECT_EQ(b.LineCounts(i)[37], counts[i][37]) << i;
        before = counts[i];
    }
    // A chapter of one short line at every width takes two bytes, not 38.
    EXPECT_EQ(b.ContentsEntries[2].LineStepsAt - b.ContentsEntries[1].LineStepsAt, 1u);
}

TEST(ComputeChapterPages, EveryChapterStartsOnANewPageAndAnEmptyOneSharesTheNextOnesPage) {
    // A first chapter of exactly 2 pages, then one of 2 pages and a line, an empty one, and one
    // of 3 lines.
    std::string text = std::string(298, 'x') + "\r\n<MENU>\r\n" + Entry("E0", 0) +
                       Entry("E1", 100, 50) + Entry("E2", 200, 101) + Entry("E3", 200, 101) +
                       Entry("<INFOTEXTlen>", 300, 104) + "<INFOTEXTEND>";
    BookContents b;
    ASSERT_TRUE(ParseBookTrailer(text, b));
    EXPECT_EQ(ComputeChapterPages(b, 22, 25), 6);
    const std::pair<int, int> pageAndLastLines[] = {{1, 25}, {3, 1}, {6, 25}, {6, 3}};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(std::pair(b.ContentsEntries[i].Page, b.ContentsEntries[i].LastPageLines),
                  pageAndLastLines[i])
            << i;
    // The chapter cursor steps over the empty chapter too.
    BookChapterCursor cursor(b, 22, 25);
    cursor.EnterEntry(2);
    EXPECT_EQ(cursor.ChapterStart, 200);
    EXPECT_EQ(cursor.NextChapter, 4);
    EXPECT_EQ(cursor.ChapterEnd, 300);
    cursor.EnterEntry(3);
    EXPECT_EQ(cursor.NextChapter, 4);
    // Widths share the counts of their class; outside 16..90 the nearest stored one serves.
    for (const auto& [width, k] : {std::pair(22, 3), {23, 3}, {8, 0}, {80, 32}, {200, 37}})
        EXPECT_EQ(WidthClass(width), k) << width;

    // Counts no trailer may hold (the reader refuses them) still give pages without overflow.
    std::vector<std::array<std::int32_t, kLineCountWidths>> counts(5);
    counts[1].fill(50);
    counts[2].fill(INT32_MAX);
    counts[3].fill(INT32_MIN);
    counts[4].fill(INT32_MAX);
    b.SetLineCounts(counts);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(b.LineCounts(i)[7], counts[i][7]) << i;
    EXPECT_EQ(ComputeChapterPages(b, 22, 1), INT_MAX - 1);
    EXPECT_EQ(b.ContentsEntries[1].Page, 51);
    EXPECT_EQ(b.ContentsEntries[3].Page, INT_MAX);
}

}  // namespace
}  // namespace lectorix
