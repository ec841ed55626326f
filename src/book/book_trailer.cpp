#include "book/book_trailer.h"

#include <cmath>

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"

namespace lectorix {
namespace {

constexpr std::string_view kMenu = "<MENU>";
constexpr std::string_view kTotals = "<INFOTEXTlen>";
constexpr std::string_view kEnd = "<INFOTEXTEND>";
// "  стр.-" in CP1251: the page number after a contents title.
constexpr std::string_view kPagePrefix = "  \xF1\xF2\xF0.-";

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

std::vector<Line> LinesOf(std::string_view text) {
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back({start, i});
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back({start, text.size()});
    return lines;
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
    std::vector<Line> lines = LinesOf(text);
    if (lines.size() < 2) return false;

    // Blank lines at the end go, with the line break before them.
    size_t last = lines.size();
    while (last > 0 && Trim(std::string_view(text).substr(
                                lines[last - 1].start, lines[last - 1].end - lines[last - 1].start))
                           .empty())
        --last;
    if (last == 0) {
        text.clear();
        return false;
    }
    const size_t bodyEnd = lines[last - 1].end;
    lines.resize(last);
    auto lineText = [&](size_t i) {
        return std::string_view(text).substr(lines[i].start, lines[i].end - lines[i].start);
    };
    if (lineText(last - 1).find(kEnd) == std::string_view::npos) {
        text.resize(bodyEnd);
        return false;
    }

    BookContents parsed;
    size_t lastEntry = 0, firstEntry = 0;
    for (size_t i = last; i-- > 0;) {
        if (lineText(i).find(kTotals) != std::string_view::npos) {
            lastEntry = i == 0 ? 0 : i - 1;
            break;
        }
    }
    for (size_t i = lastEntry + 1; i-- > 0;) {
        if (lineText(i).find(kMenu) != std::string_view::npos) {
            firstEntry = i + 1;
            break;
        }
    }

    // Header lines below the totals, in any order; the lowest of a repeated tag wins.
    const auto tags = HeaderTags(parsed.Header);
    for (size_t i = last; i-- > 0;) {
        const std::string_view line = lineText(i);
        for (const auto& [tag, value] : tags) {
            if (value->empty()) *value = TagValue(line, tag);
        }
        if (line.find(kTotals) != std::string_view::npos) break;
    }

    if (lastEntry + 1 < firstEntry)
        throw UserError("Содержание книги повреждено: нет строк содержания");
    const size_t count = lastEntry + 1 - firstEntry;
    if (lastEntry + 1 >= last) throw UserError("Содержание книги повреждено: нет строки итогов");
    parsed.ContentsCount = static_cast<int>(count);
    parsed.ContentsEntries.resize(count + 1);
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
        node.Text = node.Level == 1 ? title : title.substr(blanks);
        ContentsEntry& entry = parsed.ContentsEntries[i];
        entry.Title = node.Text;
        entry.Pos = ParseContentsNumber(CutField(line), lineIndex);
        entry.Letters = ParseContentsNumber(CutField(line), lineIndex);
        for (auto& c : entry.LineCounts)
            c = ParseContentsNumber(CutField(line), lineIndex);
        parsed.Nodes.push_back(std::move(node));
    }
    parsed.Nodes.pop_back();  // the totals row has no node

    // Positions must run forwards and stay inside the text, or pages would be cut wrongly.
    for (size_t i = 0; i <= count; ++i) {
        const long long pos = parsed.ContentsEntries[i].Pos;
        const long long before = i == 0 ? 0 : parsed.ContentsEntries[i - 1].Pos;
        if (pos < before)
            throw UserError("Содержание книги повреждено: позиция " + std::to_string(pos) +
                            " главы " + std::to_string(i + 1) + " меньше позиции предыдущей");
    }

    const long long cut = parsed.ContentsEntries[count].Pos - 2;
    if (cut < 0 || cut > static_cast<long long>(bodyEnd) ||
        (count > 0 && parsed.ContentsEntries[count - 1].Pos > cut))
        throw UserError("Содержание книги повреждено: позиция " +
                        std::to_string(parsed.ContentsEntries[count].Pos) +
                        " за пределами текста длиной " + std::to_string(bodyEnd));
    parsed.BookTrailer = text.substr(static_cast<size_t>(cut), bodyEnd - static_cast<size_t>(cut));
    text.resize(static_cast<size_t>(cut));
    book = std::move(parsed);
    return true;
}

int WidthClass(int charsPerLine) {
    const int k = charsPerLine / 2 - 8;
    return k < 0 ? 0 : k >= kLineCountWidths ? kLineCountWidths - 1 : k;
}

int ComputeChapterPages(BookContents& book, int charsPerLine, int linesPerPage) {
    const int k = WidthClass(charsPerLine);
    const double lpp = linesPerPage > 0 ? linesPerPage : 1;
    auto& e = book.ContentsEntries;
    const int count = book.ContentsCount;
    if (e.empty()) return 0;
    for (auto& entry : e)
        entry.LastPageLines = linesPerPage;
    double acc = 1.0;
    long long page = 1;
    e[0].Page = 1;
    if (!book.Nodes.empty()) book.Nodes[0].Text = e[0].Title + std::string(kPagePrefix) + "1-";
    for (int i = 1; i <= count; ++i) {
        const std::int64_t d = e[i].LineCounts[k] - e[i - 1].LineCounts[k];
        if (d > 0) {
            acc += static_cast<double>(d) / lpp;
            if (acc != std::floor(acc)) acc += 1;
            page = static_cast<long long>(std::trunc(acc));
        }
        if (acc != std::floor(acc))
            e[i - 1].LastPageLines =
                static_cast<int>(RoundHalfEven((acc - std::floor(acc)) * linesPerPage));
        if (i < count) {
            e[i].Page = static_cast<int>(page);
            if (static_cast<size_t>(i) < book.Nodes.size())
                book.Nodes[i].Text =
                    e[i].Title + std::string(kPagePrefix) + std::to_string(page) + "-";
        }
        acc = static_cast<double>(page);
    }
    return static_cast<int>(page - 1);
}

}  // namespace lectorix
