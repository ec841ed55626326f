#include "settings/bookmarks.h"

#include <gtest/gtest.h>

namespace lectorix {
namespace {

// Every field of its own value, so a field written or read in another's place shows; the time
// left needs all 17 digits to come back.
// clang-format off
const BookmarkRecord kSample{
    .Caption = "Страница 12", .BookName = "book.txt", .FilePath = "/home/reader/book.txt",
    .LettersBefore = 5230, .TextTime = 0.00312, .TimeLeft = 0.1 + 0.2, .PageStartTime = 1.2e-5,
    .PageSpeed = 1180, .TextSpeed = 1165, .LettersOnPage = 470, .PageNumber = 12, .PagesLeft = 63,
    .TotalLetters = 35000, .SpeedCpm = 1000, .LettersToRead = 29770, .TextPos = 6102,
    .PageStart = 5598, .PageDelayTicks = 3, .OverheadSum = 0.35, .SpeedBonus = 12,
    .OverheadSamples = 4};
// clang-format on

std::string Line(const std::string& caption, const std::string& book) {
    BookmarkRecord r = kSample;
    r.Caption = caption;
    r.BookName = book;
    return FormatBookmark(r);
}

TEST(BookmarkRecord, WritesTheStoredLayoutAndReadsItBackExactly) {
    EXPECT_EQ(
        FormatBookmark(kSample),
        "Страница 12|book.txt|/home/reader/book.txt|-100|5230|0.00312|0.30000000000000004|1.2E-5|"
        "1180|1165|470|12|63|35000|1000|29770|6102|5598|3|0|0|0.35|12|0.005|0.025|4|");
    EXPECT_EQ(ParseBookmark(FormatBookmark(kSample)), kSample);
    // Lines written by older copies: fifteen digits and a two-digit exponent read as well.
    const auto old = ParseBookmark(
        "Страница "
        "1|a.txt|/a.txt|-100|0|0.00312|0.3|1.2E-05|0|0|0|1|0|0|900|0|0|0|0|0|0|0|0|0.005|0.025|0|");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->PageStartTime, 1.2e-5);
    EXPECT_EQ(BookmarkFloat(0), "0");
    EXPECT_EQ(BookmarkFloat(1e20), "1E20");
}

TEST(BookmarkRecord, LinesThatDoNotReadAreRefusedNotGuessed) {
    const std::string good = FormatBookmark(kSample);
    EXPECT_FALSE(ParseBookmark(""));
    EXPECT_FALSE(ParseBookmark(good.substr(0, good.rfind('|', good.size() - 2) + 1)));  // 25 fields
    for (const std::string bad : {"x", "", "12a", "1.5", "99999999999999999999"}) {
        std::string line = good;
        line.replace(line.find("|5230|") + 1, 4, bad);  // LettersBefore
        EXPECT_FALSE(ParseBookmark(line)) << bad;
    }
    for (const std::string bad : {"abc", "nan", "inf", "+1", ""}) {  // TextTime
        std::string line = good;
        line.replace(line.find("0.00312"), 7, bad);
        EXPECT_FALSE(ParseBookmark(line)) << bad;
    }
}

TEST(BookmarkBookName, BookModeNamesAuthorAndTitleElseTheFile) {
    EXPECT_EQ(BookmarkBookName(true, "Толстой", "Анна Каренина", "/b/anna.lxb"),
              "Толстой. Анна Каренина.");
    EXPECT_EQ(BookmarkBookName(true, "", "", "/b/anna.lxb"), ". .");
    EXPECT_EQ(BookmarkBookName(false, "Толстой", "x", "/home/r/Книги/anna.txt"), "anna.txt");
}

TEST(AddBookmarkLine, KeepsOneLinePerPageNewestFirstWithinTwentyBooksOfTwenty) {
    std::vector<std::string> list;
    // The same page twice keeps one line, at the top.
    AddBookmarkLine(list, Line("Страница 5", "a.txt"));
    AddBookmarkLine(list, Line("Страница 6", "a.txt"));
    AddBookmarkLine(list, Line("Страница 5", "a.txt"));
    EXPECT_EQ(list,
              (std::vector<std::string>{Line("Страница 5", "a.txt"), Line("Страница 6", "a.txt")}));
    // The same page of another file of the same name replaces it too: they share their slots.
    BookmarkRecord other = *ParseBookmark(Line("Страница 5", "a.txt"));
    other.FilePath = "/elsewhere/a.txt";
    AddBookmarkLine(list, FormatBookmark(other));
    EXPECT_EQ(list, (std::vector<std::string>{FormatBookmark(other), Line("Страница 6", "a.txt")}));

    // The 21st bookmark of a book removes its oldest.
    list.clear();
    for (int p = 1; p <= 21; ++p)
        AddBookmarkLine(list, Line("Страница " + std::to_string(p), "a.txt"));
    ASSERT_EQ(list.size(), 20u);
    EXPECT_EQ(list.front(), Line("Страница 21", "a.txt"));
    EXPECT_EQ(list.back(), Line("Страница 2", "a.txt"));

    // A 21st book loses all its lines, and the scan still examines the line after them: here a
    // 21st bookmark of book 0 that must go as well.
    list.clear();
    for (int p = 1; p <= 20; ++p)
        list.push_back(Line("Страница " + std::to_string(p), "book0"));
    for (int b = 1; b <= 19; ++b)
        list.insert(list.begin() + b, Line("Страница 1", "book" + std::to_string(b)));
    list.insert(list.begin() + 20, Line("Страница 1", "extra"));
    list.insert(list.begin() + 21, Line("Страница 2", "extra"));
    list.push_back(Line("Страница 21", "book0"));
    AddBookmarkLine(list, Line("Страница 9", "book0"));  // moves to the top
    EXPECT_EQ(list.front(), Line("Страница 9", "book0"));
    const auto menu = BookmarkMenu(list);
    ASSERT_EQ(menu.size(), 20u);
    EXPECT_EQ(menu[0].Items.size(), 20u);
    for (const auto& book : menu)
        EXPECT_NE(book.BookName, "extra");
}

TEST(BookmarkMenu, GroupsByBookNameInFirstSeenOrderAndDropsDeadOrDamagedLines) {
    // Two files of one name share a submenu (and its slots).
    BookmarkRecord other = kSample;
    other.FilePath = "/elsewhere/book.txt";
    other.Caption = "Страница 3";
    std::vector<std::string> list = {Line("Страница 7", "b.txt"), FormatBookmark(other),
                                     "damaged|line|", Line("Страница 12", "book.txt")};
    const auto menu = BookmarkMenu(list);
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].BookName, "b.txt");
    EXPECT_EQ(menu[1].BookName, "book.txt");
    ASSERT_EQ(menu[1].Items.size(), 2u);
    EXPECT_EQ(menu[1].Items[0].Caption, "Страница 3");
    EXPECT_EQ(menu[1].Items[1].Index, 3);

    EXPECT_TRUE(
        DropDeadBookmarks(list, [](const std::string& p) { return p != "/elsewhere/book.txt"; }));
    EXPECT_EQ(list, (std::vector<std::string>{Line("Страница 7", "b.txt"),
                                              Line("Страница 12", "book.txt")}));
    EXPECT_FALSE(DropDeadBookmarks(list, [](const std::string&) { return true; }));
}

}  // namespace
}  // namespace lectorix
