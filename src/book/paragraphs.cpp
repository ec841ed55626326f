#include "book/paragraphs.h"

#include <algorithm>

#include "book/text_helpers.h"

namespace lectorix {
namespace {

constexpr char kRegistered = '\xAE';  // "®", a common misreading of "ъ" in scanned texts
constexpr char kHardSign = '\xFA';    // "ъ"
constexpr char kNoBreakSpace = '\xA0';

// Every maximal run of three or more CR LF pairs becomes exactly two.
std::string ShrinkBlankLineRuns(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            size_t pairs = 0;
            size_t j = i;
            while (j + 1 < text.size() && text[j] == '\r' && text[j + 1] == '\n') {
                ++pairs;
                j += 2;
            }
            const size_t keep = pairs >= 3 ? 2 : pairs;
            for (size_t k = 0; k < keep; ++k)
                out += "\r\n";
            i = j;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// Every CR LF not yet followed by a paragraph mark gets one.
std::string MarkEveryLine(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    const std::string_view all = text;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\r\n";
            i += 2;
            if (FindNoCase(all.substr(i, kParagraphMark.size()), kParagraphMark) != 0)
                out += kParagraphMark;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

}  // namespace

std::string MarkParagraphs(std::string chunk, bool everyLine) {
    chunk = ShrinkBlankLineRuns(chunk);
    const std::string mark = std::string("\r\n").append(kParagraphMark);
    chunk = ReplaceEverywhere(std::move(chunk), "\r\n\t", mark);
    for (int k = 6; k >= 1; --k) {
        const std::string indent(static_cast<size_t>(k), ' ');
        chunk = ReplaceEverywhere(std::move(chunk), "\r\n\r\n" + indent, mark);
        chunk = ReplaceEverywhere(std::move(chunk), "\r\n\r\n", mark);
        chunk = ReplaceEverywhere(std::move(chunk), "\r\n" + indent, mark);
    }
    if (everyLine) chunk = MarkEveryLine(chunk);
    return chunk;
}

bool IsOneParagraphALine(std::string_view text) {
    unsigned long long total = 0, inLong = 0;
    // The reader's lines end with CR LF, and the CR is trailing white space like any other.
    for (size_t i = 0; i < text.size();) {
        const size_t end = std::min(text.find('\n', i), text.size());
        const size_t length = TrimRight(text.substr(i, end - i)).size();
        total += length;
        if (length > kLongLine) inLong += length;
        i = end + 1;
    }
    return total > 0 && 2 * inLong >= total;
}

std::string NormalizeSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool lastBlank = false;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\t' || c == kNoBreakSpace) c = ' ';
        if (c == kRegistered) c = kHardSign;
        if (c == ' ') {
            if (lastBlank) continue;
            lastBlank = true;
        } else {
            lastBlank = false;
        }
        out.push_back(c);
    }
    return out;
}

std::string ExpandParagraphMarks(std::string text, std::string_view indent) {
    std::string replacement = "\r\n";
    replacement += indent;
    return ReplaceEverywhere(std::move(text), std::string(" ").append(kParagraphMark), replacement);
}

}  // namespace lectorix
