// The paced reader: turns a speed into a tick interval per page, moves the shutter one pixel per
// tick, books every page and keeps the status line. GUI-free; it talks to its window through
// ReaderView and reads the time from a Clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "book/book_trailer.h"
#include "book/chapter_cursor.h"
#include "book/letter_count.h"
#include "book/page_builder.h"
#include "book/source_text.h"
#include "reader/clock.h"
#include "reader/reader_view.h"
#include "settings/user_settings.h"

namespace lectorix {

struct EngineState {
    bool IsRunning = false;
    bool IsPaused = false;
    bool IsStopped = false;
    bool PageEnded = false;
    bool ReadingFinished = false;
    bool IgnorePageStats = false;     // the page change is a jump, not reading
    bool SpeedChangedByUser = false;  // skip the next overhead measurement
    double TimerIntervalMs = 0;       // ms per one-pixel step, one decimal
    int SpeedBonus = 0;               // letters per minute added by the automatic increase
    double AutoIncreaseRate = 0.005;
    double StepPenaltyRate = 0.025;
    double TickOverhead = 0;  // measured extra ms per step while reading
    double OverheadSum = 0;
    int OverheadSamples = 0;
    int StepPresses = 0;
    int TopSpan = 0, BottomSpan = 0, TravelExtra = 0;  // shutter geometry in lines
    int ShutterPos = 0;                                // px
    int ShutterEndPos = 0;                             // px
    int PageDelayTicks = 0;
    double PageStartTime = 0;  // days; while paused and at a page end, the elapsed page time
    int PageSpeed = 0;
    // The open text's reading: the pages the running reading completed, their letters and time
    // (pages passed by a jump or the page keys are not read), and the speed of the two.
    std::int64_t TextChars = 0;
    double TextTime = 0;  // days
    int TextSpeed = 0;
    double TimeLeft = 0;  // days; kNoTimeLeft when there is nothing to estimate it by
    int PagesLeft = -1;   // -1: not yet estimated
    int MouseMoves = 0;
};

// Counters of the reading session (kept by the statistics).
struct SessionCounters {
    std::int64_t SessionChars = 0;
    double SessionTime = 0;  // days
    int LastPageSpeed = 0;
    int SessionSpeed = 0;
    // Never reset: they count from the start of the program.
    int SessionPages = 0;
    std::string SessionSpeedPoints;
};

// Counters of the open text that the engine keeps beside the page state.
struct TextCounters {
    std::int64_t LettersBefore = 0;  // letters of the text before the current page
    std::int64_t LettersToRead = 0;
    int TotalPages = 0;  // books only
};

// Pixel geometry of the page that the timing depends on; the page painter sets it.
struct PageGeometry {
    int LineHeight = 16;
    int BottomMargin = 16 / 2 + 22;
};

// A text made ready for the reader on any thread: its book trailer read and its paragraphs
// judged, so that putting it into the reader costs the window's thread little.
struct PreparedText {
    SourceText Source;
    BookContents Book;
    bool IsBook = false;
};

// `progress` (done, total) follows the contents while they load. A damaged book throws UserError.
PreparedText PrepareText(std::string text, const std::function<void(int, int)>& progress = {});

class ReadingEngine {
  public:
    ReadingEngine(ReaderView& view, Clock& clock);
    ~ReadingEngine();
    ReadingEngine(const ReadingEngine&) = delete;
    ReadingEngine& operator=(const ReadingEngine&) = delete;

    // The reader's state, owned here and read by the window and its painter.
    SourceText MemoSource;
    PageState Page;
    PageMemo Memo;
    TextCounters Text;
    UserSettings Settings;
    double StepOverhead = kDefaultStepOverhead;
    EngineState Engine;
    SessionCounters Session;
    PageGeometry Geometry;
    BookContents Book;  // contents and header of an open book
    BookChapterCursor Cursor{Book, Settings.CharsPerLine, Settings.LinesPerPage};

    // Records the session of the text being left; the statistics fill it in.
    std::function<void()> RecordReadingStatistics;

    // The open text as it was read: a book's body with its trailer.
    std::string WholeText() const { return MemoSource.Text() + TrailerOf(Book); }

    void InitReader();
    void ResetEngine();
    // The session of the text being left goes to the statistics and its counters start again
    // (a bookmark of the same file opened).
    void EndSession();
    // Puts `text` (CP1251, CR LF) into the reader and shows its first page. `reopening` is set
    // when the same text starts again after its end, so its letters need not be counted again.
    // A damaged book throws UserError before anything changes.
    void OpenNewText(std::string text, bool reopening = false);
    // The same for a text prepared beforehand; throws nothing.
    void OpenNewText(PreparedText text, bool reopening = false);
    // Jumps to contents entry i of a book (a click in the contents).
    void GoToContentsEntry(int i);
    // Page numbers of the contents again, after the line width or the page length changed.
    void ComputeChapterPages();

