// Opens any bytes as a book: reads the trailer, computes the chapter pages and reads the book
// page by page with its chapter cursor, forwards to the end and back. A damaged trailer may be
// refused with a message, but nothing may crash, read out of range or run for ever.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "book/book_trailer.h"
#include "book/chapter_cursor.h"
#include "book/page_builder.h"
#include "book/text_loader.h"
#include "fuzz_checks.h"

using namespace lectorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) return 0;
    PageLayout settings;
    settings.CharsPerLine = 8 + data[0] % 83;  // 8..90, as the settings allow
    settings.LinesPerPage = 4 + data[1] % 22;  // 4..25
    std::string text = DecodeText(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
    BookContents book;
    try {
        if (!ParseBookTrailer(text, book)) return 0;
    } catch (const UserError&) {
        return 0;
    }
    ComputeChapterPages(book, settings.CharsPerLine, settings.LinesPerPage);
    if (book.ContentsCount == 0) return 0;

    const SourceText source(text, true);
    BookChapterCursor cursor(book, settings.CharsPerLine, settings.LinesPerPage);
    PageState st;
    st.BookMode = true;
    cursor.EnterEntry(0);
    st.TextPos = book.ContentsEntries[0].Pos;
    PageMemo memo;
    // Every page moves on by at least one character, so the text's length bounds the pages.
    const long long limit = source.Length() + 16;
    long long pages = 0;
    while (BuildPage(st, memo, source, settings, &cursor)) {
        FUZZ_CHECK(++pages <= limit, "more pages (%lld) than characters", pages);
        FUZZ_CHECK(st.TextPos >= 0 && st.TextPos <= source.Length(), "TextPos %lld out of range",
                   st.TextPos);
        FUZZ_CHECK(memo.Lines.size() <= static_cast<size_t>(settings.LinesPerPage),
                   "%zu lines on a page", memo.Lines.size());
    }
    for (long long k = 0; k < limit && st.PageNumber > 1; ++k) {
        st.PageRepeatsLeft = 0;
        st.ReadForward = false;
        st.TextPos = st.PageStart;
        const bool built = BuildPage(st, memo, source, settings, &cursor);
        st.ReadForward = true;
        if (!built) break;
        FUZZ_CHECK(st.PageStart >= 0 && st.PageStart <= source.Length(),
                   "PageStart %lld out of range", st.PageStart);
    }
    return 0;
}
