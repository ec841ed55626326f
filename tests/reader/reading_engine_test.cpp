#include "reader/reading_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "reader/duration.h"
#include "support/recording_view.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

struct EngineTest : ::testing::Test {
    test::RecordingView view;
    FakeClock clock;
    ReadingEngine engine{view, clock};

    // 25 full lines of 22 columns with 500 letters, as in the worked example.
    void FullPage(std::int64_t letters = 500) {
        engine.Page.LettersOnPage = letters;
        engine.Page.EmptyLinesOnPage = 0;
        engine.Settings.AutoSpeedIncrease = false;
        engine.ComputeShutterSpans();
    }
    // Pretends the page just read took the expected time plus `extraPerStep` ms per pixel.
    void PageTook(double extraPerStep) {
        const double travel = 416;
        const double ms =
            static_cast<double>(RoundHalfEven(travel * engine.Engine.TimerIntervalMs)) +
            travel * extraPerStep;
        engine.Engine.PageStartTime = ms / 86400000.0;
    }
    std::string Text(int paragraphs) {
        std::string text;
        for (int i = 0; i < paragraphs; ++i)
            text += Cp("Мороз и солнце; день чудесный! Ещё ты дремлешь, друг прелестный.\r\n");
        return text;
    }
    // Waits for the background letter count and delivers its result as the event loop would.
    void FinishLetterCount() {
        while (engine.LetterCountRunning())
            std::this_thread::yield();
        view.RunPosted();
    }
};

TEST_F(EngineTest, WorkedExampleGives71point2Ms) {
    FullPage();
    engine.Engine.SpeedChangedByUser = true;
    engine.RecomputeInterval();
    EXPECT_DOUBLE_EQ(engine.Engine.TimerIntervalMs, 71.2);
    EXPECT_DOUBLE_EQ(view.clockInterval, 71.2);
}

TEST_F(EngineTest, FirstOverheadIsShownNotUsedSecondUsedThenTheMeanFromTheThird) {
    FullPage();
    engine.Engine.TimerIntervalMs = 71.2;
    const double ideal = 60000.0 / (1000.0 / 500 * 416);  // 72.115...

    PageTook(1.0);
    engine.RecomputeInterval();
    EXPECT_EQ(view.tickOverhead, "1");
    EXPECT_DOUBLE_EQ(engine.Engine.TimerIntervalMs, RoundHalfEven((ideal - 0.965) * 10) / 10.0);

    PageTook(2.0);
    engine.RecomputeInterval();
    EXPECT_DOUBLE_EQ(engine.Engine.TimerIntervalMs, 70.1);  // 72.1 - 2.0

    PageTook(3.0);
    engine.RecomputeInterval();
    EXPECT_DOUBLE_EQ(engine.Engine.TimerIntervalMs, 69.1);  // the third alone: 3.0

    PageTook(5.0);
    engine.RecomputeInterval();
    EXPECT_DOUBLE_EQ(engine.Engine.TickOverhead, 4.0);  // mean of 3 and 5
    EXPECT_DOUBLE_EQ(engine.Engine.TimerIntervalMs, 68.1);
    EXPECT_EQ(engine.Engine.OverheadSamples, 4);

    // A page that took less than planned measures nothing.
    PageTook(-1.0);
    engine.RecomputeInterval();
    EXPECT_EQ(engine.Engine.OverheadSamples, 4);
}

TEST_F(EngineTest, AShortPageNeverChangesTheOverheadOrTheTextSpeed) {
    FullPage();
    engine.Engine.TimerIntervalMs = 71.2;
    engine.Engine.TickOverhead = 0.5;
    engine.Engine.TextSpeed = 900;
    engine.Engine.TextTime = MsToDuration(60000);
    engine.Text.LettersBefore = 5000;
    engine.Page.EmptyLinesOnPage = 10;
    PageTook(3.0);
    engine.RecomputeInterval();
    EXPECT_EQ(engine.Engine.OverheadSamples, 0);
    EXPECT_DOUBLE_EQ(engine.Engine.TickOverhead, 0.5);
    engine.PageDone();
    EXPECT_EQ(engine.Engine.TextSpeed, 900);
}

