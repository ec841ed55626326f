#include "formatter/format_operations.h"

#include <algorithm>
#include <cctype>

#include "book/text_helpers.h"

namespace lectorix {
namespace {

bool StartsWithBlanks(std::string_view line, size_t n) {
    return line.size() >= n && line.find_first_not_of(' ') >= n;
}

// Splits at CR LF only, keeping an empty line after a break at the end: a replacement that
// ends with a line break leaves an empty line behind it.
void SplitInto(Lines& out, std::string_view line) {
    for (size_t start = 0;;) {
        const size_t end = line.find("\r\n", start);
        if (end == std::string_view::npos) {
            out.emplace_back(line.substr(start));
            return;
        }
        out.emplace_back(line.substr(start, end - start));
        start = end + 2;
    }
}

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    return std::equal(tail.begin(), tail.end(), s.end() - static_cast<long>(tail.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// Where the trailer's line "<MENU>" starts; npos without one. The last such line: a body line
// could hold the word too.
size_t MenuStart(std::string_view text) {
    for (size_t at = text.rfind("<MENU>"); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : text.rfind("<MENU>", at - 1)) {
        if (at == 0 || (at >= 2 && text.substr(at - 2, 2) == "\r\n")) return at;
    }
    return std::string_view::npos;
}

// The Pos field of a contents or totals line, or nothing.
std::optional<long long> PosField(const std::string& line) {
    std::string rest = line;
    CutField(rest);
    const std::string field = CutField(rest);
    return ParseWholeNumber<long long>(Trim(field));
}

std::string WithPos(const std::string& line, long long pos) {
    std::string rest = line;
    const std::string title = CutField(rest);
    CutField(rest);
    return title + "|" + std::to_string(pos) + "|" + rest;
}

}  // namespace

void JoinWrappedLines(Lines& lines) {
    if (lines.empty()) return;
    Lines out;
    out.reserve(lines.size());
    out.push_back(std::move(lines[0]));
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string& line = lines[i];
        if (!line.empty() && line[0] != ' ') {
            out.back() += ' ';
            out.back() += line;
        } else {
            out.push_back(std::move(line));
        }
    }
    lines = std::move(out);
}

void DeleteEmptyLines(Lines& lines) {
    if (lines.empty()) return;
    lines.erase(std::remove_if(lines.begin() + 1, lines.end(),
                               [](const std::string& l) { return l.empty(); }),
                lines.end());
}

void InsertSeparators(Lines& lines, const SeparatorRule& rule) {
    size_t indent = static_cast<size_t>(std::max(rule.Indent, 0));
    if (!rule.More && !rule.Equal && indent > 1) --indent;
    auto exactly = [indent](const std::string& l) {
        return StartsWithBlanks(l, indent) && !StartsWithBlanks(l, indent + 1);
    };
    auto matches = [&](const std::string& l) {
        if (rule.Equal) return exactly(l);
        if (rule.More) return StartsWithBlanks(l, indent + 1);
        return exactly(l);
    };
    if (lines.empty()) return;
    Lines out;
    out.reserve(lines.size() + lines.size() / 8);
    out.push_back(std::move(lines[0]));
    for (size_t i = 1; i < lines.size(); ++i) {
        if (matches(lines[i])) out.emplace_back();
        out.push_back(std::move(lines[i]));
    }
    lines = std::move(out);
}

std::string AddBlanksAfterBreaks(std::string_view selected, int blanks) {
    const std::string more(static_cast<size_t>(std::max(blanks, 0)), ' ');
    std::string out;
    out.reserve(selected.size());
    for (size_t start = 0;;) {
        const size_t at = selected.find("\r\n ", start);
        if (at == std::string_view::npos) {
            out += selected.substr(start);
            return out;
        }
        out += selected.substr(start, at + 3 - start);
        out += more;
        start = at + 3;
    }
}

void IndentUnpunctuatedLines(Lines& lines) {
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string_view text = TrimRight(lines[i]);
        if (text.empty() || text.size() > 299) continue;
        const unsigned char last = static_cast<unsigned char>(text.back());
        if (last == ')' || std::isdigit(last) || (last < 128 && std::isalpha(last)) || last >= 192)
            lines[i] = "     " + std::string(text);
    }
}

std::string LeadingBlanksReport(const Lines& lines) {
    constexpr size_t kBuckets = 100;
    std::vector<size_t> counts(kBuckets + 2, 0);
    for (const std::string& line : lines) {
        const size_t blanks = std::min(line.find_first_not_of(' '), line.size());
        ++counts[std::min(blanks, kBuckets + 1)];
    }
    std::string report;
    for (size_t n = 0; n <= kBuckets; ++n)
        if (counts[n] != 0)
            report += "| " + std::to_string(n) + "=" + std::to_string(counts[n]) + " ";
    if (counts[kBuckets + 1] != 0) report += "| >100=" + std::to_string(counts[kBuckets + 1]) + " ";
    return report;
}

size_t DeleteLinesContaining(Lines& lines, std::string_view what, const AskAbout& ask) {
    if (what.empty()) return 0;
    std::vector<bool> removed(lines.size(), false);
    size_t count = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(what) == std::string::npos) continue;
        const Decision d = ask({i, 0}, lines[i].size());
        if (d == Decision::Stop) break;
        if (d == Decision::Yes) {
            removed[i] = true;
            ++count;
        }
    }
    if (count == 0) return 0;
    Lines out;
    out.reserve(lines.size() - count);
    for (size_t i = 0; i < lines.size(); ++i)
        if (!removed[i]) out.push_back(std::move(lines[i]));
    lines = std::move(out);
    return count;
}

