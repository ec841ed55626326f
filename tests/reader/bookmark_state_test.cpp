#include "reader/bookmark_state.h"

#include <gtest/gtest.h>

#include "formatter/book_writer.h"
#include "reader/reading_engine.h"
#include "support/fake_clock.h"
#include "support/recording_view.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

struct BookmarkStateTest : ::testing::Test {
    test::RecordingView view;
    test::FakeClock clock;
    ReadingEngine engine{view, clock};

    void Turn(int pages) {
        for (int i = 0; i < pages; ++i)
            engine.ActionPageNextExecute();
    }
    // What a bookmark promises to bring back, page lines included.
    auto Snapshot() const {
        const auto& p = engine.Page;
        return std::make_tuple(p.PageNumber, p.PageStart, p.TextPos, p.LettersOnPage,
                               engine.Text.LettersBefore, engine.Settings.SpeedCpm,
                               engine.Engine.SpeedBonus, engine.Memo.Lines);
    }
};

TEST_F(BookmarkStateTest, APageOfATextOrABookComesBackExactlyAfterAnotherTextWasOpened) {
    std::string raw;
    for (int c = 1; c <= 4; ++c)
        raw += "\r\n" + Cp("Глава ") + std::to_string(c) + "\r\n" + test::Story(12);
    std::string book = BuildBookStructure(raw, BookHeader{});
    ComputeBookLineCounts(book);
    // Chapters of three pages: page 7 is the first of the third chapter, 8 and 9 inside it.
    for (const auto& [text, pages] :
         {std::pair{test::Story(80), 13}, {book, 6}, {book, 7}, {book, 8}}) {
        SCOPED_TRACE(text == book ? "book, page " + std::to_string(pages + 1) : "plain text");
        engine.OpenNewText(text);
        Turn(pages);
        engine.Settings.SpeedCpm = 1350;
        engine.Engine.SpeedBonus = 40;
        engine.Engine.OverheadSum = 0.7;
        engine.Engine.OverheadSamples = 3;
        const auto before = Snapshot();
        const BookmarkRecord record =
            *ParseBookmark(FormatBookmark(BuildBookmarkRecord(engine, "/b/story.txt")));

        engine.OpenNewText(test::Story(3));
        engine.OpenNewText(text);
        RestoreBookmarkState(engine, record);
        // The stored overhead sums are read, not kept.
        EXPECT_EQ(engine.Engine.OverheadSum, 0);
        EXPECT_EQ(engine.Engine.OverheadSamples, 0);
        ShowRestoredPage(engine);
        EXPECT_EQ(Snapshot(), before);
        // And reading goes on from there.
        engine.ActionPageNextExecute();
        EXPECT_EQ(engine.Page.PageNumber, std::get<0>(before) + 1);
    }
}

// A bookmark made at another line width brought back the old layout's page number.
TEST_F(BookmarkStateTest, APageMarkedUnderAnotherLayoutGetsThisLayoutsNumber) {
    for (const std::string& text : {test::Story(120), test::StoryBook(8)}) {
        engine.Settings.CharsPerLine = 22;
        engine.OpenNewText(text);
        Turn(13);
        const BookmarkRecord record = BuildBookmarkRecord(engine, "/b/story.txt");
        engine.Settings.CharsPerLine = 40;
        engine.OpenNewText(text);
        int number = 1;  // of the page that holds the marked start at the new width
        for (; engine.Page.TextPos <= record.PageStart; ++number)
            Turn(1);
        engine.OpenNewText(text);
        RestoreBookmarkState(engine, record);
        ShowRestoredPage(engine);
        EXPECT_EQ(engine.Page.PageStart, record.PageStart);
        EXPECT_EQ(engine.Page.PageNumber, number);
        EXPECT_LT(number, 14);
    }
}

TEST_F(BookmarkStateTest, APositionTheChangedFileNoLongerReachesOpensItAtItsStart) {
    engine.OpenNewText(test::Story(80));
    Turn(20);
    const BookmarkRecord record = BuildBookmarkRecord(engine, "/b/story.txt");
    engine.OpenNewText(test::Story(4));
    RestoreBookmarkState(engine, record);
    ShowRestoredPage(engine);
    EXPECT_EQ(engine.Page.PageStart, 0);
    EXPECT_EQ(engine.Page.PageNumber, 1);
    EXPECT_FALSE(engine.Memo.Lines.empty());
}

}  // namespace
}  // namespace lectorix