TEST_F(EngineTest, APageOfOneToThreeLinesCountsItsLettersAs85PercentOfFullLines) {
    FullPage(3);
    engine.Page.EmptyLinesOnPage = 23;  // two lines
    engine.RecomputeInterval();
    // 2 x 22 x 0.85 = 37.4 letters over (25 + 1 - 23) x 16 = 48 px at 1000 per minute.
    EXPECT_DOUBLE_EQ(engine.Engine.TimerIntervalMs,
                     RoundHalfEven((60000.0 / (1000 / 37.4 * 48) - 0.965) * 10) / 10.0);
    EXPECT_DOUBLE_EQ(engine.Engine.TimerIntervalMs, 45.8);
}

TEST_F(EngineTest, APageWithoutLettersOrTravelGivesAZeroIntervalNotADivisionByZero) {
    FullPage(0);
    engine.Settings.SpeedCpm = 10;
    engine.RecomputeInterval();
    EXPECT_TRUE(std::isfinite(engine.Engine.TimerIntervalMs));
    EXPECT_GT(engine.Engine.TimerIntervalMs, 0);
    engine.Geometry.LineHeight = 0;
    engine.RecomputeInterval();
    EXPECT_EQ(engine.Engine.TimerIntervalMs, 0);
    EXPECT_EQ(engine.PageDelayTicksFor(), 1);  // a zero interval still waits one tick
}

TEST_F(EngineTest, ThreeStepPressesLowerTheBonusOnceAndNotAgain) {
    engine.Session.SessionSpeed = 1000;
    engine.Engine.SpeedBonus = 100;
    engine.Engine.TimerIntervalMs = 50;
    engine.ActionStepExecute();  // checked: slow motion
    EXPECT_DOUBLE_EQ(view.clockInterval, 200);
    EXPECT_EQ(engine.Engine.SpeedBonus, 100);
    engine.ActionStepExecute();  // unchecked
    EXPECT_DOUBLE_EQ(view.clockInterval, 50);
    engine.ActionStepExecute();  // third press: the penalty, 2.5 % of the session speed
    EXPECT_EQ(engine.Engine.SpeedBonus, 75);
    engine.ActionStepExecute();
    engine.ActionStepExecute();
    EXPECT_EQ(engine.Engine.SpeedBonus, 75);
    EXPECT_TRUE(engine.Engine.SpeedChangedByUser);
}

TEST_F(EngineTest, ShutterSpansForEveryCombinationOfShutters) {
    struct Case {
        bool top, bottom;
        int topSpan, bottomSpan, extra, openLines;
    };
    for (const Case c : {Case{true, true, 3, 3, 1, 6}, Case{false, true, 1, 0, 2, 2},
                         Case{true, false, 2, 0, 1, 2}, Case{false, false, 0, 0, 0, 6}}) {
        engine.Settings.OpenLines = 6;
        engine.Settings.ShowTopBar = c.top;
        engine.Settings.ShowBottomBar = c.bottom;
        engine.ComputeShutterSpans();
        EXPECT_EQ(engine.Engine.TopSpan, c.topSpan) << c.top << c.bottom;
        EXPECT_EQ(engine.Engine.BottomSpan, c.bottomSpan) << c.top << c.bottom;
        EXPECT_EQ(engine.Engine.TravelExtra, c.extra) << c.top << c.bottom;
        EXPECT_EQ(engine.Settings.OpenLines, c.openLines) << c.top << c.bottom;
    }
    engine.Settings.ShowTopBar = engine.Settings.ShowBottomBar = true;
    engine.Settings.OpenLines = 5;
    engine.ComputeShutterSpans();
    EXPECT_EQ(engine.Engine.TopSpan, 2);
    EXPECT_EQ(engine.Engine.BottomSpan, 3);
    engine.Settings.OpenLines = 4;
    engine.ComputeShutterSpans();
    EXPECT_EQ(engine.Engine.TravelExtra, 1);  // equal spans still travel one more line
}

