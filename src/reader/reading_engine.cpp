#include "reader/reading_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "book/cp1251.h"
#include "book/duration.h"
#include "book/text_helpers.h"

namespace lectorix {
namespace {

// The speed buttons never take the speed below this.
constexpr int kMinimumSpeed = 50;

double FractionOfDay(double days) {
    return days - std::floor(days);
}

}  // namespace

std::int64_t MsOfDay(double days) {
    const std::int64_t ms = DurationToMs(days);
    const std::int64_t day = 86400000;
    return ((ms % day) + day) % day;
}

ReadingEngine::ReadingEngine(ReaderView& view, Clock& clock) : view_(view), clock_(clock) {}

ReadingEngine::~ReadingEngine() {
    if (count_) count_->Abandon();
}

void ReadingEngine::InitReader() {
    Text.LettersBefore = 0;
    Engine.TextTime = 0;
    Engine.TimeLeft = 0;
    Engine.PageStartTime = 0;
    Engine.PageSpeed = 0;
    Engine.TextSpeed = 0;
    Page.LettersOnPage = 1;
    Page.PageNumber = 0;
    Engine.PagesLeft = -1;
    Page.ReadForward = true;
    ComputeShutterSpans();
    ShowPage();
}

void ReadingEngine::EndSession() {
    if (RecordReadingStatistics) RecordReadingStatistics();
    Session.SessionChars = 0;
    Session.SessionSpeed = 0;
    Session.SessionTime = 0;
    Session.LastPageSpeed = 0;
}

void ReadingEngine::ResetEngine() {
    Engine = EngineState{};
    ComputeShutterSpans();
    Page.ReadForward = true;
    Session.SessionChars = 0;
    Session.SessionSpeed = 0;
    Session.SessionTime = 0;
    Session.LastPageSpeed = 0;
}

PreparedText PrepareText(std::string text, const std::function<void(int, int)>& progress) {
    PreparedText prepared;
    prepared.IsBook = ParseBookTrailer(text, prepared.Book, progress);
    DropRewritableTrailer(prepared.Book);
    prepared.Source.Assign(std::move(text), prepared.IsBook);
    if (prepared.IsBook) prepared.Book.ShareTitlesWithBody(prepared.Source.Shared());
    return prepared;
}

void ReadingEngine::OpenNewText(std::string text, bool reopening) {
    // Read the trailer into temporaries first: a damaged book changes nothing.
    OpenNewText(PrepareText(std::move(text),
                            [this](int done, int total) { view_.ContentsLoading(done, total); }),
                reopening);
}

void ReadingEngine::OpenNewText(PreparedText prepared, bool reopening) {
    const bool isBook = prepared.IsBook;
    BookContents& book = prepared.Book;
    PauseIfReading();
    view_.SetActionEnabled(ReaderAction::Run, true);
    view_.SetActionEnabled(ReaderAction::ZakladkaAdd, false);

    // The counters of the text being left go to the statistics before they are cleared.
    Text.LettersBefore = 0;
    Engine.TextTime = 0;
    Engine.TimeLeft = 0;
    Engine.PageSpeed = 0;
    Engine.TextSpeed = 0;
    Engine.PagesLeft = -1;
    Page.PageNumber = 0;
    if (RecordReadingStatistics) RecordReadingStatistics();
    ResetEngine();

    MemoSource = std::move(prepared.Source);
    // A book whose trailer lists no chapter reads as one unnamed chapter: its body from the
    // start, paged as a plain text, since its line counts describe no chapter.
    const bool chapters = isBook && book.ContentsCount > 0;
    Page.BookMode = chapters;
    Book = std::move(book);
    Text.TotalPages = 0;
    // A trailer kept is held in no more room than it needs: one larger than its body keeps the
    // buffer the whole file was read into.
    Book.BookTrailer.shrink_to_fit();
    if (chapters) {
        ComputeChapterPages();
    } else {
        if (!reopening) {
            StartLetterCount();
            view_.SetCaption("Открыт новый текст.");
        }
        view_.ContentsChanged();  // no contents for a plain text
    }

    Page.TextPos = 0;
    Page.PageStart = 0;
    Page.ReadForward = true;
    Page.PageRepeatsLeft = 0;
    Page.TextEnded = false;
    Page.LettersOnPage = 1;
    Text.LettersToRead = Page.TotalLetters;
    if (chapters) {
        GoToContentsEntry(0);
        view_.SetActionEnabled(ReaderAction::Save, false);
        view_.SetActionEnabled(ReaderAction::ZakladkaAdd, true);
    } else {
        view_.SetActionEnabled(ReaderAction::Save, !isBook);
        ShowPage();
    }
    RestartPageDelay();
    if (!Book.Warning.empty()) view_.ShowTextWarning(Book.Warning);
}

void ReadingEngine::ComputeChapterPages() {
    if (!Page.BookMode) return;
    Text.TotalPages =
        lectorix::ComputeChapterPages(Book, Settings.CharsPerLine, Settings.LinesPerPage);
    Page.TotalLetters = Book.ContentsEntries.empty() ? 0 : Book.ContentsEntries.back().Letters;
    view_.ContentsChanged();  // the page numbers in the tree changed
}

void ReadingEngine::GoToContentsEntry(int i) {
    if (!Page.BookMode || i < 0 || i >= Book.ContentsCount) return;
    Page.PageRepeatsLeft = 0;
    PauseIfReading();
    auto& e = Engine;
    Idle();
    e.PageEnded = false;
    Page.ReadForward = true;
    const ContentsEntry& entry = Book.ContentsEntries[static_cast<size_t>(i)];
    Text.LettersBefore = entry.Letters;
    Page.PageNumber = entry.Page - 1;
    Page.LettersOnPage = 0;
    // Book the jump at the nominal speed, as the page buttons do.
    e.SpeedChangedByUser = true;
    e.PageStartTime = 0;
    e.IgnorePageStats = true;
    PageDone();
    e.IgnorePageStats = false;
    Cursor.EnterEntry(i);
    Page.TextPos = entry.Pos;
    const int bonus = e.SpeedBonus;
    ShowPage();
    e.SpeedBonus = bonus;
}

void ReadingEngine::StartLetterCount() {
    Page.TotalLetters = -1;
    if (count_) count_->Abandon();
    const std::uint64_t generation = ++countGeneration_;
    const auto text = MemoSource.Shared();
    count_ = std::make_unique<TSrtingConvert>(text, text->size(),
                                              [this, generation](std::int64_t total) {
                                                  view_.PostToUi([this, generation, total] {
                                                      if (generation == countGeneration_)
                                                          ConvertDone(total);
                                                  });
                                              });
}

void ReadingEngine::ConvertDone(std::int64_t total) {
    Page.TotalLetters = total;
    Text.LettersToRead = Page.TotalLetters - Text.LettersBefore;
    // Until a page is read the time left is that of the set speed (a bookmark brings its own).
    if (Engine.TimeLeft == 0 && Session.SessionChars == 0) EstimateTimeLeftAtSetSpeed();
    view_.SetCaption("Открыт новый текст. Всего знаков " + std::to_string(total));
    view_.SetActionEnabled(ReaderAction::ZakladkaAdd, true);
}

void ReadingEngine::ComputeShutterSpans() {
    auto& e = Engine;
    const bool top = Settings.ShowTopBar, bottom = Settings.ShowBottomBar;
    if (top && bottom) {
        e.TopSpan = Settings.OpenLines / 2;
        e.BottomSpan = Settings.OpenLines - e.TopSpan;
        e.TravelExtra = e.BottomSpan - e.TopSpan;
        if (e.TravelExtra == 0) e.TravelExtra = 1;
    } else if (bottom) {
        e.TopSpan = 1;
        e.BottomSpan = 0;
        e.TravelExtra = 2;
        Settings.OpenLines = 2;
    } else if (top) {
        e.TopSpan = 2;
        e.BottomSpan = 0;
        e.TravelExtra = 1;
        Settings.OpenLines = 2;
    } else {
        e.TopSpan = e.BottomSpan = e.TravelExtra = 0;
    }
}

void ReadingEngine::ResetShutter() {
    ComputeShutterSpans();
    Engine.ShutterPos = Geometry.LineHeight * Engine.TopSpan;
    Engine.ShutterEndPos =
        (Settings.LinesPerPage - Engine.BottomSpan + Settings.OpenLines) * Geometry.LineHeight;
}

void ReadingEngine::AdvanceShutter() {
    if (Engine.IsRunning) ++Engine.ShutterPos;
    if (Engine.ShutterEndPos - Geometry.LineHeight * Page.EmptyLinesOnPage <= Engine.ShutterPos) {
        // Below the page: the shutter has passed the last line.
        Engine.ShutterPos = (Settings.LinesPerPage + Settings.OpenLines) * Geometry.LineHeight +
                            Geometry.BottomMargin;
        Engine.PageEnded = true;
    }
}

bool ReadingEngine::ShowPage() {
    Engine.StepPresses = 0;
    const bool built =
        BuildPage(Page, Memo, MemoSource, PageLayoutOf(Settings), Page.BookMode ? &Cursor : nullptr,
                  [this] { RecomputeInterval(); });
    ApplyPageNumberRule(Page);
    ResetShutter();
    view_.PreparePageLines();
    view_.PaintPage(true);
    view_.SetActionEnabled(ReaderAction::PageBack, Page.PageNumber > 1);
    view_.SetActionEnabled(ReaderAction::PageNext,
                           Page.BookMode ? Page.PageNumber < Text.TotalPages : !Page.TextEnded);
    stepChecked_ = false;
    view_.SetActionChecked(ReaderAction::Step, false);
    view_.SetPointerHidden(true);
    Engine.MouseMoves = 0;
    return built;
}

void ReadingEngine::RebuildCurrentPage(bool renumber, const std::function<void(double)>& progress) {
    Page.ReadForward = false;
    Page.PageRepeatsLeft = 0;
    BuildPage(Page, Memo, MemoSource, PageLayoutOf(Settings), Page.BookMode ? &Cursor : nullptr,
              [this] { RecomputeInterval(); });
    Page.ReadForward = true;
    Page.PageRepeatsLeft = 0;
    // The page is shown from here. The number it had belongs to the old layout: in the new one
    // more or fewer pages lead up to it.
    if (renumber) Page.PageNumber = LaidOutPageNumber(Page.TextPos, progress) - 1;
    ShowPage();
    if (renumber) EstimatePagesLeft(Page.PageNumber - 1);
    RestartPageDelay();
    UpdateStatusLine();
}

int ReadingEngine::LaidOutPageNumber(long long start,
                                     const std::function<void(double)>& progress) const {
    PageState page = Page;
    page.ReadForward = true;
    page.PageStart = 0;
    page.TextEnded = false;
    BookChapterCursor cursor(Cursor);
    long long from = 0;
    int number = 0;
    if (Page.BookMode) {
        const int entry = ContentsEntryAt(Book, start);
        if (entry < 0) return 1;
        cursor.EnterEntry(entry);
        from = Book.ContentsEntries[static_cast<size_t>(entry)].Pos;
        number = Book.ContentsEntries[static_cast<size_t>(entry)].Page - 1;
    }
    page.TextPos = from;
    PageMemo memo;
    const PageLayout layout = PageLayoutOf(Settings);
    const double span = static_cast<double>(std::max(1LL, start - from));
    for (;;) {
        page.PageRepeatsLeft = 0;
        const long long before = page.TextPos;
        if (!BuildPage(page, memo, MemoSource, layout, Page.BookMode ? &cursor : nullptr)) break;
        ++number;
        // The page that holds the start, or the last one there is.
        if (page.TextPos > start || page.TextPos <= before || page.TextEnded) break;
        if (progress) progress(static_cast<double>(page.TextPos - from) / span);
    }
    return std::max(1, number);
}

void ReadingEngine::RestartPageDelay() {
    Engine.PageDelayTicks = PageDelayTicksFor();
}

void ReadingEngine::RetimePage() {
    RecomputeInterval();
    RestartPageDelay();
}

void ReadingEngine::SetPageGeometry(const PageGeometry& geometry) {
    Geometry = geometry;
    ResetShutter();
}

void ReadingEngine::GreetIfBlank() {
    if (std::any_of(Memo.Lines.begin(), Memo.Lines.end(),
                    [](const std::string& l) { return !Trim(l).empty(); }))
        return;
    Memo.Lines = {Utf8ToCp1251("Добро пожаловать в программу обучения скорочтению.")};
}

int ReadingEngine::SettingsOpening() {
    PauseIfReading();
    Engine.SpeedChangedByUser = true;
    layoutBefore_ = PageLayoutOf(Settings);
    return Settings.SpeedCpm;
}

void ReadingEngine::SettingsAccepted(int speedBefore, const std::function<void(double)>& progress) {
    const PageLayout now = PageLayoutOf(Settings);
    const bool relaid = now.CharsPerLine != layoutBefore_.CharsPerLine ||
                        now.LinesPerPage != layoutBefore_.LinesPerPage ||
                        now.Paragraphs != layoutBefore_.Paragraphs;
    layoutBefore_ = now;
    ComputeChapterPages();
    RebuildCurrentPage(relaid, progress);
    if (Settings.SpeedCpm != speedBefore) Engine.SpeedBonus = 0;
    // Nothing read in this session yet: the time left is that of the speed just set.
    if (Session.SessionChars == 0) {
        EstimateTimeLeftAtSetSpeed();
        UpdateStatusLine();
    }
}

std::string_view ReadingEngine::RemainingText() const {
    const std::string& text = MemoSource.Text();
    const auto from = static_cast<size_t>(
        std::clamp<long long>(Page.TextPos, 0, static_cast<long long>(text.size())));
    return std::string_view(text).substr(from);
}

void ReadingEngine::Idle() {
    Engine.IsRunning = Engine.IsStopped = Engine.IsPaused = false;
}

int ReadingEngine::PageDelayTicksFor() const {
    if (Engine.TimerIntervalMs <= 0) return 1;
    const auto ticks = RoundHalfEven(Settings.PageStartDelayMs / Engine.TimerIntervalMs);
    return ticks <= 0 ? 1 : static_cast<int>(std::min<std::int64_t>(ticks, 1 << 30));
}

bool ReadingEngine::ReadingTick() {
    auto& e = Engine;
    if (e.PageEnded) {
        view_.PaintPage(true);
        e.PageStartTime = FractionOfDay(Now() - e.PageStartTime);
        PageDone();
        RestartPageDelay();
        if (!ShowPage()) {
            view_.SetClockEnabled(false);
            e.IsRunning = false;
            e.ReadingFinished = true;
            view_.PaintPage(true);
            return false;
        }
        e.PageEnded = false;
        e.PageStartTime = Now();
    }
    if (e.PageDelayTicks == 0) {
        view_.SetPointerHidden(true);
        if (e.MouseMoves > 13) e.MouseMoves = 13;
        AdvanceShutter();
        view_.PaintPage(false);
    } else {
        --e.PageDelayTicks;
        e.IsRunning = false;
        if (e.PageDelayTicks == 0) e.IsRunning = true;
    }
    return true;
}

void ReadingEngine::RecomputeInterval() {
    auto& e = Engine;
    if (!Settings.AutoSpeedIncrease) e.SpeedBonus = 0;
    const int lines = Settings.LinesPerPage - Page.EmptyLinesOnPage;
    const double travel =
        static_cast<double>(Settings.LinesPerPage + e.TravelExtra - Page.EmptyLinesOnPage) *
        Geometry.LineHeight;
    if (Page.EmptyLinesOnPage > 0) e.SpeedChangedByUser = true;  // a short page is never measured

    if (!e.SpeedChangedByUser) {
        const double elapsed = static_cast<double>(MsOfDay(e.PageStartTime));
        const double expected = static_cast<double>(RoundHalfEven(travel * e.TimerIntervalMs));
        const double excess = elapsed - expected;
        if (excess > 0 && travel * e.TimerIntervalMs != 0) {
            e.TickOverhead = excess / travel;
            if (e.OverheadSamples > 1) {
                // The mean runs over the third and later measurements.
                e.OverheadSum += e.TickOverhead;
                e.TickOverhead = e.OverheadSum / (e.OverheadSamples - 1);
            }
            view_.ShowTickOverhead(ShortestDecimal(
                static_cast<double>(RoundHalfEven(e.TickOverhead * 10000)) / 10000));
            ++e.OverheadSamples;
        }
    }
    e.SpeedChangedByUser = false;

    const double speed = std::max(1, Settings.SpeedCpm + e.SpeedBonus);
    const double correction = e.OverheadSamples > 1 ? e.TickOverhead : StepOverhead;
    const double letters = static_cast<double>(std::max<std::int64_t>(1, Page.LettersOnPage));
    double interval = 0;
    if (travel > 0) {
        if (lines <= 3) {
            // A page of a few lines: its letters are estimated as 85 % of full lines.
            const double estimate = std::max(1, lines) * Settings.CharsPerLine * 0.85;
            interval = 60000.0 / (speed / estimate * travel) - StepOverhead;
        } else {
            interval = 60000.0 / (speed / letters * travel) - correction;
        }
    }
    interval = static_cast<double>(RoundHalfEven(interval * 10)) / 10;
    if (interval < 0) interval = 0;
    if (Settings.AutoSpeedIncrease)
        e.SpeedBonus += static_cast<int>(RoundHalfEven(Session.SessionSpeed * e.AutoIncreaseRate));
    e.TimerIntervalMs = interval;
    view_.SetClockInterval(interval);
}

void ReadingEngine::PageDone() {
    auto& e = Engine;
    const bool forward = Page.ReadForward;
    Text.LettersBefore += forward ? Page.LettersOnPage : -Page.LettersOnPage;
    Text.LettersToRead = Page.TotalLetters - Text.LettersBefore;

    EstimatePagesLeft(Page.PageNumber);
    if (!forward && e.PagesLeft > -1) e.PagesLeft += 1;  // not estimated stays so

    const double pageTime = e.PageStartTime;
    const std::int64_t ms = MsOfDay(pageTime);
    if (ms > 0) e.PageSpeed = static_cast<int>(RoundHalfEven(Page.LettersOnPage * 60000.0 / ms));

    if (!e.IgnorePageStats) {
        // The text's speed is that of its pages read: the letters jumped over (a click in the
        // contents, the page keys) were neither read nor timed.
        e.TextChars += Page.LettersOnPage;
        e.TextTime += pageTime;
        const std::int64_t textMs = MsOfDay(e.TextTime);
        if (Page.EmptyLinesOnPage <= 0 && textMs > 0)
            e.TextSpeed = static_cast<int>(RoundHalfEven(e.TextChars * 60000.0 / textMs));

        auto& s = Session;
        s.SessionPages += 1;
        s.SessionChars += Page.LettersOnPage;
        s.SessionTime += pageTime;
        if (ms > 0)
            s.LastPageSpeed = static_cast<int>(RoundHalfEven(Page.LettersOnPage * 60000.0 / ms));
        const std::int64_t sessionMs = MsOfDay(s.SessionTime);
        if (sessionMs > 0)
            s.SessionSpeed = static_cast<int>(RoundHalfEven(s.SessionChars * 60000.0 / sessionMs));
        s.SessionSpeedPoints +=
            std::to_string(s.LastPageSpeed) + "|" + std::to_string(s.SessionPages) + "|";
        if (e.TextSpeed != 0) {
            const int by = Settings.RemainByAverage ? s.SessionSpeed : e.PageSpeed;
            if (by > 0) e.TimeLeft = MsToDuration(RoundHalfEven(Text.LettersToRead * 60000.0 / by));
        }
    } else {
        EstimateTimeLeftAtSetSpeed();
    }
    UpdateStatusLine();
}

void ReadingEngine::EstimatePagesLeft(int pagesBefore) {
    auto& e = Engine;
    if (Page.BookMode) {
        e.PagesLeft = Text.TotalPages - pagesBefore;
    } else if (pagesBefore > 5) {
        if (Text.LettersBefore == 0) {
            e.PagesLeft = 0;
        } else {
            const double perPage = static_cast<double>(Text.LettersBefore) / pagesBefore;
            e.PagesLeft = static_cast<int>(RoundHalfEven(Text.LettersToRead / perPage));
        }
    }
}

void ReadingEngine::EstimateTimeLeftAtSetSpeed() {
    const int speed = Settings.SpeedCpm + Engine.SpeedBonus;
    if (Text.LettersToRead < 0)
        Engine.TimeLeft = 0;  // the letters are still being counted
    else if (speed <= 0)
        Engine.TimeLeft = kNoTimeLeft;  // at a standstill the text never ends
    else
        Engine.TimeLeft = MsToDuration(RoundHalfEven(Text.LettersToRead * 60000.0 / speed));
}

int ReadingEngine::PagesLeftToShow() const {
    if (Engine.PagesLeft > -1) return Engine.PagesLeft;
    if (Text.LettersToRead <= 0 || Page.TotalLetters < 0) return 0;
    const std::int64_t read = Page.PageNumber > 1 ? Text.LettersBefore : 0;
    const double perPage = read > 0
                               ? static_cast<double>(read) / (Page.PageNumber - 1)
                               : static_cast<double>(std::max<std::int64_t>(1, Page.LettersOnPage));
    return static_cast<int>(std::max<std::int64_t>(1, RoundHalfEven(Text.LettersToRead / perPage)));
}

void ReadingEngine::UpdateStatusLine() {
    const auto& e = Engine;
    const auto& s = Session;
    std::string caption = "(Скорость: " + std::to_string(s.LastPageSpeed) +
                          " средняя: " + std::to_string(s.SessionSpeed) + ")";
    caption += "(Время чтения: " + FormatDuration(s.SessionTime) +
               " осталось: " + FormatTimeLeft(e.TimeLeft);
    if (e.PagesLeft > -1) caption += " стр:" + std::to_string(e.PagesLeft);
    caption += ")";
    caption += "(Прочитано: " + std::to_string(s.SessionChars) +
               " осталось: " + std::to_string(Text.LettersToRead) + ")";
    view_.SetCaption(caption);
    view_.SetActionEnabled(ReaderAction::PageBack, Text.LettersBefore > 0);
    const bool lastPage = Text.LettersToRead - Page.LettersOnPage <= 0 && Page.EmptyLinesOnPage > 0;
    view_.SetActionEnabled(ReaderAction::PageNext, !(Page.TextEnded || lastPage));
}

void ReadingEngine::ControlsRunning() {
    controlsRunning_ = true;
    view_.SetActionEnabled(ReaderAction::Run, false);
    view_.SetActionShortcut(ReaderAction::Run, false);
    view_.SetActionEnabled(ReaderAction::Pause, true);
    view_.SetActionEnabled(ReaderAction::Step, true);
    view_.SetActionEnabled(ReaderAction::Stop, true);
    stepChecked_ = false;
    view_.SetActionChecked(ReaderAction::Step, false);
}

void ReadingEngine::ControlsIdle() {
    controlsRunning_ = false;
    view_.SetActionEnabled(ReaderAction::Run, true);
    view_.SetActionShortcut(ReaderAction::Run, true);
    view_.SetActionEnabled(ReaderAction::Pause, false);
    view_.SetActionEnabled(ReaderAction::Step, false);
    view_.SetActionEnabled(ReaderAction::Stop, false);
    stepChecked_ = false;
    view_.SetActionChecked(ReaderAction::Step, false);
}

void ReadingEngine::ActionRunExecute() {
    auto& e = Engine;
    if (view_.ClockInterval() != e.TimerIntervalMs) view_.SetClockInterval(e.TimerIntervalMs);
    ControlsRunning();
    view_.CollapseContents();
    // Resuming continues the page clock from the elapsed time kept while paused.
    e.PageStartTime = (e.IsStopped || e.IsPaused) ? Now() - e.PageStartTime : Now();
    e.IsRunning = true;
    e.IsStopped = false;
    e.IsPaused = false;
    view_.PaintPage(true);
    view_.SetClockEnabled(true);
}

void ReadingEngine::ActionPauseExecute() {
    auto& e = Engine;
    e.IsRunning = false;
    e.IsPaused = true;
    ControlsIdle();
    e.PageStartTime = Now() - e.PageStartTime;
    view_.SetClockEnabled(false);
    view_.PaintPage(true);
}

void ReadingEngine::ActionStopExecute() {
    auto& e = Engine;
    e.IsStopped = true;
    e.IsRunning = false;
    ControlsIdle();
    e.PageStartTime = Now() - e.PageStartTime;
    view_.SetClockEnabled(false);
    view_.PaintPage(true);
}

void ReadingEngine::ActionStepExecute() {
    auto& e = Engine;
    e.StepPresses += 1;
    e.SpeedChangedByUser = true;
    stepChecked_ = !stepChecked_;
    view_.SetActionChecked(ReaderAction::Step, stepChecked_);
    if (!stepChecked_) {
        view_.SetClockInterval(e.TimerIntervalMs);
        return;
    }
    if (e.StepPresses == 3) {
        // Slowing down three times on one page costs some of the automatic increase.
        e.SpeedBonus -= static_cast<int>(RoundHalfEven(Session.SessionSpeed * e.StepPenaltyRate));
        if (e.SpeedBonus < 0) e.SpeedBonus = 0;
    }
    view_.SetClockInterval(e.TimerIntervalMs * 4);
}

void ReadingEngine::PauseIfReading() {
    if (controlsRunning_) ActionPauseExecute();
}

void ReadingEngine::ActionPageNextExecute() {
    auto& e = Engine;
    Page.PageRepeatsLeft = 0;
    PauseIfReading();
    Idle();
    e.SpeedChangedByUser = true;
    const int speed = std::max(1, Settings.SpeedCpm);
    e.PageStartTime = MsToDuration(RoundHalfEven(Page.LettersOnPage * 60000.0 / speed));
    e.IgnorePageStats = true;
    PageDone();
    const int bonus = e.SpeedBonus;
    ShowPage();
    e.SpeedBonus = bonus;
    e.IgnorePageStats = false;
}

void ReadingEngine::ActionPageBackExecute() {
    auto& e = Engine;
    Page.PageRepeatsLeft = 0;
    PauseIfReading();
    Idle();
    Page.ReadForward = false;
    e.SpeedChangedByUser = true;
    Page.TextPos = Page.PageStart;
    const int bonus = e.SpeedBonus;
    ShowPage();
    e.SpeedBonus = bonus;
    const int speed = std::max(1, Settings.SpeedCpm);
    e.PageStartTime = MsToDuration(RoundHalfEven(Page.LettersOnPage * 60000.0 / speed));
    e.IgnorePageStats = true;
    PageDone();  // takes the previous page's letters and nominal time off again
    e.IgnorePageStats = false;
    Page.ReadForward = true;
}

void ReadingEngine::ChangeSpeed(int delta) {
    Engine.SpeedChangedByUser = true;
    Settings.SpeedCpm += delta;
    if (Settings.SpeedCpm + Engine.SpeedBonus < kMinimumSpeed)
        Settings.SpeedCpm = kMinimumSpeed - Engine.SpeedBonus;
    RecomputeInterval();
    Engine.SpeedChangedByUser = true;
}

void ReadingEngine::ActionSpeedBeackExecute() {
    ChangeSpeed(-50);
}
void ReadingEngine::ActionSpeedNextExecute() {
    ChangeSpeed(50);
}

void ReadingEngine::QvlThreadTimer1Timer() {
    if (ReadingTick()) return;
    // The end of the text: the statistics, then the text starts again from its beginning.
    view_.ShowReadingStatistics();
    ControlsIdle();
    OpenNewText(WholeText(), true);
}

void ReadingEngine::StartCpuTest() {
    if (cpuTestRunning_) return;
    // The shutters of a reading in progress would tick in between and spoil the measurement.
    PauseIfReading();
    StepOverhead = 0;
    savedLettersOnPage_ = Page.LettersOnPage;
    savedEmptyLines_ = Page.EmptyLinesOnPage;
    Page.EmptyLinesOnPage = 0;
    CpuTestLaps = std::max(1, (Settings.LinesPerPage + Engine.TravelExtra) * Geometry.LineHeight);
    cpuTestTicks_ = 0;
    cpuTestRunning_ = true;
    view_.SetCpuTestClockEnabled(true);
}

void ReadingEngine::CpuTestTick() {
    if (!cpuTestRunning_) return;
    auto& e = Engine;
    const int laps = CpuTestLaps;
    if (cpuTestTicks_ == 0) {
        e.IsRunning = true;
        cpuTestStart_ = Now();  // the monotonic clock: midnight or a clock change do not count
    }
    ++cpuTestTicks_;
    AdvanceShutter();
    view_.PaintPage(false);
    if (cpuTestTicks_ < 5 * laps && cpuTestTicks_ % laps == 0) {
        ResetShutter();  // the next lap starts at the top of the page
        view_.PaintPage(true);
    }
    if (cpuTestTicks_ < 5 * laps) return;

    const double elapsedMs = (Now() - cpuTestStart_) * 86400000.0;
    StepOverhead = elapsedMs / (5.0 * laps);
    ResetShutter();
    view_.PaintPage(true);
    AdvanceShutter();
    e.IsRunning = false;
    cpuTestTicks_ = 0;
    cpuTestRunning_ = false;
    view_.SetCpuTestClockEnabled(false);
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.4f", StepOverhead);
    view_.ShowTickOverhead(figure);
    view_.CpuTestFinished(StepOverhead);
    e.PageEnded = false;
    Page.LettersOnPage = savedLettersOnPage_;
    Page.EmptyLinesOnPage = savedEmptyLines_;
    e.OverheadSamples = 0;
    e.OverheadSum = 0;
    e.TimerIntervalMs = 0;
    RecomputeInterval();
    view_.PaintPage(true);
}

void ReadingEngine::FormMouseMove() {
    if (Engine.MouseMoves >= 15) {
        view_.SetPointerHidden(false);
    } else {
        ++Engine.MouseMoves;
    }
}

}  // namespace lectorix
