// Clean-up of a plain-text chunk before it is laid out: paragraph detection and blanks.
#pragma once

#include <string>
#include <string_view>

namespace lectorix {

// Marks a paragraph start inside a chunk while it is prepared; never stored or shown.
inline constexpr std::string_view kParagraphMark = "<TOF>";

// A line after a blank line, a line opened by a tab and a line opened by one to six blanks
// start a paragraph: the line break and the indent become CR LF "<TOF>". Runs of blank lines
// shrink to one blank line first. With `everyLine`, every other line starts one too.
std::string MarkParagraphs(std::string chunk, bool everyLine = false);

// Lines longer than this are the paragraphs of a text written one paragraph a line.
inline constexpr size_t kLongLine = 100;

// True when `text` is written one paragraph a line: of its lines that are not blank, taken
// without their trailing white space, those longer than kLongLine hold at least half of all
// the characters. Texts wrapped by hand have few lines that long; verse has none.
bool IsOneParagraphALine(std::string_view text);

// Makes the chunk one line of single blanks: line breaks, tabs and no-break spaces become
// blanks, "®" becomes "ъ", and runs of blanks shrink to one.
std::string NormalizeSpaces(std::string_view text);

// Every " <TOF>" becomes CR LF followed by `indent`.
std::string ExpandParagraphMarks(std::string text, std::string_view indent);

}  // namespace lectorix