TEST_F(EngineTest, SpeedButtonsChangeBy50AndKeepTheSpeedAbove50) {
    engine.OpenNewText(Text(40));
    const double before = engine.Engine.TimerIntervalMs;
    engine.ActionSpeedNextExecute();
    EXPECT_EQ(engine.Settings.SpeedCpm, 1050);
    EXPECT_LT(engine.Engine.TimerIntervalMs, before);
    EXPECT_TRUE(engine.Engine.SpeedChangedByUser);
    engine.Settings.SpeedCpm = 80;
    engine.ActionSpeedBeackExecute();
    EXPECT_EQ(engine.Settings.SpeedCpm + engine.Engine.SpeedBonus, 50);
    engine.ActionSpeedBeackExecute();
    EXPECT_EQ(engine.Settings.SpeedCpm + engine.Engine.SpeedBonus, 50);
}

TEST_F(EngineTest, OpeningATextShowsItsFirstPageAndCountsItsLetters) {
    const std::string text = Text(40);
    engine.OpenNewText(text);
    EXPECT_EQ(engine.Page.PageNumber, 1);
    EXPECT_EQ(view.caption, "Открыт новый текст.");
    EXPECT_TRUE(view.enabled[ReaderAction::Run]);
    EXPECT_FALSE(view.enabled[ReaderAction::PageBack]);
    EXPECT_TRUE(view.enabled[ReaderAction::PageNext]);
    EXPECT_EQ(engine.Engine.PageDelayTicks, engine.PageDelayTicksFor());
    EXPECT_GT(engine.Engine.TimerIntervalMs, 0);
    FinishLetterCount();
    EXPECT_EQ(engine.Page.TotalLetters, CountLetters(text));
    EXPECT_EQ(view.caption,
              "Открыт новый текст. Всего знаков " + std::to_string(CountLetters(text)));
    EXPECT_TRUE(view.enabled[ReaderAction::ZakladkaAdd]);
}

TEST_F(EngineTest, ACountAbandonedForANewTextNeverReachesTheReader) {
    engine.OpenNewText(std::string(5'000'000, 'x'));
    engine.OpenNewText(Text(3));
    FinishLetterCount();
    EXPECT_EQ(engine.Page.TotalLetters, CountLetters(Text(3)));
}

TEST_F(EngineTest, ThePageStartDelayWaitsAtLeastOneTick) {
    engine.Engine.TimerIntervalMs = 2000;
    engine.Settings.PageStartDelayMs = 1000;
    EXPECT_EQ(engine.PageDelayTicksFor(), 1);  // 0.5 rounds to 0, which becomes 1
    engine.Engine.TimerIntervalMs = 100;
    EXPECT_EQ(engine.PageDelayTicksFor(), 10);
}

