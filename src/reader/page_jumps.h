// Pages reached other than one at a time: the first page of the text or of the chapter, a page
// by its number, the page that holds a text the user looks for. Every page passed on the way is
// booked as the page key books it, so the counters and the status line agree with turning the
// pages one by one.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "book/page_builder.h"

namespace lectorix {

class ReadingEngine;

// Told how far a long jump has come: a share from 0 to 1, rising.
using JumpProgress = std::function<void(double share)>;

// Pages forward from the page on screen to the first page for which `arrived` holds (0 when the
// page on screen does), found on copies of the reader's state, so nothing changes. When no
// further page is left before arriving: the pages to the last page if `orLast`, else -1.
// `passed` is told of every page on the way.
int PagesAhead(const ReadingEngine& engine, const std::function<bool(const PageState&)>& arrived,
               bool orLast, const std::function<void(const PageState&)>& passed = {});

// Turns `count` pages forward as the page key does; `progress` is told the share turned.
void TurnPages(ReadingEngine& engine, int count, const JumpProgress& progress = {});

// The first page of the text; in a book, the first page of the chapter on screen, and from
// there the first page of the book.
void GoToFirstPage(ReadingEngine& engine);

// The last page of the text; in a book, the last page of the chapter on screen, and from there
// the last page of the book. `progress` as for GoToPage.
void GoToLastPage(ReadingEngine& engine, const JumpProgress& progress = {});

// Page `number` of the text or the book; a number past the end gives the last page, below 1 the
// first. A book is entered at the chapter that holds the page, so its earlier chapters are not
// turned through.
// Finding the pages is the first half of `progress`, turning them the second.
void GoToPage(ReadingEngine& engine, int number, const JumpProgress& progress = {});

// Looks for a text from the page on screen on and shows the page that holds it.
class TextFinder {
  public:
    // `needle` in CP1251. Searching the same text again on the page of the last match goes on
    // after that match. Returns false, changing nothing, when the text does not occur again.
    bool FindNext(ReadingEngine& engine, std::string_view needle,
                  const JumpProgress& progress = {});
    // Where the last match starts in the text; -1 before any.
    long long Match() const { return match_; }
    // The text last found, in CP1251.
    const std::string& Needle() const { return needle_; }
    // Which match on the page on screen the last one is (0 for the first match from the page's
    // start), or -1 when it is not on that page.
    int MatchOnPage(const ReadingEngine& engine) const;

  private:
    std::string needle_;
    long long match_ = -1;
};

}  // namespace lectorix
