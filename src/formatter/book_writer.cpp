#include "formatter/book_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <exception>
#include <thread>
#include <vector>

#include "book/cp1251.h"
#include "book/paragraphs.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book/text_wrap.h"
#include "formatter/heading_detector.h"

namespace lectorix {
namespace {

constexpr size_t kPiece = 15000;

std::string ReplaceFirst(std::string s, std::string_view what, std::string_view with) {
    const size_t at = FindNoCase(s, what);
    if (at != std::string::npos) s.replace(at, what.size(), with);
    return s;
}

// Separator lines keep a fixed length however they were typed.
std::string NormalizeSeparators(std::string s) {
    s = ReplaceFirst(std::move(s), "_________", "<POS9>");
    s = ReplaceEverywhere(std::move(s), "__", "_");
    s = ReplaceEverywhere(std::move(s), "<POS9>", std::string(14, '_'));
    s = ReplaceFirst(std::move(s), "--------", "<POS8>");
    s = ReplaceEverywhere(std::move(s), "---", "--");
    s = ReplaceEverywhere(std::move(s), "<POS8>", std::string(14, '-'));
    return s;
}

size_t CountNonBlankLines(std::string_view wrapped) {
    size_t count = 0;
    size_t start = 0;
    while (start < wrapped.size()) {
        size_t end = wrapped.find("\r\n", start);
        if (end == std::string_view::npos) end = wrapped.size();
        if (!Trim(wrapped.substr(start, end - start)).empty()) ++count;
        start = end + 2;
    }
    return count;
}

}  // namespace

bool HasLineLongerThan(std::string_view text, size_t limit) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        if (end - start > limit) return true;
        if (end == text.size()) break;
        start = end + 2;
    }
    return false;
}

std::string BuildBookStructure(std::string_view text, const BookHeader& header,
                               HeadingLevels levels) {
    // The lines cleaned first: whether any line follows blank lines decides the first one.
    struct Line {
        std::string Text;  // empty for a blank line
        size_t Indent;     // leading blanks and tabs of the line as it came
    };
    std::vector<Line> lines;
    bool anyHeading = false;
    for (const std::string& line : SplitLines(text)) {
        std::string s(Trim(NormalizeSpaces(line)));
        if (s.find("<MENU>") != std::string::npos) break;
        s = NormalizeSeparators(std::move(s));
        if (s.find_first_not_of(' ') == std::string::npos) s.clear();
        anyHeading = anyHeading || (!s.empty() && !lines.empty() && lines.back().Text.empty());
        lines.push_back({std::move(s), std::min(line.find_first_not_of(" \t"), line.size())});
    }

    std::vector<std::string> body;
    std::vector<std::string> contents;
    long long pos = 0;
    std::int64_t letters = 0;
    // Text before the first heading would be hidden: the reader starts at the first entry. So
    // the first line is a heading too when the text has headings at all.
    bool afterBlank = anyHeading;
    for (Line& line : lines) {
        std::string& s = line.Text;
        if (s.empty()) {
            afterBlank = true;
            continue;
        }
        s = "  " + s;
        if (afterBlank) {
            s = " " + s;
            size_t blanks = 3;
            if (levels == HeadingLevels::FromIndent)
                blanks = line.Indent >= 7 ? 7 : line.Indent >= 5 ? 5 : 3;
            // A "|" would end the title's field: the contents line would not read.
            std::string title = s.substr(3);
            std::replace(title.begin(), title.end(), '|', '\xA6');
            contents.push_back(std::string(blanks, ' ') + title + "     |" + std::to_string(pos) +
                               "|" + std::to_string(letters) + "|");
        }
        pos += static_cast<long long>(s.size()) + 2;
        letters += CountLetters(s);
        afterBlank = false;
        body.push_back(std::move(s));
    }
    // A book of no line would not read as a book: its trailer would show as its text.
    if (body.empty()) throw UserError("В тексте нет ни одной строки, из которой сделать книгу.");
    body.emplace_back("<MENU>");
    for (auto& c : contents)
        body.push_back(std::move(c));
    body.push_back("<INFOTEXTlen>|0|" + std::to_string(letters) + "|");
    BookHeader values = header;
    for (const auto& [tag, value] : HeaderTags(values))
        body.push_back(std::string(tag) + "|" + *value + "|");
    body.emplace_back("<INFOTEXTEND>");
    return JoinLines(body);
}

std::string FormatBook(std::string_view text, const BookHeader& header, const FormatSteps& steps) {
    Lines lines = SplitLines(text);
    bool levels = false;
    for (const CleanupStep step : steps.Steps) {
        switch (step) {
            case CleanupStep::AutoHeadings:
                MarkHeadings(lines);
                levels = true;
                break;
            case CleanupStep::Join:
                JoinWrappedLines(lines);
                break;
            case CleanupStep::DropEmpty:
                DeleteEmptyLines(lines);
                break;
            case CleanupStep::Separator:
                InsertSeparators(lines, steps.Separator);
                break;
        }
    }
    std::string book = BuildBookStructure(JoinLines(lines), header,
                                          levels ? HeadingLevels::FromIndent : HeadingLevels::Flat);
    ComputeBookLineCounts(book);
    return MemoFileBytes(book);
}