// Reads a whole text with the fake clock, tick by tick, and checks the state machine.
TEST_F(EngineTest, ReadingRunsPausesStopsAndRestartsAtTheEnd) {
    engine.OpenNewText(Text(12));
    FinishLetterCount();
    const int delay = engine.Engine.PageDelayTicks;
    ASSERT_GT(delay, 0);

    engine.ActionRunExecute();
    EXPECT_TRUE(view.clockEnabled);
    EXPECT_FALSE(view.enabled[ReaderAction::Run]);
    EXPECT_FALSE(view.shortcut[ReaderAction::Run]);
    EXPECT_TRUE(view.enabled[ReaderAction::Stop]);

    // The delay: the shutter stands still.
    const int start = engine.Engine.ShutterPos;
    for (int i = 0; i < delay; ++i) {
        clock.AdvanceMs(engine.Engine.TimerIntervalMs);
        engine.QvlThreadTimer1Timer();
    }
    EXPECT_EQ(engine.Engine.ShutterPos, start);
    clock.AdvanceMs(engine.Engine.TimerIntervalMs);
    engine.QvlThreadTimer1Timer();
    EXPECT_EQ(engine.Engine.ShutterPos, start + 1);

    // Pause keeps the elapsed page time; resuming continues it.
    clock.AdvanceMs(1000);
    engine.ActionPauseExecute();
    EXPECT_TRUE(engine.Engine.IsPaused);
    EXPECT_FALSE(view.clockEnabled);
    const double elapsed = engine.Engine.PageStartTime;
    clock.AdvanceMs(60000);
    engine.ActionRunExecute();
    EXPECT_NEAR((clock.Now() - engine.Engine.PageStartTime) * 86400000.0, elapsed * 86400000.0,
                0.01);
    EXPECT_EQ(engine.Engine.ShutterPos, start + 1);

    engine.ActionStopExecute();
    EXPECT_TRUE(engine.Engine.IsStopped);
    EXPECT_TRUE(view.shortcut[ReaderAction::Run]);
    engine.ActionRunExecute();

    // Read on until the text starts again.
    int pagesDone = 0;
    int lastPage = 1;
    for (int tick = 0; tick < 1000000 && view.statistics == 0; ++tick) {
        clock.AdvanceMs(engine.Engine.TimerIntervalMs);
        engine.QvlThreadTimer1Timer();
        if (engine.Page.PageNumber != lastPage) {
            ++pagesDone;
            lastPage = engine.Page.PageNumber;
        }
    }
    ASSERT_EQ(view.statistics, 1);
    EXPECT_GE(pagesDone, 2);
    EXPECT_EQ(engine.Page.PageNumber, 1);
    EXPECT_EQ(engine.Page.PageStart, 0);
    EXPECT_FALSE(engine.Reading());
    EXPECT_FALSE(view.clockEnabled);
    EXPECT_TRUE(view.enabled[ReaderAction::Run]);
    // The text's letters were counted once; reopening it after its end keeps the total.
    EXPECT_EQ(engine.Page.TotalLetters, CountLetters(Text(12)));
    EXPECT_FALSE(engine.LetterCountRunning());
}

TEST_F(EngineTest, PagesReadAreBookedIntoTheSession) {
    engine.Settings.AutoSpeedIncrease = false;
    engine.OpenNewText(Text(30));
    FinishLetterCount();
    engine.ActionRunExecute();
    // Read three pages, each in exactly the time the timer plans.
    while (engine.Session.SessionPages < 3) {
        clock.AdvanceMs(engine.Engine.TimerIntervalMs);
        engine.QvlThreadTimer1Timer();
    }
    EXPECT_EQ(engine.Page.PageNumber, 4);
    EXPECT_GT(engine.Session.SessionSpeed, 0);
    EXPECT_GT(engine.Text.LettersBefore, 0);
    EXPECT_EQ(engine.Session.SessionChars, engine.Text.LettersBefore);
    EXPECT_EQ(engine.Text.LettersToRead, engine.Page.TotalLetters - engine.Text.LettersBefore);
    EXPECT_NE(view.caption.find("(Скорость: "), std::string::npos);
    EXPECT_NE(view.caption.find(" средняя: "), std::string::npos);
    EXPECT_NE(view.caption.find("(Прочитано: " + std::to_string(engine.Session.SessionChars)),
              std::string::npos);
    EXPECT_EQ(
        engine.Session.SessionSpeedPoints.substr(engine.Session.SessionSpeedPoints.size() - 2),
        "3|");
}