size_t ReplaceInLines(Lines& lines, std::string_view what, std::string_view with,
                      const AskAbout& ask) {
    if (what.empty()) return 0;
    size_t count = 0;
    bool split = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string& line = lines[i];
        size_t at = line.find(what);
        if (at == std::string::npos) continue;
        if (ask) {
            const Decision d = ask({i, at}, what.size());
            if (d == Decision::Stop) break;
            if (d == Decision::No) continue;
            line.replace(at, what.size(), with);
            ++count;
        } else {
            for (; at != std::string::npos; at = line.find(what, at + with.size())) {
                line.replace(at, what.size(), with);
                ++count;
            }
        }
        split = split || line.find("\r\n") != std::string::npos;
    }
    if (split) {
        Lines out;
        out.reserve(lines.size() + count);
        for (const std::string& line : lines)
            SplitInto(out, line);
        lines = std::move(out);
    }
    return count;
}

std::optional<TextPoint> FindFromCaret(const Lines& lines, TextPoint caret, std::string_view what) {
    if (what.empty()) return std::nullopt;
    for (size_t i = caret.Column == 0 ? caret.Line : caret.Line + 1; i < lines.size(); ++i) {
        const size_t at = lines[i].find(what);
        if (at != std::string::npos) return TextPoint{i, at};
    }
    return std::nullopt;
}

TextPoint PointOfOffset(const Lines& lines, long long offset) {
    long long start = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long long size = static_cast<long long>(lines[i].size());
        if (offset < start + size + 2 || i + 1 == lines.size())
            return {i, static_cast<size_t>(std::clamp(offset - start, 0LL, size))};
        start += size + 2;
    }
    return {};
}

long long OffsetOfPoint(const Lines& lines, TextPoint point) {
    long long offset = 0;
    for (size_t i = 0; i < point.Line && i < lines.size(); ++i)
        offset += static_cast<long long>(lines[i].size()) + 2;
    return offset + static_cast<long long>(point.Column);
}

std::string TrailerOf(std::string_view text) {
    const size_t at = MenuStart(text);
    return at == std::string_view::npos ? std::string() : std::string(text.substr(at));
}

