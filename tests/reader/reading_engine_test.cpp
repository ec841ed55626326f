#include "reader/reading_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

#include "book/chapter_cursor.h"
#include "book/duration.h"
#include "book/text_helpers.h"
#include "formatter/book_writer.h"
#include "reader/bookmark_state.h"
#include "reader/page_jumps.h"
#include "support/fake_clock.h"
#include "support/recording_view.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

struct EngineTest : ::testing::Test {
    test::RecordingView view;
    test::FakeClock clock;
    ReadingEngine engine{view, clock};
    EngineState& e = engine.Engine;

    EngineTest() {
        // The worked example's page: 25 full lines of 22 columns with 500 letters.
        engine.Page.LettersOnPage = 500;
        engine.Settings.AutoSpeedIncrease = false;
        engine.ComputeShutterSpans();
    }
    // The page read took the planned time and `extraPerStep` ms more a pixel; recomputes from it.
    void PageTook(double extraPerStep) {
        const auto planned = RoundHalfEven(416 * e.TimerIntervalMs);
        e.PageStartTime = (static_cast<double>(planned) + 416 * extraPerStep) / 86400000.0;
        engine.RecomputeInterval();
    }
    void Tick() {  // one tick of the reading clock, exactly when the timer plans it
        clock.AdvanceMs(e.TimerIntervalMs);
        engine.QvlThreadTimer1Timer();
    }
};

TEST_F(EngineTest, TheIntervalComesFromTheSpeedThenFromTheMeasuredOverhead) {
    e.SpeedChangedByUser = true;
    engine.RecomputeInterval();
    // The worked example: the default correction of 0.965, and equal spans travel a line more.
    EXPECT_DOUBLE_EQ(view.clockInterval, 71.2);

    // The first overhead is shown but not used, the second used, then the mean from the third.
    PageTook(1.0);
    EXPECT_DOUBLE_EQ(e.TimerIntervalMs, 71.2);
    PageTook(2.0);
    EXPECT_DOUBLE_EQ(e.TimerIntervalMs, 70.1);  // 72.1 - 2.0
    PageTook(3.0);
    EXPECT_DOUBLE_EQ(e.TimerIntervalMs, 69.1);  // the third alone: 3.0
    PageTook(5.0);
    EXPECT_DOUBLE_EQ(e.TimerIntervalMs, 68.1);  // the mean of 3 and 5
    // A page that took less than planned measures nothing.
    PageTook(-1.0);
    EXPECT_EQ(e.OverheadSamples, 4);
}

TEST_F(EngineTest, SpeedButtonsAndStepPressesChangeThePaceAndAreNotMeasured) {
    // Never below 50, the bonus included.
    engine.Settings.SpeedCpm = 80;
    engine.Settings.AutoSpeedIncrease = true;
    e.SpeedBonus = 10;
    engine.ActionSpeedBeackExecute();
    EXPECT_EQ(engine.Settings.SpeedCpm + e.SpeedBonus, 50);

    // Odd presses slow the clock to a quarter; the third on a page takes 2.5 % of the session
    // speed off the bonus, once.
    engine.Session.SessionSpeed = 1000;
    e.SpeedBonus = 100;
    e.TimerIntervalMs = 50;
    e.SpeedChangedByUser = false;
    for (int press = 1; press <= 5; ++press) {
        engine.ActionStepExecute();
        EXPECT_DOUBLE_EQ(view.clockInterval, press % 2 ? 200 : 50) << press;
        EXPECT_EQ(e.SpeedBonus, press < 3 ? 100 : 75) << press;
    }
    EXPECT_TRUE(e.SpeedChangedByUser);
}

