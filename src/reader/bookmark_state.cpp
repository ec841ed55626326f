#include "reader/bookmark_state.h"

#include "reader/reading_engine.h"

namespace lectorix {

BookmarkRecord BuildBookmarkRecord(const ReadingEngine& engine, const std::string& filePath) {
    const auto& e = engine.Engine;
    const auto& p = engine.Page;
    BookmarkRecord r;
    r.Caption = "Страница " + std::to_string(p.PageNumber);
    r.BookName = BookmarkBookName(p.BookMode, engine.Book.Header.BookAuthorLastName,
                                  engine.Book.Header.BookTitle, filePath);
    r.FilePath = filePath;
    r.LettersBefore = engine.Text.LettersBefore;
    r.TextTime = e.TextTime;
    r.TimeLeft = e.TimeLeft;
    r.PageStartTime = e.PageStartTime;
    r.PageSpeed = e.PageSpeed;
    r.TextSpeed = e.TextSpeed;
    r.LettersOnPage = p.LettersOnPage;
    r.PageNumber = p.PageNumber;
    r.PagesLeft = e.PagesLeft;
    r.TotalLetters = p.TotalLetters;
    r.SpeedCpm = engine.Settings.SpeedCpm;
    r.LettersToRead = engine.Text.LettersToRead;
    r.TextPos = p.TextPos;
    r.PageStart = p.PageStart;
    r.PageDelayTicks = e.PageDelayTicks;
    r.PageRepeatsLeft = p.PageRepeatsLeft;
    r.OverheadSum = e.OverheadSum;
    r.SpeedBonus = e.SpeedBonus;
    r.AutoIncreaseRate = e.AutoIncreaseRate;
    r.StepPenaltyRate = e.StepPenaltyRate;
    r.OverheadSamples = e.OverheadSamples;
    return r;
}

void RestoreBookmarkState(ReadingEngine& engine, const BookmarkRecord& r) {
    auto& e = engine.Engine;
    auto& p = engine.Page;
    engine.Text.LettersBefore = r.LettersBefore;
    e.TextTime = r.TextTime;
    e.TimeLeft = r.TimeLeft;
    e.PageStartTime = r.PageStartTime;
    e.PageSpeed = r.PageSpeed;
    e.TextSpeed = r.TextSpeed;
    p.LettersOnPage = r.LettersOnPage;
    p.PageNumber = r.PageNumber;
    e.PagesLeft = r.PagesLeft;
    p.TotalLetters = r.TotalLetters;
    engine.Settings.SpeedCpm = r.SpeedCpm;
    engine.Text.LettersToRead = r.LettersToRead;
    p.TextPos = r.TextPos;
    p.PageStart = r.PageStart;
    e.PageDelayTicks = r.PageDelayTicks;
    p.PageRepeatsLeft = r.PageRepeatsLeft;
    e.SpeedBonus = r.SpeedBonus;
    e.AutoIncreaseRate = r.AutoIncreaseRate;
    e.StepPenaltyRate = r.StepPenaltyRate;
    e.PageEnded = e.IsRunning = e.IsStopped = e.ReadingFinished = false;
    p.ReadForward = true;
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
    p.TextPos = p.PageStart;
    p.PageRepeatsLeft = 0;
    --p.PageNumber;
    engine.ShowPage();
    engine.Engine.PageDelayTicks = engine.PageDelayTicksFor();
    engine.UpdateStatusLine();
}

}  // namespace lectorix
