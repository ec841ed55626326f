#include "book/text_wrap.h"

#include "book/text_helpers.h"

namespace lectorix {
namespace {

inline bool IsBookBreakChar(char c) {
    return c == '\t' || c == ' ' || c == '-' || c == '\xA0';
}

}  // namespace

std::string WrapBookText(std::string_view text, int width) {
    // Positions are 1-based, as the stored line counts were defined with them.
    const long long n = static_cast<long long>(text.size());
    const long long w = width;
    auto at = [&](long long pos) -> char { return pos >= 1 && pos <= n ? text[pos - 1] : '\0'; };

    std::string result;
    result.reserve(text.size() + text.size() / 8 + 16);
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
            if (lineEnd >= linePos) result.append(text.substr(linePos - 1, lineEnd - linePos + 1));
            if (!existingBreak && scanPos < n) result += "\r\n";
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
    if (linePos <= n) result.append(text.substr(linePos - 1));
    return result;
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
