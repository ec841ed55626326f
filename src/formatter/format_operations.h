// The editing operations of the formatting tool, on the lines of a CP1251 text. The tool's
// window only hands its text in and shows what comes back; the command line runs the same ones.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

using Lines = std::vector<std::string>;

// A place in a text of lines: the line's index and the byte within the line.
struct TextPoint {
    size_t Line = 0;
    size_t Column = 0;
    bool operator==(const TextPoint&) const = default;
};

// "Выпрямить": from line 1 on, a line that is not empty and does not begin with a blank is
// appended to the line before it with one blank between, so a paragraph wrapped by hand whose
// first line is indented becomes one line.
void JoinWrappedLines(Lines& lines);

// "Enter": from line 1 on, every empty line goes.
void DeleteEmptyLines(Lines& lines);

// "разделитель": an empty line before each line (from line 1 on) whose indent matches: exactly
// `Indent` blanks with `Equal`, else more than `Indent` with `More`, else exactly `Indent` - 1
// (neither box checked, `Indent` above 1) or `Indent`.
struct SeparatorRule {
    int Indent = 2;
    bool More = true;
    bool Equal = false;
};
void InsertSeparators(Lines& lines, const SeparatorRule& rule);

// "Add Пробелы": in `selected`, every line break followed by a blank gets `blanks` more blanks
// after that blank.
std::string AddBlanksAfterBreaks(std::string_view selected, int blanks);

// "Без точки+5": from line 1 on, a line that (without its trailing white space) has 1 to 299
// characters and ends with ")", a digit or a letter gets five blanks before it.
void IndentUnpunctuatedLines(Lines& lines);

// "Анализ": how many lines begin with 0, 1, ... 100 blanks, as "| n=count " for every count
// that is not 0; lines with more blanks are counted together at the end as "| >100=count ".
// A line of blanks only counts its length.
std::string LeadingBlanksReport(const Lines& lines);

// What the user answered to one question about a line.
enum class Decision { Yes, No, Stop };
// Asked for a place in the text as it was before the operation: the line, the column and the
// length of what is meant.
using AskAbout = std::function<Decision(TextPoint at, size_t length)>;

// "Удалить": every line containing `what` is offered (the whole line) and removed on Yes; Stop
// ends the questions, keeping what was decided. Nothing happens for an empty `what`. Returns
// the lines removed.
size_t DeleteLinesContaining(Lines& lines, std::string_view what, const AskAbout& ask);

// "Заменить": in every line containing `what` (letter case counts), every occurrence becomes
// `with`; when `ask` is given, only the first occurrence of the line is offered and replaced on
// Yes. Returns the replacements made. `with` may hold line breaks: they split the line.
size_t ReplaceInLines(Lines& lines, std::string_view what, std::string_view with,
                      const AskAbout& ask);

// "Найти": the first line that starts at or after `caret` and contains `what` (letter case
// counts), and where in it; nothing when there is none or `what` is empty.
std::optional<TextPoint> FindFromCaret(const Lines& lines, TextPoint caret, std::string_view what);

// The place of a byte offset of the text the lines make (CR LF counting two); an offset past
// the end is the end.
TextPoint PointOfOffset(const Lines& lines, long long offset);
long long OffsetOfPoint(const Lines& lines, TextPoint point);

// The trailer the tool shows beside the text: from the line "<MENU>" to the end; empty when the
// text has none.
std::string TrailerOf(std::string_view text);
// `text` with its trailer (from the line "<MENU>" on) replaced by `trailer`; a text without a
// trailer gets it after its last line.
std::string WithTrailer(std::string_view text, std::string_view trailer);
// True when the trailer has a contents line or a totals line without its 38 line counts, which
// the reader cannot open ("страницы" not run since the last "Оглавление").
bool TrailerLacksLineCounts(std::string_view text);

// The double-click on a contents line ("Del"): the entry on line `entry` of `trailer` is taken
// out of the contents and its heading, looked for at the entry's position in `text` and else
// from `caret` on, becomes an ordinary line (it loses its first blank). The positions of the
// entries after it move back by that blank. Returns the heading's place in `text` when it was
// found; lines that are no contents entry ("<MENU>", the totals, the header) stay.
struct Withdrawal {
    bool Removed = false;              // the entry left the trailer
    std::string Title;                 // its title without trailing blanks
    std::optional<TextPoint> Heading;  // where its heading was found in the text
};
Withdrawal WithdrawContentsEntry(Lines& text, Lines& trailer, size_t entry, TextPoint caret);

// The name "Сохранить" proposes for the reader's file: ".txt" and ".rtf" in the file's name
// (either case) become ".lxb", and ".lxb" is added when the name does not end with it. Paths
// are UTF-8; the folders are left as they are. "Книга.lxb" when there is no file.
std::string BookFileName(const std::string& readerFile);
// The name "Save As" proposes: "Автор. Название.lxb" beside `readerFile` (in its folder);
// a "/" of the author or the title would make a folder and becomes "_".
std::string AuthorTitleFileName(const std::string& readerFile, const std::string& authorUtf8,
                                const std::string& titleUtf8);

// The bytes of a saved text: every line followed by CR LF, the last one too.
std::string MemoFileBytes(std::string_view text);

}  // namespace lectorix
