#include "reader/page_jumps.h"

#include <algorithm>

#include "book/chapter_cursor.h"
#include "book/text_search.h"
#include "reader/reading_engine.h"

namespace lectorix {
namespace {

bool HasNextPage(const PageState& page, int totalPages) {
    return page.BookMode ? page.PageNumber < totalPages : !page.TextEnded;
}

// The contents entry of the chapter that holds page `number`.
int EntryOfPageNumber(const BookContents& book, int number) {
    const auto begin = book.ContentsEntries.begin();
    const auto end = begin + std::min<long>(book.ContentsCount, std::ssize(book.ContentsEntries));
    const auto after = std::upper_bound(begin, end, number,
                                        [](int n, const ContentsEntry& e) { return n < e.Page; });
    return std::max(0, static_cast<int>(after - begin) - 1);
}

}  // namespace

int PagesAhead(const ReadingEngine& engine, const std::function<bool(const PageState&)>& arrived,
               bool orLast, const std::function<void(const PageState&)>& passed) {
    PageState page = engine.Page;
    BookChapterCursor cursor(engine.Cursor);
    PageMemo memo;
    const PageLayout layout = PageLayoutOf(engine.Settings);
    int steps = 0;
    while (!arrived(page)) {
        if (!HasNextPage(page, engine.Text.TotalPages)) return orLast ? steps : -1;
        page.PageRepeatsLeft = 0;
        page.ReadForward = true;
        PageState before = page;
        if (!BuildPage(page, memo, engine.MemoSource, layout, page.BookMode ? &cursor : nullptr))
            return orLast ? steps : -1;
        ApplyPageNumberRule(page);
        if (page.TextPos <= before.TextPos && page.PageStart <= before.PageStart)
            return orLast ? steps : -1;  // a page that does not move on would never arrive
        ++steps;
        if (passed) passed(page);
    }
    return steps;
}

void TurnPages(ReadingEngine& engine, int count, const JumpProgress& progress) {
    for (int i = 0; i < count; ++i) {
        engine.ActionPageNextExecute();
        if (progress) progress(static_cast<double>(i + 1) / count);
    }
}

namespace {

// The first half of a jump's progress while its pages are found, the second while they turn.
JumpProgress FirstHalf(const JumpProgress& progress) {
    if (!progress) return {};
    return [&progress](double share) { progress(std::clamp(share, 0.0, 1.0) / 2); };
}
JumpProgress SecondHalf(const JumpProgress& progress) {
    if (!progress) return {};
    return [&progress](double share) { progress(0.5 + share / 2); };
}

}  // namespace

void GoToFirstPage(ReadingEngine& engine) {
    PageState& p = engine.Page;
    if (p.BookMode) {
        const int entry = ContentsEntryAt(engine.Book, p.PageStart);
        const bool onFirst =
            entry >= 0 &&
            p.PageNumber <= engine.Book.ContentsEntries[static_cast<size_t>(entry)].Page;
        engine.GoToContentsEntry(onFirst ? 0 : entry);
        return;
    }
    // Booked as a jump, as a click in the contents books one: the letters before the page are
    // none now, the reading time stays.
    EngineState& e = engine.Engine;
    p.PageRepeatsLeft = 0;
    engine.PauseIfReading();
    engine.Idle();
    e.PageEnded = false;
    p.ReadForward = true;
    engine.Text.LettersBefore = 0;
    p.PageNumber = 0;
    p.LettersOnPage = 0;
    e.SpeedChangedByUser = true;
    e.PageStartTime = 0;
    e.IgnorePageStats = true;
    engine.PageDone();
    e.IgnorePageStats = false;
    p.TextPos = 0;
    const int bonus = e.SpeedBonus;
    engine.ShowPage();
    e.SpeedBonus = bonus;
}

void GoToLastPage(ReadingEngine& engine, const JumpProgress& progress) {
    const PageState& p = engine.Page;
    if (p.BookMode) {
        const BookContents& book = engine.Book;
        const int entry = ContentsEntryAt(book, p.PageStart);
        int last = engine.Text.TotalPages;
        // The chapter ends where the next entry further on begins.
        for (int j = entry + 1; entry >= 0 && j < book.ContentsCount; ++j) {
            const ContentsEntry& next = book.ContentsEntries[static_cast<size_t>(j)];
            if (next.Pos > book.ContentsEntries[static_cast<size_t>(entry)].Pos) {
                last = next.Page - 1;
                break;
            }
        }
        GoToPage(engine, p.PageNumber >= last ? engine.Text.TotalPages : last, progress);
        return;
    }
    engine.PauseIfReading();
    const long long from = p.PageStart;
    const double span = static_cast<double>(std::max(1LL, engine.MemoSource.Length() - from));
    const JumpProgress finding = FirstHalf(progress);
    const int ahead = PagesAhead(
        engine, [](const PageState&) { return false; }, true,
        [&](const PageState& s) {
            if (finding) finding(static_cast<double>(s.PageStart - from) / span);
        });
    TurnPages(engine, ahead, SecondHalf(progress));
}

void GoToPage(ReadingEngine& engine, int number, const JumpProgress& progress) {
    PageState& p = engine.Page;
    number = std::max(1, number);
    if (p.BookMode) {
        number = std::min(number, std::max(1, engine.Text.TotalPages));
        const int entry = EntryOfPageNumber(engine.Book, number);
        if (number < p.PageNumber || entry != ContentsEntryAt(engine.Book, p.PageStart))
            engine.GoToContentsEntry(entry);
    } else if (number < p.PageNumber) {
        GoToFirstPage(engine);
    }
    engine.PauseIfReading();
    const int from = p.PageNumber;
    const JumpProgress finding = FirstHalf(progress);
    const int ahead = PagesAhead(
        engine, [number](const PageState& s) { return s.PageNumber >= number; }, true,
        [&](const PageState& s) {
            if (finding)
                finding(static_cast<double>(s.PageNumber - from) / std::max(1, number - from));
        });
    TurnPages(engine, ahead, SecondHalf(progress));
}

bool TextFinder::FindNext(ReadingEngine& engine, std::string_view needle,
                          const JumpProgress& progress) {
    const PageState& p = engine.Page;
    const bool onMatchPage = match_ >= p.PageStart && match_ < p.TextPos;
    const long long from = needle == needle_ && onMatchPage ? match_ + 1 : p.PageStart;
    const long long at = FindText(engine.MemoSource.Text(), needle, std::max(0LL, from));
    if (at < 0) return false;
    const auto holds = [at](const PageState& s) { return at < s.TextPos; };
    if (holds(p)) {
        needle_ = needle;
        match_ = at;
        return true;
    }
    // In a book the chapter that holds the match is entered at once.
    if (p.BookMode) {
        const int entry = ContentsEntryAt(engine.Book, at);
        if (entry > ContentsEntryAt(engine.Book, p.PageStart)) {
            const auto& e = engine.Book.ContentsEntries[static_cast<size_t>(entry)];
            if (e.Pos <= at) engine.GoToContentsEntry(entry);
        }
    }
    const long long start = p.PageStart;
    const JumpProgress finding = FirstHalf(progress);
    const int ahead = PagesAhead(engine, holds, false, [&](const PageState& s) {
        if (finding)
            finding(static_cast<double>(s.PageStart - start) / static_cast<double>(at - start + 1));
    });
    if (ahead < 0) return false;
    engine.PauseIfReading();
    TurnPages(engine, ahead, SecondHalf(progress));
    needle_ = needle;
    match_ = at;
    return true;
}

int TextFinder::MatchOnPage(const ReadingEngine& engine) const {
    const PageState& p = engine.Page;
    if (match_ < p.PageStart || match_ >= p.TextPos) return -1;
    int before = 0;
    for (long long at = FindText(engine.MemoSource.Text(), needle_, p.PageStart);
         at >= 0 && at < match_; at = FindText(engine.MemoSource.Text(), needle_, at + 1))
        ++before;
    return before;
}

}  // namespace lectorix
