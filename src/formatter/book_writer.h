// Writing the book format in its two stages: the structure (body and a first trailer), then the
// line counts that let the reader page a book without laying it out.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_trailer.h"
#include "formatter/format_operations.h"

namespace lectorix {

// True when some line of `text` is longer than `limit` characters (hard-wrapped texts are not).
bool HasLineLongerThan(std::string_view text, size_t limit);

// How the contents titles get their levels: all at the top (three blanks), or from the heading
// line's own indent as "Автооглавление" writes it: five or six blanks give five, seven or more
// give seven.
enum class HeadingLevels { Flat, FromIndent };

// Stage 1: every non-blank line becomes a body line opened by two blanks; a line after blank
// lines becomes a heading (three blanks) with a contents line of its own, and so does the first
// line when the text has headings, so that nothing before the first one is hidden. The trailer
// gets the totals and the header fields. Works on CP1251 text with CR LF line ends. Throws
// UserError for a text without a line that is not blank (before a line "<MENU>").
std::string BuildBookStructure(std::string_view text, const BookHeader& header,
                               HeadingLevels levels = HeadingLevels::Flat);

// The clean-up operations `format` runs before building a book, in the order given.
enum class CleanupStep { AutoHeadings, Join, DropEmpty, Separator };
struct FormatSteps {
    std::vector<CleanupStep> Steps;
    SeparatorRule Separator;
};

// The book file `format` writes of a text: the steps, both stages (levels from the indents when
// the headings were found by "Автооглавление") and a CR LF after the last line, as the tool's
// window saves it.
std::string FormatBook(std::string_view text, const BookHeader& header, const FormatSteps& steps);

// Stage 2: rewrites every contents line and the totals line of the trailer with its title, Pos,
// Letters and the 38 line counts. Returns false when the text has no trailer. Throws UserError
// for a damaged trailer. `progress` (done, total) is called once per contents line.
bool ComputeBookLineCounts(std::string& text, const std::function<void(int, int)>& progress = {});

// The lines `WrapBookText` makes of `text` at `width`, blank lines not counted; the text is
// wrapped in pieces of 15000 characters running on to the next line break.
std::int64_t CountWrappedLines(std::string_view text, int width);

}  // namespace lectorix
