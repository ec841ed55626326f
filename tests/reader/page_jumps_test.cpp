// Pages reached by number, by the first-page key and by a search agree with turning the pages
// one by one; the search goes on from the page on screen.
#include "reader/page_jumps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "book/chapter_cursor.h"
#include "reader/reading_engine.h"
#include "support/fake_clock.h"
#include "support/recording_view.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

// Chapters of three pages at the default layout.
struct Reader {
    test::RecordingView view;
    test::FakeClock clock;
    ReadingEngine engine{view, clock};

    explicit Reader(const std::string& text) { engine.OpenNewText(text); }
    void Turn(int pages) { TurnPages(engine, pages); }
    // Where the reader stands and what it has booked. (A book's chapter entered from the
    // contents starts at its heading, read into it at the line break before.)
    auto State() const {
        const auto& p = engine.Page;
        return std::make_tuple(p.PageNumber, p.TextPos, engine.Text.LettersBefore,
                               engine.Engine.TimeLeft, engine.Engine.PagesLeft, view.caption,
                               engine.Memo.Lines);
    }
};

TEST(PageJumps, APageByNumberIsThePageTheKeysReach) {
    for (const auto& [text, book] :
         {std::pair{test::Story(120), false}, {test::StoryBook(8), true}}) {
        SCOPED_TRACE(book ? "book" : "plain text");
        Reader keys(text), jumps(text);
        keys.Turn(15);
        GoToPage(jumps.engine, 16);
        EXPECT_EQ(jumps.State(), keys.State());
        // Backwards: from the start of the text, or from the chapter that holds the page.
        Reader again(text);
        again.Turn(6);
        GoToPage(jumps.engine, 7);
        EXPECT_EQ(jumps.State(), again.State());
        // Past the end: the last page. The progress rises to the whole, never back, whether the
        // pages run out before the number or not.
        std::vector<double> shares;
        GoToPage(jumps.engine, 100000, [&](double share) { shares.push_back(share); });
        EXPECT_TRUE(book ? jumps.engine.Page.PageNumber == jumps.engine.Text.TotalPages
                         : jumps.engine.Page.TextEnded);
        ASSERT_FALSE(shares.empty());
        EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()) && shares.front() >= 0.0);
        EXPECT_DOUBLE_EQ(shares.back(), 1.0);
    }
}

TEST(PageJumps, EndGoesToTheChaptersLastPageThenTheBooksAndHomeBackTheSameWay) {
    Reader r(test::StoryBook(8)), keys(test::StoryBook(8));
    r.Turn(3);  // page 4, the first of chapter 2
    GoToLastPage(r.engine);
    keys.Turn(5);
    EXPECT_EQ(r.State(), keys.State());
    std::vector<double> shares;
    GoToLastPage(r.engine, [&](double share) { shares.push_back(share); });
    EXPECT_EQ(r.engine.Page.PageNumber, 24);
    EXPECT_TRUE(!shares.empty() && std::is_sorted(shares.begin(), shares.end()));
    GoToLastPage(r.engine);  // nowhere further
    EXPECT_EQ(r.engine.Page.PageNumber, 24);
    GoToFirstPage(r.engine);
    EXPECT_EQ(r.engine.Page.PageNumber, 22);
    GoToFirstPage(r.engine);
    EXPECT_EQ(r.engine.Page.PageNumber, 1);

    // A plain text: its last page, as the keys reach it.
    Reader text(test::Story(60)), byKeys(test::Story(60));
    GoToLastPage(text.engine);
    EXPECT_TRUE(text.engine.Page.TextEnded);
    byKeys.Turn(text.engine.Page.PageNumber - 1);
    EXPECT_EQ(text.State(), byKeys.State());
}

TEST(PageJumps, EveryPageOfABookKnowsItsChapter) {
    // Read forwards, a chapter's first page starts at the line break before its heading; entered
    // from the contents, at the heading itself.
    Reader r(test::StoryBook(5));
    const BookContents& book = r.engine.Book;
    for (int page = 1; page <= r.engine.Text.TotalPages; ++page) {
        const int entry = ContentsEntryAt(book, r.engine.Page.PageStart);
        EXPECT_EQ(entry, (page - 1) / 3) << "page " << page;
        r.Turn(1);
    }
    for (int i = 0; i < book.ContentsCount; ++i) {
        r.engine.GoToContentsEntry(i);
        EXPECT_EQ(ContentsEntryAt(book, r.engine.Page.PageStart), i);
    }
    EXPECT_EQ(ContentsEntryAt(BookContents{}, 10), -1);
}

TEST(PageJumps, FindingGoesOnFromThePageOnScreen) {
    // "Лукоморье" twice on the first page, once on the tenth and once more on page 30.
    std::string text = Cp("Лукоморье и ещё раз лукоморье.\r\n") + test::Story(24) +
                       Cp("  У ЛУКОМОРЬЯ дуб\r\nзелёный.\r\n") + test::Story(60) +
                       Cp("  У лукоморья дуб\r\n") + test::Story(30);
    Reader r(text);
    TextFinder finder;
    const std::string word = Cp("лукомор");
    ASSERT_TRUE(finder.FindNext(r.engine, word));
    EXPECT_EQ(finder.Match(), 0);
    ASSERT_TRUE(finder.FindNext(r.engine, word));  // the second one, still on page 1
    EXPECT_TRUE(finder.Match() > 0 && r.engine.Page.PageNumber == 1);

    // The third, a phrase across a line break, in capitals: its page as the keys reach it.
    std::vector<double> shares;
    ASSERT_TRUE(finder.FindNext(r.engine, Cp("лукоморья   дуб зелёный"),
                                [&](double share) { shares.push_back(share); }));
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()) && shares.back() == 1.0);
    const int page = r.engine.Page.PageNumber;
    EXPECT_GT(page, 5);
    EXPECT_LE(r.engine.Page.PageStart, finder.Match());
    EXPECT_LT(finder.Match(), r.engine.Page.TextPos);
    Reader keys(text);
    keys.Turn(page - 1);
    EXPECT_EQ(r.State(), keys.State());
    EXPECT_EQ(r.engine.Page.PageStart, keys.engine.Page.PageStart);

    // Another text starts on the page on screen, so the same match is found again.
    ASSERT_TRUE(finder.FindNext(r.engine, word));
    EXPECT_EQ(r.engine.Page.PageNumber, page);
    ASSERT_TRUE(finder.FindNext(r.engine, word));
    EXPECT_GT(r.engine.Page.PageNumber, page);
    // No more: nothing moves.
    const auto last = r.State();
    EXPECT_FALSE(finder.FindNext(r.engine, word));
    EXPECT_FALSE(finder.FindNext(r.engine, Cp("нет такого")));
    EXPECT_FALSE(finder.FindNext(r.engine, "  \r\n"));
    EXPECT_EQ(r.State(), last);
}

TEST(PageJumps, FindingInABookEntersTheChapterThatHoldsTheText) {
    Reader r(test::StoryBook(6));
    TextFinder finder;
    ASSERT_TRUE(finder.FindNext(r.engine, Cp("глава 5")));
    EXPECT_EQ(r.engine.Page.PageNumber, 13);
    EXPECT_EQ(ContentsEntryAt(r.engine.Book, r.engine.Page.PageStart), 4);
    Reader keys(test::StoryBook(6));
    keys.Turn(12);
    EXPECT_EQ(r.State(), keys.State());
}

}  // namespace
}  // namespace lectorix
