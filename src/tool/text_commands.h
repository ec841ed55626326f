// The commands over texts and books: count, wrap, pages, book, format and convert.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "book/book_trailer.h"
#include "tool/tool_commands.h"

namespace lectorix {

extern const Command kCountCommand;
extern const Command kWrapCommand;
extern const Command kPagesCommand;
extern const Command kBookCommand;
extern const Command kFormatCommand;
extern const Command kConvertCommand;

// A field of the book header: its option of `format`, its name in the `book` listing.
struct HeaderField {
    const char* Option;
    const char* Listed;
    std::string BookHeader::*Value;
};

// The nine fields in the order books are written.
inline constexpr std::array<HeaderField, 9> kHeaderFields{{
    {"author", "author", &BookHeader::BookAuthor},
    {"title", "title", &BookHeader::BookTitle},
    {"first-name", "firstname", &BookHeader::BookAuthorFirstName},
    {"last-name", "lastname", &BookHeader::BookAuthorLastName},
    {"genre", "genre", &BookHeader::BookGenre},
    {"subgenre", "subgenre", &BookHeader::BookSubgenre},
    {"id", "id", &BookHeader::BookId},
    {"copyright", "copyright", &BookHeader::BookCopyright},
    {"source", "source", &BookHeader::BookSource},
}};

// CP1251 with CR LF -> UTF-8 with LF, as the commands print.
std::string ForPrinting(std::string_view text);

}  // namespace lectorix