TEST_F(EngineTest, ShortAndEmptyPagesAreNeverMeasuredAndNeverDivideByZero) {
    e.TimerIntervalMs = 71.2;
    e.TextSpeed = 900;
    e.TextTime = MsToDuration(60000);
    engine.Text.LettersBefore = 5000;
    engine.Page.EmptyLinesOnPage = 10;
    PageTook(3.0);
    EXPECT_EQ(e.OverheadSamples, 0);
    engine.PageDone();
    EXPECT_EQ(e.TextSpeed, 900);

    // A page of one to three lines counts its letters as 85 % of full lines: 2 x 22 x 0.85 =
    // 37.4 letters over (25 + 1 - 23) x 16 = 48 px at 1000 a minute, less 0.965.
    engine.Page.LettersOnPage = 3;
    engine.Page.EmptyLinesOnPage = 23;
    engine.RecomputeInterval();
    EXPECT_DOUBLE_EQ(e.TimerIntervalMs, 45.8);

    engine.Page.LettersOnPage = 0;
    engine.Page.EmptyLinesOnPage = 0;
    engine.Settings.SpeedCpm = 10;
    engine.RecomputeInterval();
    EXPECT_DOUBLE_EQ(e.TimerIntervalMs, 13.5);  // as if the page had one letter
    engine.Geometry.LineHeight = 0;             // no travel
    engine.RecomputeInterval();
    EXPECT_EQ(e.TimerIntervalMs, 0);
    // The page start delay (1000 ms) waits at least one tick.
    EXPECT_EQ(engine.PageDelayTicksFor(), 1);
    e.TimerIntervalMs = 2000;
    EXPECT_EQ(engine.PageDelayTicksFor(), 1);  // 0.5 rounds to 0
}

TEST_F(EngineTest, ShutterSpansPutTheLargerBelowAndASingleShutterOpensTwoLines) {
    // {top span, bottom span, extra travel, open lines} for the shutters shown and lines open.
    const auto spans = [&](bool top, bool bottom, int open) {
        engine.Settings.ShowTopBar = top;
        engine.Settings.ShowBottomBar = bottom;
        engine.Settings.OpenLines = open;
        engine.ComputeShutterSpans();
        return std::array{e.TopSpan, e.BottomSpan, e.TravelExtra, engine.Settings.OpenLines};
    };
    EXPECT_EQ(spans(true, true, 5), (std::array{2, 3, 1, 5}));
    EXPECT_EQ(spans(false, true, 6), (std::array{1, 0, 2, 2}));
    EXPECT_EQ(spans(true, false, 6), (std::array{2, 0, 1, 2}));
}

TEST_F(EngineTest, ReadingPausesBooksThePagesAndRestartsAtTheEnd) {
    // A whole text read tick by tick on the fake clock. The count of the text opened before is
    // abandoned and never reaches the reader.
    engine.OpenNewText(std::string(5'000'000, 'x'));
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += Cp("Мороз и солнце; день чудесный! Ещё ты дремлешь, друг прелестный.\r\n");
    const std::int64_t total = CountLetters(text);
    engine.OpenNewText(text);
    while (engine.LetterCountRunning())  // the count runs on a thread of its own
        std::this_thread::yield();
    view.RunPosted();  // and is delivered as the event loop would
    // The pointer shows after fifteen moves, and hides again once the shutter moves.
    for (int i = 0; i < 15; ++i)
        engine.FormMouseMove();
    EXPECT_TRUE(view.pointerHidden);
    engine.FormMouseMove();
    engine.ActionRunExecute();

    // The delay: the shutter stands still.
    const int start = e.ShutterPos;
    ASSERT_GT(e.PageDelayTicks, 1);  // 1000 ms of ticks
    for (int i = e.PageDelayTicks; i > 0; --i)
        Tick();
    EXPECT_EQ(e.ShutterPos, start);
    EXPECT_FALSE(view.pointerHidden);
    Tick();
    EXPECT_EQ(e.ShutterPos, start + 1);
    EXPECT_TRUE(view.pointerHidden);

    // Pause keeps the elapsed page time; resuming continues it.
    clock.AdvanceMs(1000);
    engine.ActionPauseExecute();
    const double elapsed = e.PageStartTime;
    clock.AdvanceMs(60000);
    engine.ActionRunExecute();
    EXPECT_NEAR((clock.Now() - e.PageStartTime) * 86400000.0, elapsed * 86400000.0, 0.01);
    EXPECT_EQ(e.ShutterPos, start + 1);

    // The pages read are booked into the session.
    const auto& s = engine.Session;
    while (s.SessionPages < 3)
        Tick();
    const std::int64_t read = engine.Text.LettersBefore;
    EXPECT_EQ(engine.Page.PageNumber, 4);
    EXPECT_GT(s.SessionSpeed, 0);
    EXPECT_EQ(s.SessionChars, read);
    EXPECT_EQ(s.SessionSpeedPoints.substr(s.SessionSpeedPoints.size() - 2), "3|");
    // A jump is not reading: its letters are booked, the session is not, the reader idles.
    const std::int64_t letters = engine.Page.LettersOnPage;
    engine.ActionPageNextExecute();
    EXPECT_FALSE(engine.Reading());
    EXPECT_EQ(engine.Text.LettersBefore, read + letters);
    engine.ActionPageBackExecute();
    EXPECT_EQ(engine.Page.PageNumber, 4);
    EXPECT_EQ(engine.Text.LettersBefore, read);
    EXPECT_EQ(s.SessionPages, 3);

    // Read on until the text starts again.
    engine.ActionRunExecute();
    for (int tick = 0; tick < 1000000 && view.statistics == 0; ++tick)
        Tick();
    ASSERT_EQ(view.statistics, 1);
    EXPECT_EQ(engine.Page.PageStart, 0);
    EXPECT_FALSE(view.clockEnabled);
    // The text's letters were counted once, and only its own; reopening it keeps the total.
    EXPECT_EQ(engine.Page.TotalLetters, total);
    EXPECT_FALSE(engine.LetterCountRunning());
}

