// FB2 books converted in memory into the book format, contents and line counts included.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "formatter/first_part.h"

namespace lectorix {

// True when `bytes` start as an FB2 document (a <FictionBook> root near the start), in an
// 8-bit encoding or in UTF-16 with its byte-order mark.
bool LooksLikeFb2(std::string_view bytes);

// The book, in CP1251 with CR LF, of the FB2 document `bytes` in any declared encoding: one
// contents entry per titled section, the notes last as the chapter "Примечания", the header from
// the description. Malformed XML gives the book of what could be read; a document with no text
// throws UserError saying why. `progress` (done, total) follows the line counting; `firstPart`
// gets the first chapters first (BookAssembler::Finish).
std::string Fb2ToBook(std::string_view bytes, const std::function<void(int, int)>& progress = {},
                      const FirstPart& firstPart = {});

}  // namespace lectorix
