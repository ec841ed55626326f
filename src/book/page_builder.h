// Building one page of the reader from the text at the current position.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "book/page_layout.h"
#include "book/source_text.h"

namespace lectorix {

// Where the reader stands in the opened text.
struct PageState {
    long long TextPos = 0;    // where the next page begins; after a backward build, where it ends
    long long PageStart = 0;  // where the page now shown begins
    bool ReadForward = true;  // false only while the previous page is being built
    bool BookMode = false;
    bool TextEnded = false;  // no further page, or the current page reaches the end of the text
    int PageRepeatsLeft = 0;
    int PageNumber = 0;
    std::int64_t LettersOnPage = 0;
    int EmptyLinesOnPage = 0;
    std::int64_t TotalLetters = 0;  // -1 while the background count runs
};

// The lines of the page being shown.
struct PageMemo {
    std::vector<std::string> Lines;
};

// Holds book pages to chapter boundaries; the book model implements it.
class ChapterCursor {
  public:
    virtual ~ChapterCursor() = default;
    // Lines of the page about to be built.
    virtual int PageLineCount(const PageState& state) = 0;
    // Characters of the chunk to select from TextPos; negative selects backwards.
    virtual long long PageSelectionLength(const PageState& state) = 0;
    // Called once the page's position is known.
    virtual void UpdateChapterFlags(const PageState& state) = 0;
};

// Keeps the non-empty lines of `memo`, at most `count` of them: the first ones when building
// forwards, the last ones (the final one without trailing blanks) when building backwards.
void KeepPageLines(PageMemo& memo, int count, bool forward);

// Raw characters of `raw` that the words of `page` used up. Forwards the count runs from the
// start of `raw` to the end of the page's last word; backwards from the end of `raw` back to
// the page's first word.
long long MeasureConsumed(std::string_view raw, std::string_view page, bool forward);

// Widens the lines of `memo` to `charsPerLine` columns by stretching their blanks; every line
// then gets one blank at its end. A line that begins with four blanks or more stands apart from
// the prose (a verse line, an epigraph: books write them so) and stays as it is, and so do the
// lines it wraps into. `apartFirst`: the page's first line is the wrapped rest of such a line.
void JustifyPageLines(PageMemo& memo, int charsPerLine, bool apartFirst = false);

// Builds the next page (or, with ReadForward false, the previous one) into `memo`. Returns false
// when no printable text is left in that direction. `cursor` is used in book mode; `pageBuilt`
// runs after every new page (not after a repeat), so the engine can retime it.
bool BuildPage(PageState& state, PageMemo& memo, const SourceText& source, const PageLayout& layout,
               ChapterCursor* cursor = nullptr, const std::function<void()>& pageBuilt = {});

// The number a page built is shown with: the text's first page, and any page numbered below 1,
// is page 1.
void ApplyPageNumberRule(PageState& state);

// The plain-text preparation of a chunk (paragraph marks, blanks, indents) before layout;
// with `everyLine` every line break opens a paragraph.
std::string PreparePlainChunk(std::string chunk, bool everyLine = false);

// Whether every line break of `source` opens a paragraph under `mode`; never in a book.
bool LinesAreParagraphs(const SourceText& source, LineParagraphs mode);

}  // namespace lectorix
