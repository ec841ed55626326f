// Converts any bytes as an FB2 book. Input that cannot be converted may be refused with a
// message; whatever is converted must be a book the reader accepts, starting at its first
// character, with the line counts of every chapter.
#include <cstdint>
#include <string>
#include <string_view>

#include "book/book_trailer.h"
#include "book/text_loader.h"
#include "formatter/fb2_book.h"
#include "fuzz_checks.h"

using namespace lectorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string text;
    try {
        text = Fb2ToBook(bytes);
    } catch (const UserError&) {
        return 0;
    }
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
    return 0;
}
