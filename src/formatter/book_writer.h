// Writing the book format in its two stages: the structure (body and a first trailer), then the
// line counts that let the reader page a book without laying it out.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "book/book_trailer.h"

namespace lectorix {

// True when some line of `text` is longer than `limit` characters (hard-wrapped texts are not).
bool HasLineLongerThan(std::string_view text, size_t limit);

// Stage 1: every non-blank line becomes a body line opened by two blanks; a line after blank
// lines becomes a heading (three blanks) with a contents line of its own. The trailer gets the
// totals and the header fields. Works on CP1251 text with CR LF line ends.
std::string BuildBookStructure(std::string_view text, const BookHeader& header);

// Stage 2: rewrites every contents line and the totals line of the trailer with its title, Pos,
// Letters and the 38 line counts. Returns false when the text has no trailer. Throws UserError
// for a damaged trailer. `progress` (done, total) is called once per contents line.
bool ComputeBookLineCounts(std::string& text, const std::function<void(int, int)>& progress = {});

// The lines `WrapBookText` makes of `text` at `width`, blank lines not counted; the text is
// wrapped in pieces of 15000 characters running on to the next line break.
std::int64_t CountWrappedLines(std::string_view text, int width);

}  // namespace lectorix
