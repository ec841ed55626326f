// What the FB2 and EPUB converters share: turning the UTF-8 text of a document into CP1251
// lines, and collecting body lines and contents entries into a complete book.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_trailer.h"
#include "formatter/first_part.h"

namespace lectorix {

// Gathers the text of one line from UTF-8 pieces: white space (line breaks included) shrinks to
// one blank, characters CP1251 lacks become '?', soft hyphens and zero-width characters go.
class LineBuilder {
  public:
    void Add(std::string_view utf8);
    // Ends the word before what comes next (a table cell, a <br>).
    void Blank() { blank_ = !line_.empty(); }
    bool Empty() const { return line_.empty(); }
    size_t Size() const { return line_.size(); }
    // The line without blanks at its ends, and a fresh start.
    std::string Take();

  private:
    std::string line_;
    bool blank_ = false;
};

// One cleaned CP1251 line of `utf8` (header values, titles).
std::string CleanLine(std::string_view utf8);

// Joins the paragraphs of a title with ". ", or a blank after one that ends a sentence already.
std::string JoinTitle(const std::vector<std::string>& parts);

// The most contents entries a converted book gets: past them headings are plain lines, so that
// neither the book's trailer nor the contents tree grow out of all proportion.
inline constexpr size_t kMaxContentsEntries = 50000;

// The trailer line that carries what the reader should be told about a converted book (cut
// short, read in another encoding...): `ParseBookTrailer` gives it as the book's warning.
inline constexpr std::string_view kWarningTag = "<INFOTEXTWARNING>";

class BookAssembler {
  public:
    // `cap`: the most body bytes; lines past it are dropped and Full() turns true.
    explicit BookAssembler(size_t cap, size_t maxEntries = kMaxContentsEntries);

    void AddLine(const std::string& cp1251);  // a body line, two blanks before it
    // A line set apart from the prose (a verse line, an epigraph, its author): four blanks
    // before it, which the page shows as it stands, never stretched, whatever it wraps into.
    void AddApartLine(const std::string& cp1251);
    // A heading line (three blanks) with a contents entry at `level` (1 and up: the book gets
    // at most 4, each entry at most one deeper than the entry before it).
    void AddHeading(const std::string& cp1251, int level);
    // A contents entry at the next line, which becomes a heading.
    void AddEntryHere(const std::string& title, int level);
    size_t EntryCount() const { return entries_.size(); }
    // The entries from index `from` on go one level deeper (under a title above them).
    void DeepenEntries(size_t from);
    bool Full() const { return full_; }
    bool HasText() const { return !body_.empty(); }
    // A sentence (UTF-8) the reader shows once the book is open.
    void AddWarning(const std::string& utf8);

    // The whole book in CP1251 with CR LF, line counts included. When no entry stands at the
    // first character, one titled `firstTitle` is put there, so the reader hides nothing; a
    // first heading of that title right after it is then the same chapter, listed once.
    // The book's first chapters (at least kFirstPartChars of its body, whole chapters) go to
    // `firstPart` as a book of their own, line counts included, as soon as they are read: when
    // the heading after them comes. `header` gives the book's header as far as it is known
    // then. Books whose first chapters are large (past 1 MB) give none.
    void OfferFirstPart(FirstPart firstPart, std::function<BookHeader()> header);

    // With `firstPart` (and no first part given while reading), the first chapters are handed
    // to it here, before the whole book is counted, unless they are most of the book.
    std::string Finish(BookHeader header, const std::string& firstTitle,
                       const std::function<void(int, int)>& progress,
                       const FirstPart& firstPart = {});

  private:
    struct Entry {
        std::string Title;
        int Level;
        long long Pos;
        std::int64_t Letters;
    };
    // What Finish does to the entries before the trailer is written: an entry at the first
    // character, the title page and a first heading of the same title made one, levels fitted.
    static void SettleEntries(std::vector<Entry>& entries, const std::string& firstTitle);
    // The trailer of the first `count` of `entries`, the book `letters` letters long.
    static std::string TrailerOf(const std::vector<Entry>& entries, size_t count,
                                 std::int64_t letters, BookHeader header,
                                 const std::string& warnings);
    // The first part, from the body read so far and its entries.
    void GiveFirstPart();
    FirstPart firstPart_;
    std::function<BookHeader()> partHeader_;
    bool partGiven_ = false;
    void Push(std::string line);

    size_t cap_, maxEntries_;
    bool full_ = false;
    std::string body_;  // the lines so far, each with its CR LF
    std::vector<Entry> entries_;
    size_t entriesDropped_ = 0;
    std::string warnings_;
    bool headingNext_ = false;  // an entry waits for the next line
    std::int64_t letters_ = 0;
};

}  // namespace lectorix