std::string WithTrailer(std::string_view text, std::string_view trailer) {
    const size_t at = MenuStart(text);
    if (at != std::string_view::npos) return std::string(text.substr(0, at)) + std::string(trailer);
    std::string out(text);
    if (!out.empty() && !out.ends_with("\r\n")) out += "\r\n";
    return out + std::string(trailer);
}

bool TrailerLacksLineCounts(std::string_view text) {
    const Lines trailer = SplitLines(TrailerOf(text));
    for (size_t i = 1; i < trailer.size(); ++i) {
        const std::string& line = trailer[i];
        const bool totals = line.starts_with("<INFOTEXTlen>");
        if (line.starts_with("<INFOTEXT") && !totals) break;
        if (std::count(line.begin(), line.end(), '|') < 41) return true;
        if (totals) break;
    }
    return false;
}

Withdrawal WithdrawContentsEntry(Lines& text, Lines& trailer, size_t entry, TextPoint caret) {
    Withdrawal w;
    if (entry >= trailer.size()) return w;
    const std::string line = trailer[entry];
    if (line.starts_with('<') || line.find('|') == std::string::npos) return w;
    std::string rest = line;
    w.Title = std::string(TrimRight(CutField(rest)));

    // The heading stands at the entry's position unless the text was edited since; else it is
    // looked for as "Найти" would, from the caret on, at the start of a line.
    const std::optional<long long> pos = PosField(line);
    if (pos && *pos >= 0 && !text.empty()) {
        const TextPoint p = PointOfOffset(text, *pos);
        if (p.Column == 0 && OffsetOfPoint(text, p) == *pos && StartsWithBlanks(text[p.Line], 3))
            w.Heading = p;
    }
    const std::string heading = "   " + std::string(Trim(w.Title));
    for (std::optional<TextPoint> at = FindFromCaret(text, caret, heading); !w.Heading && at;
         at = FindFromCaret(text, {at->Line + 1, 0}, heading)) {
        if (at->Column == 0) w.Heading = at;
    }

    if (w.Heading) {
        const long long removedAt = OffsetOfPoint(text, *w.Heading);
        text[w.Heading->Line].erase(0, 1);
        for (size_t i = 0; i < trailer.size(); ++i) {
            const std::string& l = trailer[i];
            if (i == entry || (l.starts_with("<INFOTEXT") && !l.starts_with("<INFOTEXTlen>")))
                continue;
            const std::optional<long long> p = PosField(l);
            if (p && *p > removedAt) trailer[i] = WithPos(l, *p - 1);
        }
    }
    trailer.erase(trailer.begin() + static_cast<long>(entry));
    w.Removed = true;
    return w;
}

std::string BookFileName(const std::string& readerFile) {
    if (readerFile.empty()) return "Книга.lxb";
    const size_t slash = readerFile.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = readerFile.substr(nameStart);
    for (const std::string_view ext : {".txt", ".rtf"}) {
        for (size_t at = 0; at + ext.size() <= name.size();) {
            if (EndsWithNoCase(std::string_view(name).substr(0, at + ext.size()), ext)) {
                name.replace(at, ext.size(), ".lxb");
                at += 4;
            } else {
                ++at;
            }
        }
    }
    if (!EndsWithNoCase(name, ".lxb")) name += ".lxb";
    return readerFile.substr(0, nameStart) + name;
}

std::string AuthorTitleFileName(const std::string& readerFile, const std::string& authorUtf8,
                                const std::string& titleUtf8) {
    std::string name = Trim(authorUtf8).empty() && Trim(titleUtf8).empty()
                           ? std::string("Книга")
                           : authorUtf8 + ". " + titleUtf8;
    std::replace(name.begin(), name.end(), '/', '_');
    const size_t slash = readerFile.rfind('/');
    return (slash == std::string::npos ? std::string() : readerFile.substr(0, slash + 1)) + name +
           ".lxb";
}

std::string MemoFileBytes(std::string_view text) {
    std::string out(text);
    if (!out.empty() && !out.ends_with("\r\n")) out += "\r\n";
    return out;
}

}  // namespace lectorix
