#include "book/book_trailer.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"

namespace lectorix {
namespace {

constexpr std::string_view kMenu = "<MENU>";
constexpr std::string_view kTotals = "<INFOTEXTlen>";
constexpr std::string_view kEnd = "<INFOTEXTEND>";
constexpr std::string_view kWarning = "<INFOTEXTWARNING>";
// "  стр.-" in CP1251: the page number after a contents title.

}  // namespace

std::int64_t ParseContentsNumber(const std::string& field, size_t line) {
    const auto v = ParseWholeNumber<std::int64_t>(Trim(field), PlusSign::Allowed);
    if (!v) {
        // The toolkit's own words for a failed conversion, with the line it was found on.
        throw UserError("'" + Cp1251ToUtf8(field) + "' is not a valid integer value (" + "строка " +
                        std::to_string(line + 1) + " книги)");
    }
    return *v;
}

namespace {

struct Line {
    size_t start, end;  // end excludes the line break
};

// The lines of text[from, to), offsets into the whole text.
std::vector<Line> LinesOf(std::string_view text, size_t from, size_t to) {
    std::vector<Line> lines;
    size_t start = from;
    for (size_t i = from; i < to; ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back({start, i});
            if (text[i] == '\r' && i + 1 < to && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < to) lines.push_back({start, to});
    return lines;
}

// Start of the line that holds (or ends at) `pos`.
size_t LineStart(std::string_view text, size_t pos) {
    while (pos > 0 && text[pos - 1] != '\n' && text[pos - 1] != '\r')
        --pos;
    return pos;
}

// End of the line before the one starting at `start` (which must not be 0).
size_t PreviousLineEnd(std::string_view text, size_t start) {
    return start >= 2 && text[start - 1] == '\n' && text[start - 2] == '\r' ? start - 2 : start - 1;
}

bool IsNumberField(std::string_view field) {
    field = Trim(field);
    if (!field.empty() && (field[0] == '+' || field[0] == '-')) field.remove_prefix(1);
    return !field.empty() &&
           std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A line a trailer is made of: a header line, or a title followed by number fields. The last
// line of a cut-off file may stop anywhere in such a line.
bool IsTrailerShaped(std::string_view line, bool cutOff) {
    if (line.starts_with("<INFOTEXT")) return true;
    const size_t bar = line.find('|');
    if (bar == std::string_view::npos) return cutOff;
    std::string_view rest = line.substr(bar + 1);
    for (size_t next; (next = rest.find('|')) != std::string_view::npos;
         rest.remove_prefix(next + 1)) {
        if (!IsNumberField(rest.substr(0, next))) return false;
    }
    return rest.empty() || (cutOff && IsNumberField(rest));
}

// Start of the "<MENU>" line of a trailer that lost its last bytes, or npos when the text does
// not end in one. `lastStart`/`lastEnd` bound the last non-blank line.
size_t FindCutOffMenu(std::string_view text, size_t lastStart, size_t lastEnd) {
    bool cutLine = true;
    for (size_t start = lastStart, end = lastEnd;;) {
        const std::string_view line = text.substr(start, end - start);
        if (Trim(line) == kMenu) return start;
        if (!IsTrailerShaped(line, cutLine) || start == 0) return std::string_view::npos;
        cutLine = false;
        end = PreviousLineEnd(text, start);
        start = LineStart(text, end);
    }
}

std::string Quoted(std::string_view cp1251) {
    return "\xC2\xAB" + Cp1251ToUtf8(cp1251) + "\xC2\xBB";
}

[[noreturn]] void Damaged(const std::string& what) {
    throw UserError("Содержание книги повреждено: " + what);
}

// Positions must run forwards and stay inside the body, letters and line counts must grow with
// them and fit in the characters before them, or pages would be cut wrongly and the arithmetic
// on them overflow. `bodyLength` is the body without the CR LF before "<MENU>".
using LineCountRows = std::vector<std::array<std::int32_t, kLineCountWidths>>;

void CheckContents(const BookContents& book, const LineCountRows& counts, long long bodyLength) {
    const auto& e = book.ContentsEntries;
    const size_t count = static_cast<size_t>(book.ContentsCount);
    auto name = [&](size_t i) {
        return i == count ? std::string("строки итогов") : "главы " + Quoted(book.Title(i));
    };
    for (size_t i = 0; i <= count; ++i) {
        const ContentsEntry& entry = e[i];
        const long long limit = i == count ? bodyLength + 2 : bodyLength;
        if (entry.Pos < 0 || entry.Pos > limit)
            Damaged("позиция " + std::to_string(entry.Pos) + " " + name(i) +
                    " за пределами текста длиной " + std::to_string(bodyLength));
        if (i > 0 && entry.Pos < e[i - 1].Pos)
            Damaged("позиция " + std::to_string(entry.Pos) + " " + name(i) +
                    " меньше позиции предыдущей");
        if (entry.Letters < 0 || entry.Letters > entry.Pos)
            Damaged("число знаков " + std::to_string(entry.Letters) + " " + name(i) +
                    " вне пределов от 0 до её позиции");
        for (int k = 0; k < kLineCountWidths; ++k) {
            const std::int64_t lines = counts[i][static_cast<size_t>(k)];
            // Every counted line holds at least one character before Pos.
            const char* wrong = lines < 0 ? " меньше нуля"
                                : lines > entry.Pos ? " больше числа знаков перед ней"
                                : i > 0 && lines < counts[i - 1][static_cast<size_t>(k)]
                                    ? " меньше, чем у предыдущей"
                                    : nullptr;
            if (wrong)
                Damaged("число строк " + std::to_string(lines) + " " + name(i) + " при ширине " +
                        std::to_string(16 + 2 * k) + wrong);
        }
    }
}

}  // namespace

std::array<std::pair<std::string_view, std::string*>, 9> HeaderTags(BookHeader& h) {
    return {{{"<INFOTEXTAUTOR>", &h.BookAuthor},
             {"<INFOTEXTNAME>", &h.BookTitle},
             {"<INFOTEXTAUTORFIRSTNAME>", &h.BookAuthorFirstName},
             {"<INFOTEXTAUTORLASTNAME>", &h.BookAuthorLastName},
             {"<INFOTEXTGENRE>", &h.BookGenre},
             {"<INFOTEXTSUBGENRE>", &h.BookSubgenre},
             {"<INFOTEXTBOOKID>", &h.BookId},
             {"<INFOTEXTCOPYRIGHT>", &h.BookCopyright},
             {"<INFOTEXTSOURCE>", &h.BookSource}}};
}

std::string TagValue(std::string_view line, std::string_view tag) {
    const size_t at = line.find(tag);
    if (at == std::string_view::npos) return {};
    const size_t from = tag.size() + 1;  // after the tag and its "|"
    if (line.size() < from + 1) return {};
    std::string value(line.substr(from, line.size() - 1 - from));
    if (!value.empty() && value.find('.') == value.size() - 1) value.pop_back();
    return value;
}

bool ParseBookTrailer(std::string& text, BookContents& book,
                      const std::function<void(int, int)>& progress) {
    book = BookContents{};
    const std::string_view all = text;
    // Fewer than two lines: nothing to do.
    const size_t firstBreak = all.find_first_of("\r\n");
    if (firstBreak == std::string_view::npos) return false;
    const size_t second = firstBreak + (all.substr(firstBreak, 2) == "\r\n" ? 2 : 1);
    if (second >= all.size()) return false;

    // Blank lines at the end go, with the line break before them. Only the end of the text is
    // looked at, so a long plain text costs nothing here.
    const size_t trimmed = TrimRight(all).size();
    if (trimmed == 0) {
        text.clear();
        return false;
    }
    const size_t brk = all.find_first_of("\r\n", trimmed);
    const size_t bodyEnd = brk == std::string_view::npos ? all.size() : brk;
    const size_t lastStart = LineStart(all, bodyEnd);
    if (all.substr(lastStart, bodyEnd - lastStart).find(kEnd) == std::string_view::npos) {
        // A book whose end was cut off: its body opens without the remains of the contents.
        const size_t menu = FindCutOffMenu(all, lastStart, bodyEnd);
        if (menu != std::string_view::npos) {
            text.resize(menu == 0 ? 0 : PreviousLineEnd(all, menu));
            book.Warning =
                "Содержание книги повреждено: конец файла потерян. Книга открыта "
                "как текст без содержания.";
            return false;
        }
        text.resize(bodyEnd);
        return false;
    }

    // Upwards from the end: the totals line, then the menu line above it.
    const size_t totalsAt = all.substr(0, bodyEnd).rfind(kTotals);
    if (totalsAt == std::string_view::npos)
        throw UserError("В книге нет строки \"" + std::string(kTotals) + "\"");
    const size_t totalsStart = LineStart(all, totalsAt);
    if (totalsStart == lastStart) Damaged("нет строки итогов");
    const size_t menuAt =
        totalsStart == 0 ? std::string_view::npos : all.substr(0, totalsStart).rfind(kMenu);
    if (menuAt == std::string_view::npos)
        throw UserError("В книге нет строки \"" + std::string(kMenu) + "\"");
    const size_t menuStart = LineStart(all, menuAt);
    // Line 0 is the menu line, the last one the end mark; only the trailer is split.
    std::vector<Line> lines = LinesOf(all, menuStart, bodyEnd);
    const size_t last = lines.size();
    auto lineText = [&](size_t i) {
        return all.substr(lines[i].start, lines[i].end - lines[i].start);
    };
    size_t totalsLine = 0;
    while (lines[totalsLine].start != totalsStart)
        ++totalsLine;
    const size_t firstEntry = 1;

    BookContents parsed;
    // Header lines below the totals, in any order; the lowest of a repeated tag wins.
    const auto tags = HeaderTags(parsed.Header);
    for (size_t i = last; i-- > totalsLine;) {
        const std::string_view line = lineText(i);
        for (const auto& [tag, value] : tags) {
            if (value->empty()) *value = TagValue(line, tag);
        }
        if (line.starts_with(kWarning) && line.size() > kWarning.size() + 1 &&
            parsed.Warning.empty())
            parsed.Warning =
                Cp1251ToUtf8(line.substr(kWarning.size() + 1, line.size() - kWarning.size() - 2));
    }

    const size_t count = totalsLine - firstEntry;
    // The line numbers in messages count from the top of the file.
    const size_t menuLineNumber = static_cast<size_t>(
        std::count(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(menuStart), '\n'));
    parsed.ContentsCount = static_cast<int>(count);
    parsed.ContentsEntries.resize(count + 1);
    LineCountRows lineCounts(count + 1);
    parsed.Nodes.reserve(count + 1);

    int lastLevel[4] = {-1, -1, -1, -1};  // the last node of levels 1..3
    for (size_t i = 0; i <= count; ++i) {
        if (progress) progress(static_cast<int>(i + 1), static_cast<int>(count + 1));
        const size_t lineIndex = firstEntry + i;
        std::string line(lineText(lineIndex));
        std::string title(TrimRight(CutField(line)));
        size_t blanks = 0;
        while (blanks < title.size() && title[blanks] == ' ')
            ++blanks;

        ContentsNode node;
        if (blanks >= 7) {
            node.Level = 4;
            node.Parent = lastLevel[3];
        } else if (blanks >= 5) {
            node.Level = 3;
            node.Parent = lastLevel[2];
            lastLevel[3] = static_cast<int>(i);
        } else if (blanks >= 3) {
            node.Level = 2;
            node.Parent = lastLevel[1];
            lastLevel[2] = static_cast<int>(i);
        } else {
            node.Level = 1;
            lastLevel[1] = static_cast<int>(i);
        }
        const std::string_view text =
            node.Level == 1 ? std::string_view(title) : std::string_view(title).substr(blanks);
        ContentsEntry& entry = parsed.ContentsEntries[i];
        parsed.SetTitle(i, text);
        const size_t fileLine = menuLineNumber + lineIndex;
        // The number parser's own message is the toolkit's, in English: the user is told in
        // Russian which line and which chapter hold the field that is no number.
        const auto number = [&](const std::string& field) {
            const auto v = ParseWholeNumber<std::int64_t>(Trim(field), PlusSign::Allowed);
            if (v) return *v;
            const std::string where =
                "в строке " + std::to_string(fileLine + 1) + " (" +
                (i == count ? std::string("строка итогов") : "глава " + Quoted(text)) + ") ";
            Damaged(where + (Trim(field).empty() ? std::string("не хватает чисел")
                                                 : Quoted(field) + " — не число"));
        };
        entry.Pos = number(CutField(line));
        entry.Letters = number(CutField(line));
        for (int k = 0; k < kLineCountWidths; ++k) {
            const std::int64_t lines = number(CutField(line));
            if (lines < INT32_MIN || lines > INT32_MAX)
                Damaged("число строк " + std::to_string(lines) + " " +
                        (i == count ? std::string("строки итогов") : "главы " + Quoted(text)) +
                        " при ширине " + std::to_string(16 + 2 * k) +
                        (lines < 0           ? " меньше нуля"
                         : lines > entry.Pos ? " больше числа знаков перед ней"
                                             : " больше, чем книга может вместить"));
            lineCounts[i][static_cast<size_t>(k)] = static_cast<std::int32_t>(lines);
        }
        parsed.Nodes.push_back(std::move(node));
    }
    parsed.Nodes.pop_back();  // the totals row has no node

    const long long cut = parsed.ContentsEntries[count].Pos - 2;
    if (cut < 0 || cut > static_cast<long long>(bodyEnd))
        Damaged("позиция " + std::to_string(parsed.ContentsEntries[count].Pos) +
                " строки итогов за пределами текста длиной " + std::to_string(bodyEnd));
    CheckContents(parsed, lineCounts, cut);
    parsed.SetLineCounts(lineCounts);
    // The trailer of a book of many entries can be most of it: the smaller part is copied.
    const auto at = static_cast<size_t>(cut);
    if (bodyEnd - at <= at) {
        parsed.BookTrailer = text.substr(at, bodyEnd - at);
        text.resize(at);
    } else {
        std::string body = text.substr(0, at);
        text.resize(bodyEnd);
        text.erase(0, at);
        parsed.BookTrailer = std::move(text);
        text = std::move(body);
    }
    book = std::move(parsed);
    return true;
}

int WidthClass(int charsPerLine) {
    const int k = charsPerLine / 2 - 8;
    return k < 0 ? 0 : k >= kLineCountWidths ? kLineCountWidths - 1 : k;
}

std::string WriteBookTrailer(const BookContents& book) {
    static constexpr std::string_view kIndent[] = {"", "   ", "     ", "       "};
    const auto& entries = book.ContentsEntries;
    const size_t count = std::min(static_cast<size_t>(std::max(book.ContentsCount, 0)),
                                  entries.empty() ? 0 : entries.size() - 1);
    std::string out = "\r\n";
    out += kMenu;
    out += "\r\n";
    char digits[24];
    std::array<std::int64_t, kLineCountWidths> lines{};
    const auto number = [&](std::int64_t v) {
        const auto r = std::to_chars(digits, digits + sizeof digits, v);
        out.append(digits, r.ptr);
        out += '|';
    };
    for (size_t i = 0; i < entries.size() && i <= count; ++i) {
        const ContentsEntry& e = entries[i];
        if (i < count && i < book.Nodes.size())
            out += kIndent[std::clamp(book.Nodes[i].Level, 1, 4) - 1];
        out += book.Title(i);
        out += '|';
        number(e.Pos);
        number(e.Letters);
        const auto steps = book.LineSteps(i);
        for (size_t k = 0; k < lines.size(); ++k) {
            lines[k] += steps[k];
            number(lines[k]);
        }
        out += "\r\n";
    }
    BookHeader header = book.Header;
    for (const auto& [tag, value] : HeaderTags(header)) {
        out += tag;
        out += '|';
        out += *value;
        out += "|\r\n";
    }
    if (!book.Warning.empty()) {
        out += kWarning;
        out += '|';
        out += Utf8ToCp1251(book.Warning);
        out += "|\r\n";
    }
    out += kEnd;
    return out;
}

void DropRewritableTrailer(BookContents& book) {
    if (book.TrailerDropped || book.BookTrailer.empty()) return;
    if (WriteBookTrailer(book) != book.BookTrailer) return;
    std::string().swap(book.BookTrailer);
    book.TrailerDropped = true;
}

std::string TrailerOf(const BookContents& book) {
    return book.TrailerDropped ? WriteBookTrailer(book) : book.BookTrailer;
}

std::string_view BookContents::Title(size_t i) const {
    if (i >= ContentsEntries.size()) return {};
    const ContentsEntry& e = ContentsEntries[i];
    const std::string_view from = e.TitleInBody && body_ ? std::string_view(*body_) : titles_;
    return e.TitleAt <= from.size() ? from.substr(e.TitleAt, e.TitleSize) : std::string_view();
}

void BookContents::SetTitle(size_t i, std::string_view title) {
    if (i >= ContentsEntries.size()) return;
    ContentsEntry& e = ContentsEntries[i];
    // The titles are no larger than the trailer they came from, which a file's size bounds.
    e.TitleAt = static_cast<std::uint32_t>(titles_.size());
    e.TitleSize = static_cast<std::uint32_t>(title.size());
    e.TitleInBody = false;
    titles_ += title;
}

void BookContents::ShareTitlesWithBody(std::shared_ptr<const std::string> body) {
    if (!body) return;
    const std::string_view text = *body;
    std::string kept;
    for (size_t i = 0; i < ContentsEntries.size(); ++i) {
        ContentsEntry& e = ContentsEntries[i];
        const std::string_view title = Title(i);
        // The heading starts the chapter, after the blanks of its level.
        size_t at = static_cast<size_t>(std::clamp<long long>(e.Pos, 0, text.size()));
        if (text.substr(at, title.size()) != title) {
            while (at < text.size() && text[at] == ' ')
                ++at;
        }
        if (!title.empty() && at <= UINT32_MAX && text.substr(at, title.size()) == title) {
            e.TitleAt = static_cast<std::uint32_t>(at);
            e.TitleInBody = true;
        } else {
            e.TitleAt = static_cast<std::uint32_t>(kept.size());
            e.TitleInBody = false;
            kept += title;
        }
    }
    kept.shrink_to_fit();
    // Swapped, not moved: a short string moved in would leave the old room to titles_.
    titles_.swap(kept);
    body_ = std::move(body);
}

namespace {

// An entry's steps are stored as the step at the narrowest width and the changes from each
// width to the next, which for most chapters are 0 or -1 (a wider line, a line less now and
// then). The first varint holds the step and how the changes are kept:
enum StepChanges : std::uint8_t {
    kNoChange = 0,  // every width has the same step
    kBits = 1,      // each change 0 or -1: a bit each, set for -1
    kNibbles = 2,   // each change -8..7: four bits each
    kVarints = 3,   // each change a zigzag varint
};
constexpr int kChanges = kLineCountWidths - 1;

std::uint64_t Zigzag(std::int64_t v) {
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}
std::int64_t Unzigzag(std::uint64_t v) {
    return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

void PutVarint(std::vector<std::uint8_t>& out, std::uint64_t v) {
    for (; v >= 0x80; v >>= 7)
        out.push_back(static_cast<std::uint8_t>(v | 0x80));
    out.push_back(static_cast<std::uint8_t>(v));
}

// The next varint of `steps` from `at`, which moves past it.
std::uint64_t NextVarint(const std::vector<std::uint8_t>& steps, size_t& at) {
    std::uint64_t v = 0;
    for (int shift = 0; at < steps.size() && shift < 64; shift += 7) {
        const std::uint8_t byte = steps[at++];
        v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) break;
    }
    return v;
}

// One entry's steps appended to `out`.
void PutSteps(std::vector<std::uint8_t>& out,
              const std::array<std::int64_t, kLineCountWidths>& step) {
    std::array<std::int64_t, kChanges> change{};
    bool same = true, bits = true, nibbles = true;
    for (int k = 0; k < kChanges; ++k) {
        const std::int64_t c = step[k + 1] - step[k];
        change[k] = c;
        same = same && c == 0;
        bits = bits && (c == 0 || c == -1);
        nibbles = nibbles && c >= -8 && c <= 7;
    }
    const StepChanges how = same ? kNoChange : bits ? kBits : nibbles ? kNibbles : kVarints;
    // A step is the difference of two 32-bit counts: shifted left by two it still fits.
    PutVarint(out, Zigzag(step[0]) << 2 | how);
    if (how == kBits) {
        for (int k = 0; k < kChanges; k += 8) {
            std::uint8_t byte = 0;
            for (int b = 0; b < 8 && k + b < kChanges; ++b)
                if (change[k + b]) byte |= static_cast<std::uint8_t>(1 << b);
            out.push_back(byte);
        }
    } else if (how == kNibbles) {
        for (int k = 0; k < kChanges; k += 2) {
            const auto low = static_cast<std::uint8_t>(change[k] & 0xF);
            const auto high =
                k + 1 < kChanges ? static_cast<std::uint8_t>(change[k + 1] & 0xF) : std::uint8_t{0};
            out.push_back(static_cast<std::uint8_t>(low | high << 4));
        }
    } else if (how == kVarints) {
        for (const std::int64_t c : change)
            PutVarint(out, Zigzag(c));
    }
}

// The steps of the entry stored at `at`, up to width class `last` (the rest stay 0).
std::array<std::int64_t, kLineCountWidths> GetSteps(const std::vector<std::uint8_t>& steps,
                                                    size_t at, int last = kLineCountWidths - 1) {
    std::array<std::int64_t, kLineCountWidths> step{};
    const std::uint64_t head = NextVarint(steps, at);
    const auto how = static_cast<StepChanges>(head & 3);
    const std::uint64_t first = head >> 2;
    step[0] = Unzigzag(first);
    for (int k = 0; k < last; ++k) {
        std::int64_t c = 0;
        switch (how) {
            case kNoChange:
                break;
            case kBits:
                c = at + k / 8 < steps.size() && (steps[at + k / 8] >> (k % 8) & 1) ? -1 : 0;
                break;
            case kNibbles:
                if (at + k / 2 < steps.size()) {
                    const int nibble = k % 2 ? steps[at + k / 2] >> 4 : steps[at + k / 2] & 0xF;
                    c = nibble >= 8 ? nibble - 16 : nibble;
                }
                break;
            case kVarints:
                c = Unzigzag(NextVarint(steps, at));
                break;
        }
        step[k + 1] = step[k] + c;
    }
    return step;
}

}  // namespace

std::int64_t BookContents::LineStep(size_t i, int k) const {
    if (i >= ContentsEntries.size() || k < 0 || k >= kLineCountWidths) return 0;
    return GetSteps(lineSteps_, ContentsEntries[i].LineStepsAt, k)[static_cast<size_t>(k)];
}

std::array<std::int64_t, kLineCountWidths> BookContents::LineSteps(size_t i) const {
    if (i >= ContentsEntries.size()) return {};
    return GetSteps(lineSteps_, ContentsEntries[i].LineStepsAt);
}

std::array<std::int64_t, kLineCountWidths> BookContents::LineCounts(size_t i) const {
    std::array<std::int64_t, kLineCountWidths> lines{};
    for (size_t j = 0; j <= i && j < ContentsEntries.size(); ++j) {
        const auto steps = LineSteps(j);
        for (size_t k = 0; k < lines.size(); ++k)
            lines[k] += steps[k];
    }
    return lines;
}

void BookContents::SetLineCounts(
    const std::vector<std::array<std::int32_t, kLineCountWidths>>& counts) {
    std::vector<std::uint8_t> steps;
    steps.reserve(counts.size() * 8 + 16);
    const std::array<std::int32_t, kLineCountWidths> none{};
    for (size_t i = 0; i < ContentsEntries.size(); ++i) {
        ContentsEntries[i].LineStepsAt = static_cast<std::uint32_t>(steps.size());
        const auto& row = i < counts.size() ? counts[i] : none;
        const auto& before = i > 0 && i - 1 < counts.size() ? counts[i - 1] : none;
        std::array<std::int64_t, kLineCountWidths> step{};
        for (size_t k = 0; k < row.size(); ++k)
            step[k] = std::int64_t{row[k]} - before[k];
        PutSteps(steps, step);
    }
    steps.shrink_to_fit();
    lineSteps_.swap(steps);
}

std::string ContentsNodeText(const BookContents& book, size_t i) {
    const int page = i < book.ContentsEntries.size() ? book.ContentsEntries[i].Page : 0;
    return std::string(book.Title(i)) + std::string(kPagePrefix) + std::to_string(page) + "-";
}

int ComputeChapterPages(BookContents& book, int charsPerLine, int linesPerPage) {
    const int k = WidthClass(charsPerLine);
    const double lpp = linesPerPage > 0 ? linesPerPage : 1;
    auto& e = book.ContentsEntries;
    if (e.empty()) return 0;
    const int count = std::clamp(book.ContentsCount, 0, static_cast<int>(e.size()) - 1);
    for (auto& entry : e)
        entry.LastPageLines = linesPerPage;
    // The page numbers stop growing at the largest int; a trailer that passed ParseBookTrailer
    // never gets there, but nothing here may overflow whatever the counts are.
    constexpr double kMaxPage = INT_MAX;
    double acc = 1.0;
    long long page = 1;
    e[0].Page = 1;
    for (int i = 1; i <= count; ++i) {
        std::int64_t d = 0;
        d = book.LineStep(static_cast<size_t>(i), k);
        if (d > 0) {
            acc = std::min(acc + static_cast<double>(d) / lpp, kMaxPage);
            if (acc != std::floor(acc)) acc = std::min(acc + 1, kMaxPage);
            page = static_cast<long long>(std::trunc(acc));
        }
        if (acc != std::floor(acc))
            e[i - 1].LastPageLines =
                static_cast<int>(RoundHalfEven((acc - std::floor(acc)) * linesPerPage));
        if (i < count) {
            e[i].Page = static_cast<int>(page);
        }
        acc = static_cast<double>(page);
    }
    return static_cast<int>(page - 1);
}

}  // namespace lectorix
