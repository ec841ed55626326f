#include "book/text_wrap.h"

#include "book/text_helpers.h"

#include <cstdint>

namespace lectorix {
namespace {

inline bool IsBookBreakChar(char c) {
    return c == '\t' || c == ' ' || c == '-' || c == '\xA0';
}

// What the wrap makes, whole: the reader's lines.
struct WrappedText {
    std::string Text;
    void Append(std::string_view s) { Text.append(s); }
};

// Only how many of the lines the wrap makes are not blank (hold a character above the blank),
// lines being what lies between CR LF pairs: what a book's line counts need, without building
// the text a million times over.
struct NonBlankLineCounter {
    std::int64_t Lines = 0;
    bool NonBlank = false;  // the line being made holds a character above the blank
    bool AfterCr = false;
    void Append(std::string_view s) {
        for (const char c : s) {
            if (c == '\n' && AfterCr) {
                Lines += NonBlank ? 1 : 0;
                NonBlank = false;
            } else if (static_cast<unsigned char>(c) > 32) {
                NonBlank = true;
            }
            AfterCr = c == '\r';
        }
    }
    std::int64_t Finish() const { return Lines + (NonBlank ? 1 : 0); }
};

template <class Out>
void WrapInto(std::string_view text, int width, Out& result) {
    // Positions are 1-based, as the stored line counts were defined with them.
    const long long n = static_cast<long long>(text.size());
    const long long w = width;
    auto at = [&](long long pos) -> char { return pos >= 1 && pos <= n ? text[pos - 1] : '\0'; };

    long long scanPos = 1, col = 1, linePos = 1, breakPos = 0, skip = 0;
    bool existingBreak = false, forcedBreak = false;

    while (scanPos <= n) {
        // Letters well inside the line change nothing but the column: only line ends, break
        // characters and the line's last column need the full step below.
        while (col < w && scanPos < n) {
            const char d = text[scanPos - 1];
            if (d == '\r' || IsBookBreakChar(d)) break;
            ++scanPos;
            ++col;
        }
        const char c = at(scanPos);
        const char next = at(scanPos + 1);
        const bool last = scanPos == n;
        if (c == '\r') {
            existingBreak = next == '\n' && !last;
            if (existingBreak) {
                ++scanPos;
                breakPos = scanPos;
            }
        } else if (IsBookBreakChar(c)) {
            breakPos = scanPos;
        } else if (col >= w && scanPos - breakPos + 1 >= w) {
            // The word fills the line on its own: cut it here.
            forcedBreak = true;
            if (!last && next == '\r') {
                skip += 2;
            } else if (next == ' ') {
                skip += 1;
            }
            breakPos = scanPos;
        } else if (col >= w && !last && (next == '\r' || next == ' ')) {
            skip += next == '\r' ? 2 : 1;
            breakPos = scanPos;
        }
        if (col >= w && c == '-' && next == ' ' && !last) skip += 1;
        ++scanPos;
        ++col;
        if (existingBreak || forcedBreak || (col > w && breakPos > linePos)) {
            col = scanPos - breakPos;
            const long long lineEnd = breakPos < n ? breakPos : n;
            if (lineEnd >= linePos) result.Append(text.substr(linePos - 1, lineEnd - linePos + 1));
            if (!existingBreak && scanPos < n) result.Append("\r\n");
            ++breakPos;
            if (skip > 0) {
                breakPos += skip;
                ++scanPos;
                skip = 0;
            }
            linePos = breakPos;
            existingBreak = forcedBreak = false;
        }
    }
    if (linePos <= n) result.Append(text.substr(linePos - 1));
}

}  // namespace

std::string WrapBookText(std::string_view text, int width) {
    WrappedText result;
    result.Text.reserve(text.size() + text.size() / 8 + 16);
    WrapInto(text, width, result);
    return std::move(result.Text);
}

std::int64_t CountNonBlankWrappedLines(std::string_view text, int width) {
    NonBlankLineCounter counter;
    WrapInto(text, width, counter);
    return counter.Finish();
}

std::vector<std::string> WrapPlainText(std::string_view text, int width) {
    const size_t w = width < 1 ? 1 : static_cast<size_t>(width);
    std::vector<std::string> rows;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        const bool lastLine = end == std::string_view::npos;
        if (lastLine) end = text.size();
        std::string_view rest = text.substr(start, end - start);
        if (rest.empty()) rows.emplace_back();
        while (rest.size() > w) {
            size_t firstWord = 0;
            while (firstWord < rest.size() && rest[firstWord] == ' ')
                ++firstWord;
            // The last blank within reach that has a word before it.
            size_t b = 0;
            for (size_t i = w; i > firstWord; --i) {
                if (rest[i] == ' ') {
                    b = i;
                    break;
                }
            }
            if (b > 0) {
                rows.emplace_back(rest.substr(0, b));
                size_t k = b;
                while (k < rest.size() && rest[k] == ' ')
                    ++k;
                rest = rest.substr(k);
            } else {
                rows.emplace_back(rest.substr(0, w));
                rest = rest.substr(w);
            }
        }
        if (!rest.empty()) rows.emplace_back(rest);
        if (lastLine) break;
        start = end + 2;
    }
    return rows;
}

}  // namespace lectorix