TEST_F(EngineTest, RemainingFiguresNeverClaimNothingIsLeftWhileLettersRemain) {
    engine.OpenNewText(test::Story(60));
    while (engine.LetterCountRunning())
        std::this_thread::yield();
    view.RunPosted();
    const auto& t = engine.Text;
    ASSERT_GT(t.LettersToRead, 3000);
    // Before any page is read the time left is the letters at the set speed, not 0:00:00.
    const auto atSetSpeed = [&](int speed) {
        return "осталось: " +
               FormatDuration(MsToDuration(RoundHalfEven(t.LettersToRead * 60000.0 / speed)));
    };
    engine.SettingsAccepted(engine.SettingsOpening());
    EXPECT_NE(view.caption.find(atSetSpeed(1000)), std::string::npos) << view.caption;

    // Turned by hand on the first pages of a text the pages left are not estimated yet: going
    // back must not turn "not estimated" into 0.
    engine.ActionPageNextExecute();
    engine.ActionPageNextExecute();
    engine.ActionPageBackExecute();
    EXPECT_EQ(engine.Page.PageNumber, 2);
    EXPECT_EQ(view.caption.find(" стр:"), std::string::npos) << view.caption;
    // What the reports show meanwhile: the letters left over the letters of a page.
    const int shown = engine.PagesLeftToShow();
    EXPECT_GE(shown, t.LettersToRead / (22 * 25));
    EXPECT_LE(shown, t.LettersToRead / engine.Page.LettersOnPage + 1);
    // A speed changed in the settings before anything was read counts at once.
    engine.Settings.SpeedCpm = 2000;
    engine.SettingsAccepted(1000);
    EXPECT_NE(view.caption.find(atSetSpeed(2000)), std::string::npos) << view.caption;

    // At speed 0 there is nothing to go by: no time at all rather than days at one a minute.
    engine.Settings.SpeedCpm = 0;
    engine.SettingsAccepted(2000);
    EXPECT_NE(view.caption.find("осталось: --:--:--"), std::string::npos) << view.caption;
    engine.ActionPageNextExecute();
    EXPECT_NE(view.caption.find("осталось: --:--:--"), std::string::npos) << view.caption;
    engine.Settings.SpeedCpm = 1000;
    engine.ActionPageNextExecute();
    EXPECT_NE(view.caption.find(atSetSpeed(1000)), std::string::npos) << view.caption;
}

