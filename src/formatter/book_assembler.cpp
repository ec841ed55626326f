#include "formatter/book_assembler.h"

#include <malloc.h>

#include <algorithm>

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"

namespace lectorix {
namespace {

constexpr size_t kTitleCap = 300;

// The next code point of well-formed-or-not UTF-8; a stray byte reads as U+FFFD.
char32_t NextCodePoint(std::string_view s, size_t& i) {
    const auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (more < 0 || b > 0xF4) return 0xFFFD;
    char32_t cp = b & (0x3F >> more);
    for (; more > 0; --more) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

bool IsSpace(char32_t cp) {
    return cp <= 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) ||
           (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x205F ||
           cp == 0x3000;
}

// Invisible characters: they only steer hyphenation and joining.
bool IsDropped(char32_t cp) {
    return cp == 0xAD || (cp >= 0x200B && cp <= 0x200F) || cp == 0x2060 || cp == 0xFEFF;
}

// A title may hold no field separator, a title or header value nothing a trailer line is found by.
std::string TrailerSafe(std::string s, bool title = true) {
    for (char& c : s) {
        if (c == '|' && title) c = '/';
        if (c == '<') c = '\x8B';
        if (c == '>') c = '\x9B';
    }
    return s;
}

// Titles that differ only in letter case, blanks and punctuation.
bool SameTitle(std::string_view a, std::string_view b) {
    auto next = [](std::string_view s, size_t& i) {
        while (i < s.size() && IsLetterSeparator(s[i]))
            ++i;
        return i < s.size() ? Cp1251Lower(s[i++]) : '\0';
    };
    size_t i = 0, j = 0;
    for (;;) {
        const char x = next(a, i), y = next(b, j);
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

}  // namespace

void LineBuilder::Add(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        if (IsDropped(cp)) continue;
        if (IsSpace(cp)) {
            blank_ = !line_.empty();
            continue;
        }
        if (blank_) line_ += ' ';
        blank_ = false;
        const int c = cp == 0x202F ? 0xA0 : UnicodeToCp1251(cp);
        line_ += c < 0 ? '?' : static_cast<char>(c);
    }
}

std::string LineBuilder::Take() {
    std::string out = std::move(line_);
    line_.clear();
    blank_ = false;
    // No-break spaces alone make no line.
    if (out.find_first_not_of('\xA0') == std::string::npos) out.clear();
    return out;
}

std::string CleanLine(std::string_view utf8) {
    LineBuilder b;
    b.Add(utf8);
    return b.Take();
}

std::string JoinTitle(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty()) continue;
        if (!out.empty())
            out += std::string_view(".!?:;\x85").find(out.back()) == std::string_view::npos ? ". "
                                                                                            : " ";
        out += p;
    }
    return out;
}

BookAssembler::BookAssembler(size_t cap, size_t maxEntries) : cap_(cap), maxEntries_(maxEntries) {}

void BookAssembler::Push(std::string line) {
    if (full_) return;
    if (body_.size() + line.size() + 2 > cap_) {
        full_ = true;
        AddWarning("Книга длиннее " + std::to_string(cap_ >> 20) + " МБ: открыто её начало.");
        return;
    }
    letters_ += CountLetters(line);
    body_ += line;
    body_ += "\r\n";
}

void BookAssembler::AddLine(const std::string& cp1251) {
    if (cp1251.empty()) return;
    Push((headingNext_ ? "   " : "  ") + cp1251);
    headingNext_ = false;
}

void BookAssembler::AddApartLine(const std::string& cp1251) {
    if (cp1251.empty()) return;
    // An entry may stand at it: its position is the line's, whatever the line's blanks.
    Push("    " + cp1251);
    headingNext_ = false;
}

void BookAssembler::DeepenEntries(size_t from) {
    for (size_t i = from; i < entries_.size(); ++i)
        ++entries_[i].Level;
}

void BookAssembler::SettleEntries(std::vector<Entry>& entries, const std::string& firstTitle) {
    if (entries.empty() || entries.front().Pos > 0) {
        const std::string title = firstTitle.empty() ? Utf8ToCp1251("Начало") : firstTitle;
        entries.insert(entries.begin(), Entry{TrailerSafe(title.substr(0, kTitleCap)), 1, 0, 0});
    }
    // The book's title on its title page and again as the first heading: one chapter, which
    // holds what the first heading's siblings would have been held by.
    if (entries.size() > 1 && !firstTitle.empty() &&
        SameTitle(entries[0].Title, TrailerSafe(firstTitle.substr(0, kTitleCap))) &&
        SameTitle(entries[1].Title, entries[0].Title)) {
        const int deeper = entries[1].Level - entries[0].Level;
        entries.erase(entries.begin() + 1);
        for (size_t i = 1; deeper > 0 && i < entries.size(); ++i)
            entries[i].Level = std::max(1, entries[i].Level - deeper);
    }
    int before = 0;
    for (Entry& e : entries)
        before = e.Level = std::clamp(e.Level, 1, std::min(4, before + 1));
}

std::string BookAssembler::TrailerOf(const std::vector<Entry>& entries, size_t count,
                                     std::int64_t letters, BookHeader header,
                                     const std::string& warnings) {
    static constexpr std::string_view kIndent[] = {"", "   ", "     ", "       "};
    std::string trailer = "<MENU>\r\n";
    for (size_t i = 0; i < count; ++i) {
        const Entry& e = entries[i];
        trailer += kIndent[e.Level - 1];
        trailer +=
            e.Title + "|" + std::to_string(e.Pos) + "|" + std::to_string(e.Letters) + "|\r\n";
    }
    trailer += "<INFOTEXTlen>|0|" + std::to_string(letters) + "|\r\n";
    for (const auto& [tag, value] : HeaderTags(header))
        trailer += std::string(tag) + "|" + TrailerSafe(*value, false) + "|\r\n";
    if (!warnings.empty())
        trailer +=
            std::string(kWarningTag) + "|" + TrailerSafe(Utf8ToCp1251(warnings), false) + "|\r\n";
    trailer += "<INFOTEXTEND>";
    return trailer;
}

void BookAssembler::OfferFirstPart(FirstPart firstPart, std::function<BookHeader()> header) {
    firstPart_ = std::move(firstPart);
    partHeader_ = std::move(header);
}

void BookAssembler::GiveFirstPart() {
    partGiven_ = true;
    std::vector<Entry> entries = entries_;
    const BookHeader header = partHeader_ ? partHeader_() : BookHeader{};
    SettleEntries(entries, header.BookTitle);
    // Its last chapter runs on to the heading now coming with its line break, as in the whole
    // book; the body's own closing line break follows it, so its pages are the same. Any
    // warning waits for the whole book, so it is said once.
    std::string part = body_ + "\r\n";
    part += TrailerOf(entries, entries.size(), letters_, header, {});
    ComputeBookLineCounts(part);
    firstPart_(std::move(part));
}

void BookAssembler::AddEntryHere(const std::string& title, int level) {
    if (full_ || title.empty()) return;
    if (entries_.size() >= maxEntries_) {
        ++entriesDropped_;
        return;
    }
    // The chapters read so far make the first part once they are enough: two entries at least,
    // so that the title page is settled as in the whole book, and none of them still empty.
    if (firstPart_ && !partGiven_ && body_.size() >= kFirstPartChars && entries_.size() >= 2 &&
        entries_.back().Pos < static_cast<long long>(body_.size())) {
        if (body_.size() > kFirstPartMax)
            partGiven_ = true;  // counting them twice would cost more than it saves
        else
            GiveFirstPart();
    }
    std::string t = TrailerSafe(title.substr(0, kTitleCap));
    entries_.push_back({std::move(t), level, static_cast<long long>(body_.size()), letters_});
    headingNext_ = true;
}

void BookAssembler::AddHeading(const std::string& cp1251, int level) {
    if (cp1251.empty() || full_) return;
    AddEntryHere(cp1251, level);
    AddLine(cp1251);
}

void BookAssembler::AddWarning(const std::string& utf8) {
    if (!warnings_.empty()) warnings_ += ' ';
    warnings_ += utf8;
}

std::string BookAssembler::Finish(BookHeader header, const std::string& firstTitle,
                                  const std::function<void(int, int)>& progress,
                                  const FirstPart& firstPart) {
    if (body_.empty()) throw UserError("в книге нет текста");
    // Entries that no line followed point past the body.
    const auto end = static_cast<long long>(body_.size());
    while (!entries_.empty() && entries_.back().Pos >= end)
        entries_.pop_back();
    SettleEntries(entries_, firstTitle);
    if (entriesDropped_ > 0)
        AddWarning("В книге больше " + std::to_string(maxEntries_) + " глав: в содержании первые " +
                   std::to_string(maxEntries_) + ".");
    if (firstPart && !partGiven_) {
        // The chapters that fill the first pages, as a book of their own: counted in a moment,
        // they can be read while the rest of the book is counted. Not worth it for a book
        // whose first chapters are most of it.
        size_t count = 1;
        while (count < entries_.size() &&
               entries_[count].Pos < static_cast<long long>(kFirstPartChars))
            ++count;
        if (count < entries_.size() && entries_[count].Pos <= end / 2) {
            // Its last chapter runs on to the next heading with its line break, as in the whole
            // book; the body's own closing line break follows it, so its pages are the same.
            std::string part = body_.substr(0, static_cast<size_t>(entries_[count].Pos));
            part += "\r\n";
            part += TrailerOf(entries_, count, entries_[count].Letters, header, {});
            ComputeBookLineCounts(part);
            firstPart(std::move(part));
        }
    }
    const std::string trailer = TrailerOf(entries_, entries_.size(), letters_, header, warnings_);
    std::vector<Entry>().swap(entries_);  // gone before the line counts take their memory
    std::string text = std::move(body_);
    text.reserve(text.size() + trailer.size());
    text += trailer;
    // What the reading of the document freed goes back to the system before the line counts
    // write a trailer that may be larger than the body: glibc keeps freed memory otherwise.
    malloc_trim(0);
    ComputeBookLineCounts(text, progress);
    return text;
}

}  // namespace lectorix
