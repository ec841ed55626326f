// The two word wraps of the reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

// The program's own wrap at `width` columns, shared by the reader (books) and the book writer,
// so that the line counts stored in a book agree with the pages shown. Inserts CR LF breaks.
std::string WrapBookText(std::string_view text, int width);

// The lines WrapBookText makes of `text` that hold a character above the blank, counted as the
// wrap goes: the same figure as splitting its text at CR LF, without making it.
std::int64_t CountNonBlankWrappedLines(std::string_view text, int width);

// The wrap of a text box `width` characters wide, used for plain texts: explicit line breaks
// are kept, a line breaks at its last blank that fits, and only a word longer than the whole
// line is split. The blank at a break is not carried to the next row.
std::vector<std::string> WrapPlainText(std::string_view text, int width);

}  // namespace lectorix
