// The book wrap over any bytes at any width: it may only insert line breaks and drop the blanks
// and line breaks it replaces, never another character.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The reader's widths start at 8; narrower ones are no layout anybody reads.
    const int width = 8 + data[0] % 93;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    // Raw bytes may hold lone CRs, which the reader never passes on (it normalises line ends
    // when it loads a text); the wrap must merely survive them.
    (void)WrapBookText(bytes, width);

    // The reader's own text has CR LF line ends only; widths hold for such text.
    const std::string text = NormalizeLineEnds(std::string(bytes));
    const std::string wrapped = WrapBookText(text, width);
    CheckKeepsText(text, wrapped, width);
    CheckWidth(wrapped, width);
    return 0;
}
