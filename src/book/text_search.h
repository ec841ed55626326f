// Finding a text the user typed in the opened text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

// Position of the first match of `needle` in `text` at or after `from`, or -1. Letter case is
// ignored by the CP1251 table, and every run of white space in `needle` matches any run of
// white space in `text`, so a phrase is found across the line breaks of a hard-wrapped text.
// White space around `needle` is ignored; a needle of nothing but white space matches nothing.
long long FindText(std::string_view text, std::string_view needle, long long from);

// A match as FindText finds it: from `Start` up to `End`, exclusive; both -1 when there is none.
struct TextMatch {
    long long Start = -1, End = -1;
};
TextMatch FindTextMatch(std::string_view text, std::string_view needle, long long from);

// The part of a shown line that a match covers.
struct LineSpan {
    int Line = 0, Column = 0, Length = 0;
    friend bool operator==(const LineSpan&, const LineSpan&) = default;
};

// Where the match number `occurrence` (from 0, counting every start as FindText steps through
// the text) falls on the lines of a page as they are shown: one span for each line it covers.
// A line end counts as white space. Empty when the lines hold fewer matches.
std::vector<LineSpan> MatchOnLines(const std::vector<std::string>& lines, std::string_view needle,
                                   int occurrence);

}  // namespace lectorix
