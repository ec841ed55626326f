#include "book/text_helpers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "book/cp1251.h"

namespace lectorix {
namespace {

constexpr std::array<bool, 256> MakeNonLetterTable(bool withLineBreaks) {
    std::array<bool, 256> t{};
    for (const char c : std::string_view(" ,.!\":;?()-_\t"))
        t[static_cast<unsigned char>(c)] = true;
    if (withLineBreaks) t['\r'] = t['\n'] = true;
    return t;
}

constexpr auto kSeparators = MakeNonLetterTable(false);
constexpr auto kNotCounted = MakeNonLetterTable(true);

}  // namespace

bool IsLetterSeparator(char c) {
    return kSeparators[static_cast<unsigned char>(c)];
}

std::int64_t CountLetters(std::string_view text) {
    std::int64_t skipped = 0;
    for (const char c : text)
        skipped += kNotCounted[static_cast<unsigned char>(c)];
    return static_cast<std::int64_t>(text.size()) - skipped;
}

std::int64_t CountLetters(const std::vector<std::string>& lines) {
    std::int64_t total = 0;
    for (const auto& line : lines)
        total += CountLetters(std::string_view(line));
    return total;
}

size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from) {
    if (pattern.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (pattern.size() > text.size()) return std::string_view::npos;
    // Without letters the case does not matter and the library's search is much faster.
    if (std::none_of(pattern.begin(), pattern.end(), Cp1251HasCase))
        return text.find(pattern, from);
    const char first = Cp1251Lower(pattern[0]);
    const size_t last = text.size() - pattern.size();
    for (size_t i = from; i <= last; ++i) {
        if (Cp1251Lower(text[i]) != first) continue;
        size_t k = 1;
        while (k < pattern.size() && Cp1251EqualNoCase(text[i + k], pattern[k]))
            ++k;
        if (k == pattern.size()) return i;
    }
    return std::string_view::npos;
}

std::string ReplaceEverywhere(std::string text, std::string_view pattern,
                              std::string_view replacement) {
    if (pattern.empty()) return text;
    // A replacement that holds the pattern would be replaced again for ever: one pass only.
    const bool once = FindNoCase(replacement, pattern) != std::string_view::npos;
    size_t pos = FindNoCase(text, pattern);
    while (pos != std::string_view::npos) {
        std::string out;
        out.reserve(text.size());
        size_t from = 0;
        while (pos != std::string_view::npos) {
            out.append(text, from, pos - from);
            out.append(replacement);
            from = pos + pattern.size();
            pos = FindNoCase(text, pattern, from);
        }
        out.append(text, from, std::string::npos);
        text.swap(out);
        if (once) break;
        pos = FindNoCase(text, pattern);
    }
    return text;
}

std::string CutField(std::string& record) {
    const size_t bar = record.find('|');
    if (bar == std::string::npos) return {};
    std::string field = record.substr(0, bar);
    record.erase(0, bar + 1);
    return field;
}

std::int64_t RoundHalfEven(double x) {
    if (!std::isfinite(x)) return 0;
    // Values past the int64 range saturate instead of overflowing.
    if (x >= 9.2e18) return INT64_MAX;
    if (x <= -9.2e18) return INT64_MIN;
    const double fl = std::floor(x);
    const double diff = x - fl;
    auto r = static_cast<std::int64_t>(fl);
    if (diff > 0.5 || (diff == 0.5 && (r % 2 != 0))) ++r;
    return r;
}

std::string_view TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsWhite(s[i]))
        ++i;
    return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && IsWhite(s[n - 1]))
        --n;
    return s.substr(0, n);
}

std::string_view Trim(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    out.reserve(total);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += lines[i];
    }
    return out;
}

std::string ShortestDecimal(double x) {
    if (x == 0) x = 0;  // no "-0"
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
    return std::string(buffer, result.ptr);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace lectorix
