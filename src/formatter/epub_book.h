// EPUB 2 and 3 books converted in memory into the book format, contents and line counts
// included.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "formatter/first_part.h"

namespace lectorix {

// True when `bytes` are a ZIP archive whose "mimetype" says application/epub+zip or that holds
// META-INF/container.xml.
bool LooksLikeEpub(std::string_view bytes);

// The book, in CP1251 with CR LF, of the EPUB `bytes`: the spine's documents in order, contents
// entries from the navigation document (else from the h1-h3 headings), the header from the
// package's Dublin Core. A damaged archive gives the book of the documents read before the
// damage; no package or no text throws UserError saying why.
// `progress` and `firstPart` as for Fb2ToBook.
std::string EpubToBook(std::string_view bytes, const std::function<void(int, int)>& progress = {},
                       const FirstPart& firstPart = {});

}  // namespace lectorix
