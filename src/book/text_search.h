// Finding a text the user typed in the opened text.
#pragma once

#include <string_view>

namespace lectorix {

// Position of the first match of `needle` in `text` at or after `from`, or -1. Letter case is
// ignored by the CP1251 table, and every run of white space in `needle` matches any run of
// white space in `text`, so a phrase is found across the line breaks of a hard-wrapped text.
// White space around `needle` is ignored; a needle of nothing but white space matches nothing.
long long FindText(std::string_view text, std::string_view needle, long long from);

}  // namespace lectorix
