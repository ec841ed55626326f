// Makes a book of any bytes as `format` does, its first byte choosing the clean-up steps
// ("Автооглавление" among them). Whatever the text, the book must be one the reader accepts,
// starting at its first character when it has contents, with the body's letters in its totals;
// only a text without a line that is not blank may be refused.
#include <cstdint>
#include <string>

#include "book/book_trailer.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "fuzz_checks.h"

using namespace lectorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    FormatSteps steps;
    // Two steps of the four, in either order, or none.
    const CleanupStep kinds[] = {CleanupStep::AutoHeadings, CleanupStep::Join,
                                 CleanupStep::DropEmpty, CleanupStep::Separator};
    if (choice & 1) steps.Steps.push_back(kinds[(choice >> 1) & 3]);
    if (choice & 8) steps.Steps.push_back(kinds[(choice >> 4) & 3]);
    steps.Separator = {
        .Indent = (choice >> 6) & 3, .More = (choice & 4) != 0, .Equal = (choice & 32) != 0};
    const std::string text =
        DecodeText(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    std::string book;
    try {
        book = FormatBook(text, BookHeader{}, steps);
    } catch (const UserError&) {
        return 0;  // no line to make a book of
    }
    FUZZ_CHECK(book.ends_with("<INFOTEXTEND>\r\n"), "the book does not end with its end mark");
    BookContents contents;
    try {
        FUZZ_CHECK(ParseBookTrailer(book, contents), "the book is no book");
    } catch (const UserError& e) {
        FUZZ_CHECK(false, "the book is refused: %s", e.what());
    }
    const ContentsEntry& totals = contents.ContentsEntries.back();
    FUZZ_CHECK(totals.Letters == CountLetters(book), "totals of %lld letters, the body has %lld",
               static_cast<long long>(totals.Letters), static_cast<long long>(CountLetters(book)));
    if (contents.ContentsCount > 0)
        FUZZ_CHECK(contents.ContentsEntries[0].Pos == 0, "the first entry stands at %lld",
                   contents.ContentsEntries[0].Pos);
    return 0;
}