TEST_F(EngineTest, PageJumpsAreBookedAtTheNominalSpeedAndLeaveTheReaderIdle) {
    engine.OpenNewText(Text(40));
    FinishLetterCount();
    engine.ActionRunExecute();
    const std::int64_t firstLetters = engine.Page.LettersOnPage;
    engine.ActionPageNextExecute();
    EXPECT_FALSE(engine.Reading());
    EXPECT_FALSE(engine.Engine.IsPaused);
    EXPECT_EQ(engine.Page.PageNumber, 2);
    EXPECT_EQ(engine.Text.LettersBefore, firstLetters);
    EXPECT_EQ(engine.Session.SessionPages, 0);  // a jump is not reading
    EXPECT_TRUE(view.enabled[ReaderAction::PageBack]);

    engine.ActionPageBackExecute();
    EXPECT_EQ(engine.Page.PageNumber, 1);
    EXPECT_EQ(engine.Page.PageStart, 0);
    EXPECT_TRUE(engine.Page.ReadForward);
    EXPECT_EQ(engine.Text.LettersBefore, 0);
    EXPECT_FALSE(view.enabled[ReaderAction::PageBack]);
}

TEST_F(EngineTest, ThePointerShowsAfterFifteenMovesAndHidesAtTheNextTick) {
    engine.OpenNewText(Text(20));
    EXPECT_TRUE(view.pointerHidden);
    for (int i = 0; i < 15; ++i)
        engine.FormMouseMove();
    EXPECT_TRUE(view.pointerHidden);
    engine.FormMouseMove();
    EXPECT_FALSE(view.pointerHidden);
    engine.Engine.PageDelayTicks = 0;
    engine.ActionRunExecute();
    engine.QvlThreadTimer1Timer();
    EXPECT_TRUE(view.pointerHidden);
    EXPECT_EQ(engine.Engine.MouseMoves, 13);
}

// A book of chapters of 30, 3 and 60 lines' worth of text at width 22.
std::string ThreeChapterBook() {
    std::string raw;
    const int paragraphs[] = {10, 1, 20};
    for (int c = 0; c < 3; ++c) {
        raw += "\r\n" + Cp("Глава ") + std::to_string(c + 1) + "\r\n";
        for (int p = 0; p < paragraphs[c]; ++p)
            raw += Cp("Раз два три четыре пять шесть семь.\r\n");
    }
    std::string book = BuildBookStructure(raw, BookHeader{});
    ComputeBookLineCounts(book);
    return book;
}

TEST_F(EngineTest, ABookOpensAtItsFirstChapterWithItsPageCount) {
    engine.OpenNewText(ThreeChapterBook());
    ASSERT_TRUE(engine.Page.BookMode);
    EXPECT_EQ(engine.Book.ContentsCount, 3);
    EXPECT_EQ(engine.Page.PageNumber, 1);
    EXPECT_GT(engine.Text.TotalPages, 3);
    EXPECT_EQ(engine.Page.TotalLetters, engine.Book.ContentsEntries.back().Letters);
    EXPECT_FALSE(view.enabled[ReaderAction::Save]);
    EXPECT_TRUE(view.enabled[ReaderAction::ZakladkaAdd]);
    EXPECT_FALSE(engine.LetterCountRunning());
}

TEST_F(EngineTest, EveryContentsEntryOpensOnItsPageAndBackShowsThePreviousLastPage) {
    engine.OpenNewText(ThreeChapterBook());
    const auto& entries = engine.Book.ContentsEntries;
    for (int i = 0; i < engine.Book.ContentsCount; ++i) {
        engine.GoToContentsEntry(i);
        EXPECT_EQ(engine.Page.PageNumber, entries[i].Page) << i;
        EXPECT_EQ(engine.Page.PageStart, entries[i].Pos) << i;
        EXPECT_EQ(Trim(engine.Memo.Lines[0]), Cp("Глава ") + std::to_string(i + 1));
        if (i == 0) continue;
        // Back from a chapter's first page: the previous chapter's partial last page.
        engine.ActionPageBackExecute();
        EXPECT_EQ(engine.Page.PageNumber, entries[i].Page - 1) << i;
        EXPECT_EQ(static_cast<int>(engine.Memo.Lines.size()), entries[i - 1].LastPageLines) << i;
        engine.ActionPageNextExecute();
        EXPECT_EQ(engine.Page.PageNumber, entries[i].Page) << i;
        EXPECT_EQ(Trim(engine.Memo.Lines[0]), Cp("Глава ") + std::to_string(i + 1));
    }
}