TEST_F(EngineTest, ABookOpensAtItsFirstChapterAndEveryContentsEntryOnItsPage) {
    // Chapters of 30, 3 and 60 lines' worth of text at width 22.
    std::string raw;
    for (int c = 0; c < 3; ++c) {
        raw += "\r\n" + Cp("Глава ") + std::to_string(c + 1) + "\r\n";
        for (int p = 0; p < std::array{10, 1, 20}[c]; ++p)
            raw += Cp("Раз два три четыре пять шесть семь.\r\n");
    }
    std::string book = BuildBookStructure(raw, BookHeader{});
    ComputeBookLineCounts(book);
    engine.OpenNewText(book);
    ASSERT_EQ(engine.Book.ContentsCount, 3);
    const auto& entries = engine.Book.ContentsEntries;
    for (int i = 0; i < 3; ++i) {
        const std::string heading = Cp("Глава ") + std::to_string(i + 1);
        if (i > 0) engine.GoToContentsEntry(i);
        EXPECT_EQ(engine.Page.PageNumber, entries[i].Page) << i;
        EXPECT_EQ(engine.Page.PageStart, entries[i].Pos) << i;
        EXPECT_EQ(Trim(engine.Memo.Lines[0]), heading);
        if (i == 0) continue;
        // Back from a chapter's first page: the previous chapter's partial last page.
        engine.ActionPageBackExecute();
        EXPECT_EQ(engine.Page.PageNumber, entries[i].Page - 1) << i;
        EXPECT_EQ(static_cast<int>(engine.Memo.Lines.size()), entries[i - 1].LastPageLines) << i;
        engine.ActionPageNextExecute();
        EXPECT_EQ(engine.Page.PageNumber, entries[i].Page) << i;
        EXPECT_EQ(Trim(engine.Memo.Lines[0]), heading);
    }
}

// After a new line width the page on screen kept the number of the old layout ("-529-" of
// 863 pages), and the pages left and the next page followed the stale number.
TEST_F(EngineTest, ANewLayoutNumbersThePageOnScreenAsTheNewLayoutDoes) {
    for (const auto& [text, book] :
         {std::pair{test::StoryBook(8), true}, {test::Story(120), false}}) {
        SCOPED_TRACE(book ? "book" : "plain text");
        const auto open = [&text](ReadingEngine& reader, test::RecordingView& shown) {
            reader.OpenNewText(text);
            while (reader.LetterCountRunning())
                std::this_thread::yield();
            shown.RunPosted();
        };
        engine.Settings.CharsPerLine = 22;
        open(engine, view);
        for (int i = 0; i < 13; ++i)  // page 14: the second page of chapter 5
            engine.ActionPageNextExecute();
        const int speed = engine.SettingsOpening();
        engine.Settings.CharsPerLine = 40;
        engine.SettingsAccepted(speed);

        // The same text opened at the new width and paged to the page that holds this one.
        test::RecordingView freshView;
        ReadingEngine fresh{freshView, clock};
        fresh.Settings = engine.Settings;
        open(fresh, freshView);
        while (fresh.Page.TextPos <= engine.Page.PageStart)
            fresh.ActionPageNextExecute();
        ASSERT_LT(fresh.Page.PageNumber, 14);
        for (int next = 0; next < 2; ++next) {
            EXPECT_EQ(engine.Page.PageNumber, fresh.Page.PageNumber) << next;
            const auto pagesLeft = [](const test::RecordingView& v) {
                const std::string label = " стр:";
                const size_t at = v.caption.find(label);
                return at == std::string::npos ? -1
                                               : std::stoi(v.caption.substr(at + label.size()));
            };
            if (book) {
                EXPECT_EQ(engine.Engine.PagesLeft, fresh.Engine.PagesLeft);
                EXPECT_EQ(pagesLeft(view), fresh.Engine.PagesLeft) << view.caption;
            } else {  // an estimate from the letters before slightly different page starts
                EXPECT_NEAR(pagesLeft(view), fresh.Engine.PagesLeft, 1) << view.caption;
            }
            engine.ActionPageNextExecute();
            fresh.ActionPageNextExecute();
        }
        // A speed changed without a new layout keeps the number.
        const int page = engine.Page.PageNumber;
        engine.Settings.SpeedCpm = engine.SettingsOpening() + 100;
        engine.SettingsAccepted(engine.Settings.SpeedCpm - 100);
        EXPECT_EQ(engine.Page.PageNumber, page);
    }
}

