// Holds the pages of a book inside its chapters, so every chapter starts on a new page.
#pragma once

#include "book/book_trailer.h"
#include "book/page_builder.h"

namespace lectorix {

class BookChapterCursor : public ChapterCursor {
  public:
    BookChapterCursor(const BookContents& book, const int& charsPerLine, const int& linesPerPage)
        : book_(book), charsPerLine_(charsPerLine), linesPerPage_(linesPerPage) {}

    int CurChapter = 0;
    int NextChapter = 0;
    long long ChapterStart = 0;
    long long ChapterEnd = 0;
    bool AtChapterEnd = false;
    bool AtChapterStart = false;

    int PageLineCount(const PageState& state) override;
    long long PageSelectionLength(const PageState& state) override;
    void UpdateChapterFlags(const PageState& state) override;

    // Puts the cursor at the start of entry i (a jump from the contents).
    void EnterEntry(int i);
    // For a bookmark whose page start is in state.PageStart: true when entry i is the first
    // entry at or after it, the cursor then standing in the chapter that holds the bookmark.
    bool LocateChapter(int i, const PageState& state);

  private:
    long long PosOf(int i) const;

    const BookContents& book_;
    const int& charsPerLine_;
    const int& linesPerPage_;
};

// The contents entry whose chapter holds text position `pos` (a page's start, a match): the last
// entry that starts at or before it, the deepest of entries sharing a start. A chapter's first
// page starts at the line break before its heading, up to two characters before the entry.
// 0 before the first entry; -1 for a book without entries.
int ContentsEntryAt(const BookContents& book, long long pos);

}  // namespace lectorix
