// The shape of a page as the page builder lays it out; the reader's settings fill it.
#pragma once

namespace lectorix {

struct PageLayout {
    int CharsPerLine = 22;
    int LinesPerPage = 25;
    int PageRepeats = 1;  // how often each page is shown before the next one is built
};

}  // namespace lectorix
