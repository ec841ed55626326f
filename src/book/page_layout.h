// The shape of a page as the page builder lays it out; the reader's settings fill it.
#pragma once

namespace lectorix {

// Which line breaks of a plain text open a paragraph: as the text's shape says, every one, or
// only those before an indent or after a blank line. In the order the setting lists them.
enum class LineParagraphs { Auto, On, Off };

struct PageLayout {
    int CharsPerLine = 22;
    int LinesPerPage = 25;
    int PageRepeats = 1;  // how often each page is shown before the next one is built
    LineParagraphs Paragraphs = LineParagraphs::Auto;
};

}  // namespace lectorix