std::int64_t CountWrappedLines(std::string_view text, int width) {
    std::int64_t lines = 0;
    while (!text.empty()) {
        size_t take = text.size();
        if (text.size() > kPiece) {
            const size_t lineEnd = text.find("\r\n", kPiece);
            take = lineEnd == std::string_view::npos ? text.size() : lineEnd + 2;
        }
        lines += static_cast<std::int64_t>(
            CountNonBlankLines(WrapBookText(text.substr(0, take), width)));
        text.remove_prefix(take);
    }
    return lines;
}

bool ComputeBookLineCounts(std::string& text, const std::function<void(int, int)>& progress) {
    // Line starts and ends of the text.
    struct Line {
        size_t start, end;
    };
    std::vector<Line> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find("\r\n", start);
        lines.push_back({start, end == std::string::npos ? text.size() : end});
        if (end == std::string::npos) break;
        start = end + 2;
    }
    auto lineText = [&](size_t i) {
        return std::string_view(text).substr(lines[i].start, lines[i].end - lines[i].start);
    };
    size_t last = lines.size();
    while (last > 0 && Trim(lineText(last - 1)).empty())
        --last;
    if (last < 2 || lineText(last - 1).find("<INFOTEXTEND>") == std::string_view::npos)
        return false;

    size_t totals = last;
    for (size_t i = last; i-- > 0;) {
        if (lineText(i).find("<INFOTEXTlen>") != std::string_view::npos) {
            totals = i;
            break;
        }
    }
    if (totals == last || totals == 0) throw UserError("В книге нет строки \"<INFOTEXTlen>\"");
    size_t menu = totals;
    for (size_t i = totals; i-- > 0;) {
        if (lineText(i).find("<MENU>") != std::string_view::npos) {
            menu = i;
            break;
        }
    }
    if (menu == totals) throw UserError("В книге нет строки \"<MENU>\"");

    std::vector<ContentsEntry> rows;
    for (size_t i = menu + 1; i <= totals; ++i) {
        std::string line(lineText(i));
        ContentsEntry row;
        row.Title = std::string(TrimRight(CutField(line)));
        if (i == totals) {
            row.Pos = static_cast<long long>(lines[menu].start);
            CutField(line);
        } else {
            row.Pos = ParseContentsNumber(CutField(line), i);
        }
        row.Letters = ParseContentsNumber(CutField(line), i);
        rows.push_back(std::move(row));
    }

    const long long bodyEnd = static_cast<long long>(lines[menu].start) - 2;
    const size_t count = rows.size() - 1;
    // A chapter runs on to the next heading with its closing line break, as the reader reads
    // it; the last one ends with the body.
    auto chapter = [&](size_t r) {
        const long long from = std::clamp(rows[r - 1].Pos, 0LL, std::max(0LL, bodyEnd));
        long long to = r == count ? bodyEnd : rows[r].Pos;
        to = std::clamp(to, from, std::max(0LL, bodyEnd));
        return std::string_view(text).substr(static_cast<size_t>(from),
                                             static_cast<size_t>(to - from));
    };
    // Every chapter is wrapped at all the widths: the widths are shared out among the cores,
    // this thread taking its share in chapter order to report the progress.
    std::vector<std::array<std::int64_t, kLineCountWidths>> chapterLines(rows.size());
    auto countWidths = [&](int first, int step, bool report) {
        for (size_t r = 1; r < rows.size(); ++r) {
            if (report && progress) progress(static_cast<int>(r), static_cast<int>(count));
            const std::string_view text = chapter(r);
            for (int k = first; k < kLineCountWidths; k += step)
                chapterLines[r][static_cast<size_t>(k)] = CountWrappedLines(text, 16 + 2 * k);
        }
    };
    const int shares = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::vector<std::exception_ptr> failed(static_cast<size_t>(shares));
    {
        std::vector<std::jthread> helpers;
        for (int t = 1; t < shares && rows.size() > 2; ++t)
            helpers.emplace_back([&, t] {
                try {
                    countWidths(t, shares, false);
                } catch (...) {
                    failed[static_cast<size_t>(t)] = std::current_exception();
                }
            });
        countWidths(0, helpers.empty() ? 1 : shares, true);
    }
    for (const std::exception_ptr& e : failed)
        if (e) std::rethrow_exception(e);
    for (size_t r = 1; r < rows.size(); ++r)
        for (size_t k = 0; k < kLineCountWidths; ++k)
            rows[r].LineCounts[k] = rows[r - 1].LineCounts[k] + chapterLines[r][k];

    std::string rebuilt;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ContentsEntry& row = rows[i];
        std::string line =
            row.Title + "|" + std::to_string(row.Pos) + "|" + std::to_string(row.Letters) + "|";
        for (const auto c : row.LineCounts)
            line += std::to_string(c) + "|";
        if (i > 0) rebuilt += "\r\n";
        rebuilt += line;
    }
    const size_t from = lines[menu + 1].start;
    text.replace(from, lines[totals].end - from, rebuilt);
    return true;
}

}  // namespace lectorix
