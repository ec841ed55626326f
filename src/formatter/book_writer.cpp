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
        lines += CountNonBlankWrappedLines(text.substr(0, take), width);
        text.remove_prefix(take);
    }
    return lines;
}

namespace {

// Start of the line (lines end with CR LF) that ends at `end`.
size_t CrLfLineStart(std::string_view s, size_t end) {
    const size_t p = end < 2 ? std::string_view::npos : s.rfind("\r\n", end - 2);
    return p == std::string_view::npos ? 0 : p + 2;
}

void AppendNumber(std::string& out, std::int64_t n) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, n);
    out.append(digits, r.ptr);
    out += '|';
}

}  // namespace

bool ComputeBookLineCounts(std::string& text, const std::function<void(int, int)>& progress) {
    // Only the trailer is split into lines: a body of millions of short lines costs nothing.
    std::string_view all = text;
    size_t lastEnd = all.size(), lastStart = 0;
    for (;;) {
        lastStart = CrLfLineStart(all, lastEnd);
        if (!Trim(all.substr(lastStart, lastEnd - lastStart)).empty()) break;
        if (lastStart == 0) return false;
        lastEnd = lastStart - 2;
    }
    if (lastStart == 0 ||
        all.substr(lastStart, lastEnd - lastStart).find("<INFOTEXTEND>") == std::string_view::npos)
        return false;
    const size_t totalsAt = all.substr(0, lastEnd).rfind("<INFOTEXTlen>");
    const size_t totalsStart =
        totalsAt == std::string_view::npos ? 0 : CrLfLineStart(all, totalsAt);
    if (totalsStart == 0) throw UserError("В книге нет строки \"<INFOTEXTlen>\"");
    const size_t menuAt = all.substr(0, totalsStart).rfind("<MENU>");
    if (menuAt == std::string_view::npos) throw UserError("В книге нет строки \"<MENU>\"");
    const size_t menuStart = CrLfLineStart(all, menuAt);
    size_t totalsEnd = all.find("\r\n", totalsAt);
    if (totalsEnd == std::string_view::npos) totalsEnd = all.size();
    // Line numbers in messages count from the top of the file.
    size_t lineIndex = 0;
    for (size_t at = all.find("\r\n"); at < menuStart; at = all.find("\r\n", at + 2))
        ++lineIndex;

    struct Row {
        size_t TitleFrom, TitleSize;  // in `text`
        long long Pos;
        std::int64_t Letters;
    };
    std::vector<Row> rows;
    const size_t firstRow = all.find("\r\n", menuStart) + 2;
    for (size_t start = firstRow; start <= totalsStart;) {
        ++lineIndex;
        size_t end = all.find("\r\n", start);
        if (end == std::string_view::npos) end = all.size();
        std::string line(all.substr(start, end - start));
        Row row{start, TrimRight(CutField(line)).size(), 0, 0};
        if (start == totalsStart) {
            row.Pos = static_cast<long long>(menuStart);
            CutField(line);
        } else {
            row.Pos = ParseContentsNumber(CutField(line), lineIndex);
        }
        row.Letters = ParseContentsNumber(CutField(line), lineIndex);
        rows.push_back(row);
        start = end + 2;
    }

    const long long bodyEnd = static_cast<long long>(menuStart) - 2;
    const size_t count = rows.size() - 1;
    // The rewritten rows go after the text and then take the old rows' place. Their room is
    // reserved at once (a line count seldom has more digits than the body's length), so the
    // text is not copied as it grows; pages never written to cost no memory.
    const size_t countDigits = std::to_string(std::max(0LL, bodyEnd)).size() + 1;
    size_t room = 0;
    for (const Row& r : rows)
        room += r.TitleSize + 44 + kLineCountWidths * countDigits + 2;
    const std::string suffix = text.substr(totalsEnd);
    const size_t rewrittenAt = text.size();
    text.reserve(rewrittenAt + room + suffix.size());

    // A chapter runs on to the next heading with its closing line break, as the reader reads
    // it; the last one ends with the body. Taken afresh: the text may have moved.
    auto chapter = [&](size_t r) {
        const long long from = std::clamp(rows[r - 1].Pos, 0LL, std::max(0LL, bodyEnd));
        long long to = r == count ? bodyEnd : rows[r].Pos;
        to = std::clamp(to, from, std::max(0LL, bodyEnd));
        return std::string_view(text).substr(static_cast<size_t>(from),
                                             static_cast<size_t>(to - from));
    };
    std::array<std::int64_t, kLineCountWidths> before{};  // the counts of the row being written
    auto writeRow = [&](size_t r) {
        if (r > 0) text += "\r\n";
        text.append(text, rows[r].TitleFrom, rows[r].TitleSize);
        text += '|';
        AppendNumber(text, rows[r].Pos);
        AppendNumber(text, rows[r].Letters);
        for (const std::int64_t c : before)
            AppendNumber(text, c);
    };
    writeRow(0);
    // Chapters are counted a block at a time; in a block the widths are shared out among the
    // cores, this thread taking its share in chapter order to report the progress.
    constexpr size_t kBlock = 4096;
    std::vector<std::array<std::int64_t, kLineCountWidths>> chapterLines(std::min(kBlock, count));
    const int shares = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    for (size_t first = 1; first <= count; first += kBlock) {
        const size_t last = std::min(count + 1, first + kBlock);
        auto countWidths = [&](int k0, int step, bool report) {
            for (size_t r = first; r < last; ++r) {
                if (report && progress) progress(static_cast<int>(r), static_cast<int>(count));
                const std::string_view chapterText = chapter(r);
                for (int k = k0; k < kLineCountWidths; k += step)
                    chapterLines[r - first][static_cast<size_t>(k)] =
                        CountWrappedLines(chapterText, 16 + 2 * k);
            }
        };
        std::vector<std::exception_ptr> failed(static_cast<size_t>(shares));
        {
            std::vector<std::jthread> helpers;
            for (int t = 1; t < shares && count > 1; ++t)
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
        for (size_t r = first; r < last; ++r) {
            for (size_t k = 0; k < kLineCountWidths; ++k)
                before[k] += chapterLines[r - first][k];
            writeRow(r);
        }
    }
    text.erase(firstRow, rewrittenAt - firstRow);
    text += suffix;
    return true;
}

}  // namespace lectorix
