#include "reader/bookmark_state.h"

#include "reader/reading_engine.h"

namespace lectorix {

BookmarkRecord BuildBookmarkRecord(const ReadingEngine& engine, const std::string& filePath) {
    BookmarkRecord r = engine.Position();
    const auto& p = engine.Page;
    r.Caption = "Страница " + std::to_string(p.PageNumber);
    r.BookName = BookmarkBookName(p.BookMode, engine.Book.Header.BookAuthorLastName,
                                  engine.Book.Header.BookTitle, filePath);
    r.FilePath = filePath;
    return r;
}

void RestoreBookmarkState(ReadingEngine& engine, const BookmarkRecord& r) {
    engine.RestorePosition(r);
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
    engine.RestartPageDelay();
    engine.UpdateStatusLine();
}

}  // namespace lectorix
