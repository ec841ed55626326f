// The book wrap over any bytes at any width: it may only insert line breaks and drop the blanks
// and line breaks it replaces, never another character, and it gives exactly what the plain
// one-character-at-a-time wrap gives.
#include <cstdint>
#include <string>
#include <string_view>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book/text_wrap.h"
#include "fuzz_checks.h"

namespace {

using namespace lectorix;

std::string WithoutLineBreaks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s)
        if (c != '\r' && c != '\n') out.push_back(c);
    return out;
}

// Apart from line breaks, `wrapped` is `text` with some blanks left out.
void CheckKeepsText(std::string_view text, std::string_view wrapped, int width) {
    const std::string in = WithoutLineBreaks(text);
    const std::string out = WithoutLineBreaks(wrapped);
    size_t i = 0;
    for (size_t o = 0; o < out.size(); ++o, ++i) {
        while (i < in.size() && in[i] != out[o] && in[i] == ' ')
            ++i;
        FUZZ_CHECK(i < in.size() && in[i] == out[o],
                   "width %d: character %zu of the wrap (0x%02X) is not in the text", width, o,
                   static_cast<unsigned char>(out[o]));
    }
    for (; i < in.size(); ++i)
        FUZZ_CHECK(in[i] == ' ', "width %d: character %zu of the text (0x%02X) is lost", width, i,
                   static_cast<unsigned char>(in[i]));
}

// Every line fits the width but for trailing blanks; the last may hold one character more.
void CheckWidth(std::string_view wrapped, int width) {
    size_t start = 0;
    for (int row = 0;; ++row) {
        const size_t end = wrapped.find("\r\n", start);
        const bool last = end == std::string_view::npos;
        const std::string_view line =
            TrimRight(wrapped.substr(start, last ? std::string_view::npos : end - start));
        FUZZ_CHECK(line.size() <= static_cast<size_t>(width) + (last ? 1 : 0),
                   "width %d: line %d has %zu characters", width, row, line.size());
        if (last) break;
        start = end + 2;
    }
}

// The wrap one character at a time, as it was before it learned to pass over the inside of
// words: the stored line counts of every book depend on its exact output.
std::string ReferenceWrap(std::string_view text, int width) {
    const long long n = static_cast<long long>(text.size());
    const long long w = width;
    auto at = [&](long long pos) -> char { return pos >= 1 && pos <= n ? text[pos - 1] : '\0'; };
    auto isBreak = [](char c) { return c == '\t' || c == ' ' || c == '-' || c == '\xA0'; };
    std::string result;
    long long scanPos = 1, col = 1, linePos = 1, breakPos = 0, skip = 0;
    bool existingBreak = false, forcedBreak = false;
    while (scanPos <= n) {
        const char c = at(scanPos);
        const char next = at(scanPos + 1);
        const bool last = scanPos == n;
        if (c == '\r') {
            existingBreak = next == '\n' && !last;
            if (existingBreak) {
                ++scanPos;
                breakPos = scanPos;
            }
        } else if (isBreak(c)) {
            breakPos = scanPos;
        } else if (col >= w && scanPos - breakPos + 1 >= w) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The reader's widths start at 8; narrower ones are no layout anybody reads.
    const int width = 8 + data[0] % 93;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    // Raw bytes may hold lone CRs, which the reader never passes on (it normalises line ends
    // when it loads a text); the wrap must merely survive them.
    FUZZ_CHECK(WrapBookText(bytes, width) == ReferenceWrap(bytes, width),
               "width %d: the wrap differs from the one-character-at-a-time wrap", width);

    // The reader's own text has CR LF line ends only; widths hold for such text.
    const std::string text = NormalizeLineEnds(std::string(bytes));
    const std::string wrapped = WrapBookText(text, width);
    CheckKeepsText(text, wrapped, width);
    CheckWidth(wrapped, width);
    return 0;
}