    // The painter's pixel geometry of the page; the shutter goes back to the top.
    void SetPageGeometry(const PageGeometry& geometry);
    // Before any text is open the page shows a greeting rather than nothing.
    void GreetIfBlank();
    // Timing again after the page changed its size: the interval and the page-start delay.
    void RetimePage();
    // The settings dialog: opening it pauses the reading and keeps the next page from being
    // measured (the pause is no reading time); returns the speed it opens on. After OK, with
    // the display already fitted to the new settings, the contents and the page are laid out
    // again, and a speed set by hand starts without the automatic increase.
    // When the layout changed, the page on screen is numbered as the new layout numbers it (the
    // pages up to it are laid out again; `progress` is told how far).
    int SettingsOpening();
    void SettingsAccepted(int speedBefore, const std::function<void(double)>& progress = {});
    // The text from the next page on: what saving writes.
    std::string_view RemainingText() const;
    // Neither running nor paused nor stopped: where a jump to another page leaves the reader.
    void Idle();

    bool ShowPage();
    // Lays out the page being read again after the line width, the page length or the font
    // changed: built once backwards from the end of the page, then shown forwards from its start.
    // With `renumber`, the page gets the number the layout gives it and the pages left follow.
    void RebuildCurrentPage(bool renumber = false,
                            const std::function<void(double)>& progress = {});
    // The number the current layout gives the page that starts at `start`: the pages laid out
    // from the start of its chapter (of a plain text, of the text) up to the one that holds it.
    int LaidOutPageNumber(long long start, const std::function<void(double)>& progress = {}) const;
    // The pages left after `pagesBefore` pages: exact in a book; in a plain text estimated from
    // the letters a page has held so far, once more than five pages are behind.
    void EstimatePagesLeft(int pagesBefore);
    bool ReadingTick();
    void RecomputeInterval();
    void PageDone();
    void UpdateStatusLine();
    // The pages left as the reports show them: the estimate once there is one; before that
    // (the first pages of a text) the letters left over the letters of a page so far, so that
    // letters left never show as no pages left.
    int PagesLeftToShow() const;
    int PageDelayTicksFor() const;
    // The page-start delay counts down afresh from the current interval.
    void RestartPageDelay();
    void ControlsRunning();
    void ControlsIdle();
    void ComputeShutterSpans();
    void ResetShutter();
    void AdvanceShutter();

    void ActionRunExecute();
    void ActionPauseExecute();
    void ActionStopExecute();
    void ActionStepExecute();
    void ActionPageBackExecute();
    void ActionPageNextExecute();
    void ActionSpeedBeackExecute();
    void ActionSpeedNextExecute();
    void QvlThreadTimer1Timer();
    void FormMouseMove();

    // The CPU test: five laps of the shutter down the page with no sleep between steps; the mean
    // time of a step becomes StepOverhead, which the view is handed to store.
    void StartCpuTest();
    void CpuTestTick();
    bool CpuTestRunning() const { return cpuTestRunning_; }
    int CpuTestLaps = 0;  // steps of one lap

    // Pauses when the shutters are moving (before a jump, a dialog, an exercise).
    void PauseIfReading();
    bool Reading() const { return controlsRunning_; }
    bool StepChecked() const { return stepChecked_; }
    bool LetterCountRunning() const { return count_ != nullptr && !count_->Finished(); }

  private:
    void ConvertDone(std::int64_t total);
    void StartLetterCount();
    double Now() { return clock_.Now(); }
    void ChangeSpeed(int delta);
    // The time the letters left take at the set speed: the estimate of a page turned by hand,
    // and the one before any page was read.
    void EstimateTimeLeftAtSetSpeed();

    ReaderView& view_;
    Clock& clock_;
    bool controlsRunning_ = false;
    bool stepChecked_ = false;
    std::unique_ptr<TSrtingConvert> count_;
    std::uint64_t countGeneration_ = 0;
    bool cpuTestRunning_ = false;
    int cpuTestTicks_ = 0;
    double cpuTestStart_ = 0;
    PageLayout layoutBefore_;  // when the settings dialog opened
    std::int64_t savedLettersOnPage_ = 0;
    int savedEmptyLines_ = 0;
};

// Milliseconds of the time of day of a duration in days: the part the speeds divide by.
std::int64_t MsOfDay(double days);

}  // namespace lectorix
