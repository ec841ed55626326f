// Any bytes as a file the user opens: LoadDocumentBytes, the step of LoadDocument after the file
// is read, judges them by their bytes and hands them to the EPUB, FB2, archive, RTF or text
// reader, or refuses them as binary or empty. Never a crash or a hang; either a message naming
// the file, or a text with something to read and only CR LF line ends, which the reader then
// takes as a book or a plain text (a converted FB2 or EPUB always as a book).
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_trailer.h"
#include "book/text_loader.h"
#include "converted_book_checks.h"
#include "formatter/document_loader.h"
#include "formatter/epub_book.h"
#include "formatter/fb2_book.h"
#include "fuzz_checks.h"

using namespace lectorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string text;
    // A converted book's first chapters, as the program shows them at its start, must be a book
    // in their own right.
    std::vector<std::string> parts;
    try {
        text = LoadDocumentBytes(std::string(bytes), "fuzz", {}, {},
                                 [&parts](std::string part) { parts.push_back(std::move(part)); });
    } catch (const UserError& e) {
        FUZZ_CHECK(std::string_view(e.what()).find("\"fuzz\"") != std::string_view::npos,
                   "a message without the file's name: %s", e.what());
        return 0;
    }
    FUZZ_CHECK(std::any_of(text.begin(), text.end(),
                           [](char c) { return static_cast<unsigned char>(c) > ' '; }),
               "a text of %zu bytes with nothing to read", text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r')
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n', "a lone CR at %zu", i);
        else if (text[i] == '\n')
            FUZZ_CHECK(i > 0 && text[i - 1] == '\r', "a lone LF at %zu", i);
    }
    FUZZ_CHECK(parts.size() <= 1, "%zu first parts", parts.size());
    for (std::string& part : parts)
        CheckConvertedBook(std::move(part));
    if (LooksLikeFb2(bytes) || LooksLikeEpub(bytes)) {
        CheckConvertedBook(std::move(text));
        return 0;
    }
    BookContents book;
    try {
        ParseBookTrailer(text, book);
    } catch (const UserError&) {
        // A damaged .lxb: the reader says so and keeps the open text.
    }
    return 0;
}
