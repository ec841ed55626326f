// What every converted book must be: one the reader accepts, starting at its first character,
// its totals closing its body.
#pragma once

#include <string>

#include "book/book_trailer.h"
#include "book/text_loader.h"
#include "fuzz_checks.h"

inline void CheckConvertedBook(std::string text) {
    using namespace lectorix;
    BookContents book;
    try {
        FUZZ_CHECK(ParseBookTrailer(text, book), "the converted text is no book");
    } catch (const UserError& e) {
        FUZZ_CHECK(false, "the converted book is refused: %s", e.what());
    }
    FUZZ_CHECK(book.ContentsCount >= 1, "no contents entry");
    FUZZ_CHECK(book.ContentsEntries[0].Pos == 0, "the first entry stands at %lld",
               book.ContentsEntries[0].Pos);
    FUZZ_CHECK(
        book.ContentsEntries[book.ContentsCount].Pos == static_cast<long long>(text.size()) + 2,
        "the totals stand at %lld, the body ends at %zu",
        book.ContentsEntries[book.ContentsCount].Pos, text.size());
}
