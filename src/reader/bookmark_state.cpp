#include "reader/bookmark_state.h"

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "reader/reading_engine.h"

namespace lectorix {

namespace {

// Fields 5 to 26 beside the engine's values they freeze: `copy(engineValue, recordValue)` is
// called for each, so writing a bookmark and reading it back cannot disagree.
template <typename Engine, typename Record, typename Copy>
void EachField(Engine& engine, Record& r, Copy copy) {
    auto& e = engine.Engine;
    auto& p = engine.Page;
    copy(engine.Text.LettersBefore, r.LettersBefore);
    copy(e.TextTime, r.TextTime);
    copy(e.TimeLeft, r.TimeLeft);
    copy(e.PageStartTime, r.PageStartTime);
    copy(e.PageSpeed, r.PageSpeed);
    copy(e.TextSpeed, r.TextSpeed);
    copy(p.LettersOnPage, r.LettersOnPage);
    copy(p.PageNumber, r.PageNumber);
    copy(e.PagesLeft, r.PagesLeft);
    copy(p.TotalLetters, r.TotalLetters);
    copy(engine.Settings.SpeedCpm, r.SpeedCpm);
    copy(engine.Text.LettersToRead, r.LettersToRead);
    copy(p.TextPos, r.TextPos);
    copy(p.PageStart, r.PageStart);
    copy(e.PageDelayTicks, r.PageDelayTicks);
    copy(p.PageRepeatsLeft, r.PageRepeatsLeft);
    copy(e.OverheadSum, r.OverheadSum);
    copy(e.SpeedBonus, r.SpeedBonus);
    copy(e.AutoIncreaseRate, r.AutoIncreaseRate);
    copy(e.StepPenaltyRate, r.StepPenaltyRate);
    copy(e.OverheadSamples, r.OverheadSamples);
}

}  // namespace

BookmarkRecord BuildBookmarkRecord(const ReadingEngine& engine, const std::string& filePath) {
    BookmarkRecord r;
    r.Caption = Utf8ToCp1251("Страница ") + std::to_string(engine.Page.PageNumber);
    r.BookName = BookmarkBookName(engine.Page.BookMode, engine.Book.Header.BookAuthorLastName,
                                  engine.Book.Header.BookTitle, filePath);
    r.FilePath = filePath;
    EachField(engine, r, [](const auto& value, auto& field) { field = value; });
    return r;
}

void RestoreBookmarkState(ReadingEngine& engine, const BookmarkRecord& r) {
    EachField(engine, r, [](auto& value, const auto& field) { value = field; });
    auto& e = engine.Engine;
    // A bookmark keeps the text's speed and time; the letters read are what they make.
    e.TextChars =
        e.TextSpeed > 0 ? RoundHalfEven(e.TextSpeed * (MsOfDay(e.TextTime) / 60000.0)) : 0;
    e.PageEnded = e.IsRunning = e.IsStopped = e.ReadingFinished = false;
    engine.Page.ReadForward = true;
    e.OverheadSum = 0;
    e.OverheadSamples = 0;
}

void ShowRestoredPage(ReadingEngine& engine) {
    auto& p = engine.Page;
    const long long length = engine.MemoSource.Length();
    const bool inText =
        p.PageStart >= 0 && p.TextPos >= p.PageStart && p.TextPos <= length && p.PageStart < length;
    if (!inText) {
        if (p.BookMode && engine.Book.ContentsCount > 0) {
            engine.GoToContentsEntry(0);
            return;
        }
        engine.Text.LettersBefore = 0;
        p.PageNumber = 0;
        p.TextPos = p.PageStart = 0;
        p.PageRepeatsLeft = 0;
        engine.ShowPage();
        return;
    }
    // The page is built forwards from its stored start, in the chapter that holds it: the same
    // page as when it was read, whatever page of its chapter it is. A chapter's first page starts
    // at the line break before its heading.
    if (p.BookMode) {
        int chapter = 0;
        while (chapter + 1 < engine.Book.ContentsCount &&
               engine.Book.ContentsEntries[static_cast<size_t>(chapter + 1)].Pos <= p.PageStart + 2)
            ++chapter;
        engine.Cursor.EnterEntry(chapter);
    }
    // A page that ends elsewhere than it did was laid out otherwise when it was marked: it gets
    // the number this layout gives it, and the pages left follow.
    const long long end = p.TextPos;
    PageState trial = p;
    trial.TextPos = p.PageStart;
    trial.PageRepeatsLeft = 0;
    BookChapterCursor cursor(engine.Cursor);
    PageMemo memo;
    BuildPage(trial, memo, engine.MemoSource, PageLayoutOf(engine.Settings),
              p.BookMode ? &cursor : nullptr);
    const bool relaid = trial.TextPos != end;
    if (relaid) p.PageNumber = engine.LaidOutPageNumber(p.PageStart);
    p.TextPos = p.PageStart;
    p.PageRepeatsLeft = 0;
    --p.PageNumber;
    engine.ShowPage();
    if (relaid) engine.EstimatePagesLeft(p.PageNumber - 1);
    engine.RestartPageDelay();
    engine.UpdateStatusLine();
}

}  // namespace lectorix
