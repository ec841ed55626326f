#include "book/chapter_cursor.h"

#include <algorithm>

namespace lectorix {

long long BookChapterCursor::PosOf(int i) const {
    const auto& e = book_.ContentsEntries;
    if (e.empty()) return 0;
    return e[static_cast<size_t>(std::clamp(i, 0, static_cast<int>(e.size()) - 1))].Pos;
}

int BookChapterCursor::PageLineCount(const PageState& state) {
    const int count = book_.ContentsCount;
    int lines = linesPerPage_;
    if (state.ReadForward && AtChapterEnd) {
        const long long oldEnd = ChapterEnd;
        CurChapter = NextChapter;
        ChapterStart = PosOf(CurChapter);
        ++NextChapter;
        while (NextChapter < count && PosOf(NextChapter) == oldEnd)
            ++NextChapter;
        if (NextChapter <= count) ChapterEnd = PosOf(NextChapter);
    } else if (!state.ReadForward && AtChapterStart) {
        NextChapter = CurChapter;
        ChapterEnd = PosOf(CurChapter);
        --CurChapter;
        while (CurChapter >= 0 && PosOf(CurChapter) == ChapterStart)
            --CurChapter;
        ChapterStart = CurChapter > 0 ? PosOf(CurChapter) : 0;
        // The previous chapter's last page is a partial one.
        if (CurChapter >= 0 && static_cast<size_t>(CurChapter) < book_.ContentsEntries.size())
            lines = book_.ContentsEntries[static_cast<size_t>(CurChapter)].LastPageLines;
        if (CurChapter < 0) CurChapter = 0;
    }
    return std::max(0, lines);
}

long long BookChapterCursor::PageSelectionLength(const PageState& state) {
    const long long n = static_cast<long long>(charsPerLine_) * linesPerPage_;
    if (state.ReadForward)
        return state.TextPos + n <= ChapterEnd ? 2 * n : ChapterEnd - state.TextPos;
    return state.TextPos - n > ChapterStart ? -2 * n : ChapterStart - state.TextPos;
}

void BookChapterCursor::UpdateChapterFlags(const PageState& state) {
    AtChapterEnd = ChapterEnd - 2 <= state.TextPos;
    AtChapterStart = state.PageStart - 5 < ChapterStart;
}

void BookChapterCursor::EnterEntry(int i) {
    const int count = book_.ContentsCount;
    CurChapter = i;
    NextChapter = i;
    ChapterStart = PosOf(i);
    AtChapterEnd = false;
    AtChapterStart = true;
    while (NextChapter < count && PosOf(NextChapter) == ChapterStart)
        ++NextChapter;
    if (NextChapter <= count) ChapterEnd = PosOf(NextChapter);
}

bool BookChapterCursor::LocateChapter(int i, const PageState& state) {
    if (PosOf(i) < state.PageStart) return false;
    CurChapter = i;
    if (i > 0 && PosOf(i) == state.PageStart + 1 && state.PageStart > PosOf(i - 1))
        CurChapter = i - 1;
    NextChapter = CurChapter;
    ChapterStart = ChapterEnd = PosOf(CurChapter);
    const int count = book_.ContentsCount;
    while (NextChapter <= count && PosOf(NextChapter) <= ChapterEnd)
        ++NextChapter;
    if (NextChapter < count) ChapterEnd = PosOf(NextChapter);
    UpdateChapterFlags(state);
    return true;
}

int ContentsEntryAt(const BookContents& book, long long pos) {
    const int count = std::min(book.ContentsCount, static_cast<int>(book.ContentsEntries.size()));
    if (count <= 0) return -1;
    const auto begin = book.ContentsEntries.begin();
    // The positions never run backwards (the trailer is refused otherwise).
    const auto after =
        std::upper_bound(begin, begin + count, pos + 2,
                         [](long long p, const ContentsEntry& e) { return p < e.Pos; });
    return std::max(0, static_cast<int>(after - begin) - 1);
}

}  // namespace lectorix
