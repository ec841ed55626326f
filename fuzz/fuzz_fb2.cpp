// Converts any bytes as an FB2 book. Input that cannot be converted may be refused with a
// message; whatever is converted must be a book the reader accepts, starting at its first
// character, with the line counts of every chapter.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "book/text_loader.h"
#include "converted_book_checks.h"
#include "formatter/fb2_book.h"

using namespace lectorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string text;
    try {
        text = Fb2ToBook(bytes);
    } catch (const UserError&) {
        return 0;
    }
    CheckConvertedBook(std::move(text));
    return 0;
}
