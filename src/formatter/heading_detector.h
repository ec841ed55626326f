// "Автооглавление": finds the headings of a raw text by rules a user can check, and lays the
// text out so that "Оглавление" makes them the book's contents with their levels.
#pragma once

#include <string_view>

#include "formatter/format_operations.h"

namespace lectorix {

// The longest line that may be a heading.
inline constexpr size_t kHeadingMaxLength = 60;

// What kind of heading a line is, highest first; a kind deeper in the book gets a higher rank.
enum class HeadingKind {
    None,
    Volume,    // "Том 1"
    Part,      // "Часть первая"
    Book,      // "Книга вторая"
    Chapter,   // "Глава XII", "Глава двадцать третья"
    Numbered,  // "IV", "12", "IV. Название"
    Break,     // "* * *"
    Framing,  // "Пролог", "Эпилог", "Предисловие", "Послесловие", "От автора"
    Notes,  // "Примечания", "Комментарии", "Сноски": numbers after it are notes, not chapters
};

// The kind of one line taken alone (its text without blanks around it): the heading patterns,
// any letter case, at most kHeadingMaxLength characters, no final punctuation.
HeadingKind HeadingKindOf(std::string_view line);

struct HeadingsFound {
    int Headings = 0;  // the title of the text included
    int Levels = 0;    // 1 to 3
};

// Marks the headings of `lines` (up to a line "<MENU>", which with the rest stays as it is):
// a line matching a pattern that stands alone (between blank lines; in a text of one paragraph
// a line, between longer lines; a heading beside it counts as either) becomes one blank line
// followed by the heading indented by its level: three blanks for the highest kind the text
// has, five for the next, seven below. A numeral alone takes the next short line that stands
// alone as its title ("IV. Название"); the short lines opening the text (author, title) become
// its first heading, joined the same way. Every other blank line goes, and every paragraph
// begins with two blanks, so "Выпрямить" still finds the paragraphs of a text wrapped by hand.
// Nothing changes when no heading is found.
HeadingsFound MarkHeadings(Lines& lines);

}  // namespace lectorix