TEST_F(EngineTest, ADamagedBookChangesNothing) {
    engine.OpenNewText(Text(5));
    const std::string before = engine.MemoSource.Text();
    std::string book = ThreeChapterBook();
    book.replace(book.find("<INFOTEXTlen>|") + 14, 1, "x");
    EXPECT_THROW(engine.OpenNewText(book), UserError);
    EXPECT_EQ(engine.MemoSource.Text(), before);
    EXPECT_FALSE(engine.Page.BookMode);
}

// The CPU test: five laps of the shutter, the mean step time taken as the new correction.
TEST_F(EngineTest, CpuTestMeasuresTheMeanStepAndStartsTheReadingMeasurementsAgain) {
    engine.OpenNewText(Cp("Раз два три четыре пять.\r\n"));  // a short page: empty lines below
    ASSERT_GT(engine.Page.EmptyLinesOnPage, 0);
    const int emptyLines = engine.Page.EmptyLinesOnPage;
    const std::int64_t letters = engine.Page.LettersOnPage;
    engine.Engine.OverheadSamples = 3;
    engine.Engine.OverheadSum = 2.5;
    double stored = -1;
    engine.CpuTestFinished = [&](double v) { stored = v; };

    engine.StartCpuTest();
    ASSERT_TRUE(engine.CpuTestRunning());
    EXPECT_TRUE(view.cpuClockEnabled);
    EXPECT_EQ(engine.StepOverhead, 0);
    // Tested as a full page whatever its empty lines.
    EXPECT_EQ(engine.CpuTestLaps, (engine.Settings.LinesPerPage + engine.Engine.TravelExtra) *
                                      engine.Geometry.LineHeight);
    int ticks = 0;
    while (engine.CpuTestRunning() && ticks < 100000) {
        engine.CpuTestTick();
        clock.AdvanceMs(0.25);
        ++ticks;
    }
    EXPECT_EQ(ticks, 5 * engine.CpuTestLaps);
    // The first tick starts the watch, so the mean is a hair under the quarter millisecond
    // (the fake clock's days also round each step by a fraction of a microsecond).
    EXPECT_NEAR(engine.StepOverhead, 0.25, 1e-3);
    EXPECT_EQ(stored, engine.StepOverhead);
    EXPECT_FALSE(view.cpuClockEnabled);
    EXPECT_NEAR(std::stod(view.tickOverhead), engine.StepOverhead, 5e-5);  // four decimals
    EXPECT_EQ(view.tickOverhead.size(), 6u);
    EXPECT_EQ(engine.Engine.OverheadSamples, 0);
    EXPECT_EQ(engine.Engine.OverheadSum, 0);
    EXPECT_EQ(engine.Page.EmptyLinesOnPage, emptyLines);
    EXPECT_EQ(engine.Page.LettersOnPage, letters);
    EXPECT_FALSE(engine.Engine.IsRunning);
    EXPECT_FALSE(engine.Engine.PageEnded);
    EXPECT_GT(engine.Engine.TimerIntervalMs, 0);  // recomputed with the new correction
}

TEST(ShortestDecimal, RoundTripsTheStoredCorrection) {
    for (double v : {0.965, 1.234567, 0.1 + 0.2, 1e-5, 12.0}) {
        const std::string text = ShortestDecimal(v);
        EXPECT_EQ(std::stod(text), v) << text;
        EXPECT_EQ(text.find(','), std::string::npos);
    }
    EXPECT_EQ(ShortestDecimal(0.965), "0.965");
    EXPECT_EQ(ShortestDecimal(1.234567), "1.234567");
}

}  // namespace
}  // namespace lectorix
