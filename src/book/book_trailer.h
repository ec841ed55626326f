// The book format: a body followed by a trailer with the contents, the totals and the header.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lectorix {

// Line counts are stored for the widths 16, 18, ..., 90.
inline constexpr int kLineCountWidths = 38;

struct ContentsEntry {
    long long Pos = 0;         // offset of the chapter's first character in the body
    std::int64_t Letters = 0;  // letters of the body before Pos
    // Where the entry's line counts start in the book's (BookContents::LineStep).
    std::uint32_t LineStepsAt = 0;
    int Page = 0;           // first page of the chapter
    int LastPageLines = 0;  // lines on the chapter's last page
    // The title (BookContents::Title): TitleSize characters at TitleAt of the book's titles, or
    // of its body where the chapter's heading reads the same (most books: no copy at all).
    std::uint32_t TitleAt = 0, TitleSize = 0;
    bool TitleInBody = false;
};

struct BookHeader {
    std::string BookAuthor, BookTitle, BookAuthorFirstName, BookAuthorLastName, BookGenre,
        BookSubgenre, BookId, BookCopyright, BookSource;
};

// The nine header tags in the order books are written, each with its value in `header`.
std::array<std::pair<std::string_view, std::string*>, 9> HeaderTags(BookHeader& header);

// A node of the contents tree; node i belongs to entry i.
struct ContentsNode {
    int Parent = -1;  // index of the parent node, -1 at the top level
    int Level = 1;    // 1..4; its text is ContentsNodeText
};

struct BookContents {
    int ContentsCount = 0;
    // ContentsCount entries, then the totals row at index ContentsCount.
    std::vector<ContentsEntry> ContentsEntries;
    std::vector<ContentsNode> Nodes;  // ContentsCount nodes
    BookHeader Header;
    // From the CR LF before "<MENU>" to the end of the text. Emptied by DropRewritableTrailer
    // when WriteBookTrailer gives it back byte for byte; TrailerOf gives it either way.
    std::string BookTrailer;
    bool TrailerDropped = false;
    // What the user should be told about a text that opens although its trailer was damaged, or
    // what the trailer's "<INFOTEXTWARNING>" line says (a converted book cut short...). UTF-8.
    std::string Warning;

    // The title of entry i (CP1251), without the blanks of its level.
    std::string_view Title(size_t i) const;
    // Sets the title of entry i, copied into the titles.
    void SetTitle(size_t i, std::string_view title);
    // Titles that read the same as their chapter's heading in `body` (the book's body) are read
    // there from now on, and the titles keep only the others.
    void ShareTitlesWithBody(std::shared_ptr<const std::string> body);
    // Line counts: the lines before entry i at the width 16 + 2k (every line is at least one
    // of the characters before it). Held as the step from the entry before, and across the widths
    // as the changes from one width to the next, mostly 0 or -1 and so a bit each: a book of
    // thousands of short chapters would otherwise spend 152 bytes on each.
    // The lines from entry i - 1 to entry i at the width 16 + 2k (before entry 0 for i = 0).
    std::int64_t LineStep(size_t i, int k) const;
    // The same at every width at once.
    std::array<std::int64_t, kLineCountWidths> LineSteps(size_t i) const;
    // All line counts of entry i (adds up the steps of the entries before it).
    std::array<std::int64_t, kLineCountWidths> LineCounts(size_t i) const;
    // Sets the line counts of every entry, a row per entry.
    void SetLineCounts(const std::vector<std::array<std::int32_t, kLineCountWidths>>& counts);

    // The room the copied titles take.
    size_t TitlesCapacity() const { return titles_.capacity(); }

  private:
    std::string titles_;  // the titles not read in the body, one after another
    // kLineCountWidths steps per entry from its LineStepsAt (PutSteps in the .cpp).
    std::vector<std::uint8_t> lineSteps_;
    std::shared_ptr<const std::string> body_;
};

// A number field of a contents line (decimal, blanks around it allowed). Throws UserError
// naming the field and its line (0-based index) when it is not one.
std::int64_t ParseContentsNumber(const std::string& field, size_t line);

// The header value of a line: what follows the tag and its "|", without the last character.
// A final dot that is the value's only dot is dropped.
std::string TagValue(std::string_view line, std::string_view tag);

// Recognises a book by its last non-blank line. For a book, fills `book`, cuts the trailer off
// `text` and returns true; otherwise returns false. Blank lines at the end of the text are
// removed either way. A damaged trailer throws UserError and leaves `text` as it was: a missing
// "<MENU>" or "<INFOTEXTlen>" line, numbers that are no numbers, positions outside the body or
// running backwards, letters or line counts that are negative, shrink from one entry to the next
// or exceed the characters before their entry. A text that ends in a "<MENU>" line followed only
// by trailer lines lost its end mark: it returns false with the body alone in `text` and
// `book.Warning` set. A book whose trailer lists no chapter has ContentsCount 0.
// `progress` (done, total) is called while the contents load.
bool ParseBookTrailer(std::string& text, BookContents& book,
                      const std::function<void(int, int)>& progress = {});

// The trailer of `book` written from its entries, levels, header and warning, as the program's
// own books write it: from the CR LF before "<MENU>" to "<INFOTEXTEND>".
std::string WriteBookTrailer(const BookContents& book);

// A book holds its trailer's every number and title already: a trailer that WriteBookTrailer
// writes again byte for byte is let go (a book of thousands of entries saves megabytes). Any
// other trailer (a hand-made book's blanks, signs, extra fields or lines) is kept as it is.
void DropRewritableTrailer(BookContents& book);

// The book's trailer as it was read: kept or written again. Empty for a plain text.
std::string TrailerOf(const BookContents& book);

// The width class whose stored line counts serve a line width; widths outside 16..90 use the
// nearest stored one.
int WidthClass(int charsPerLine);

// Page numbers of the chapters at a page size; sets every entry's Page and LastPageLines.
// Returns the number of pages of the book.
int ComputeChapterPages(BookContents& book, int charsPerLine, int linesPerPage);

// The contents tree's text of entry i: its title and its first page ("Title  стр.-N-").
// What stands between an entry's title and its page number in its text ("  стр.-", CP1251).
inline constexpr std::string_view kPagePrefix = "  \xF1\xF2\xF0.-";
std::string ContentsNodeText(const BookContents& book, size_t i);

}  // namespace lectorix