// The whole book's speed divided the letters passed by a contents jump by the reading time,
// ten times the reader's speed; the page keys added their nominal time to the reading time.
TEST_F(EngineTest, TheTextsSpeedAndTimeAreThoseOfThePagesReadNotOfThoseJumpedOver) {
    engine.Settings.PageStartDelayMs = 0;
    engine.OpenNewText(test::StoryBook(8));
    engine.ActionRunExecute();
    while (engine.Session.SessionPages < 2)
        Tick();
    engine.ActionPauseExecute();
    const SessionCounters read = engine.Session;
    engine.GoToContentsEntry(6);
    engine.ActionPageNextExecute();
    engine.ActionPageNextExecute();
    engine.ActionPageBackExecute();
    EXPECT_EQ(e.TextTime, read.SessionTime);
    EXPECT_EQ(e.TextChars, read.SessionChars);
    EXPECT_NEAR(e.TextSpeed, read.SessionSpeed, 1);
    // The position stays the position.
    EXPECT_GT(engine.Text.LettersBefore, engine.Book.ContentsEntries[6].Letters);
    EXPECT_EQ(engine.Page.PageNumber, engine.Book.ContentsEntries[6].Page + 1);
}

TEST_F(EngineTest, ABookWithoutChaptersOrCutOffInItsTrailerReadsItsBodyFromTheStart) {
    std::string raw;
    for (int p = 0; p < 40; ++p)
        raw += Cp("Раз два три четыре пять шесть семь.\r\n");
    // No blank line: the book has no contents entry. It used to open as a blank page.
    std::string book = BuildBookStructure(raw, BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    const std::string body = book.substr(0, book.find("\r\n<MENU>"));
    engine.OpenNewText(book);
    EXPECT_EQ(engine.MemoSource.Text(), body);
    ASSERT_FALSE(engine.Memo.Lines.empty());
    EXPECT_TRUE(Trim(engine.Memo.Lines[0]).starts_with(Cp("Раз два")));
    engine.ActionPageNextExecute();
    EXPECT_EQ(engine.Page.PageNumber, 2);
    EXPECT_TRUE(view.warnings.empty());

    // The end mark lost: the body opens with a message instead of the contents as text.
    engine.OpenNewText(book.substr(0, book.size() - 3));
    ASSERT_EQ(view.warnings.size(), 1u);
    EXPECT_NE(view.warnings[0].find("Содержание книги повреждено"), std::string::npos);
    EXPECT_EQ(engine.MemoSource.Text(), body);
}

TEST_F(EngineTest, CpuTestMeasuresTheMeanStepAndStartsTheReadingMeasurementsAgain) {
    engine.OpenNewText(Cp("Раз два три четыре пять.\r\n"));  // a short page: empty lines below
    const PageState page = engine.Page;
    ASSERT_GT(page.EmptyLinesOnPage, 0);
    e.OverheadSamples = 3;
    e.OverheadSum = 2.5;
    engine.StartCpuTest();
    int ticks = 0;
    for (; engine.CpuTestRunning() && ticks < 100000; ++ticks) {
        engine.CpuTestTick();
        clock.AdvanceMs(0.25);
    }
    EXPECT_EQ(ticks, 5 * (25 + 1) * 16);  // laps of a full page whatever its empty lines
    // The first tick starts the watch, so the mean is a hair under the quarter millisecond
    // (the fake clock's days also round each step by a fraction of a microsecond).
    EXPECT_NEAR(engine.StepOverhead, 0.25, 1e-3);
    // The reading measurements start again; the page's own figures are as they were.
    EXPECT_EQ(e.OverheadSamples, 0);
    EXPECT_EQ(e.OverheadSum, 0);
    EXPECT_EQ(engine.Page.EmptyLinesOnPage, page.EmptyLinesOnPage);
    EXPECT_EQ(engine.Page.LettersOnPage, page.LettersOnPage);
}

// Pages reached by number, by the first-page key and by a search agree with turning the pages
// one by one; the search goes on from the page on screen.
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
