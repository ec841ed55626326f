#include "book/text_wrap.h"

#include <gtest/gtest.h>

#include <tuple>

#include "book/text_helpers.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using Lines = std::vector<std::string>;

TEST(WrapBookText, BreaksAtBlanksAndHyphensAndCutsWordsLongerThanTheLine) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {"aaaa bbbb", 6, "aaaa \r\nbbbb"},
        // Stored line counts rely on this: a line ending just before the text's last character
        // gets no break, so the last character joins it.
        {"aaaa cccccccccc.", 10, "aaaa \r\ncccccccccc."},
        {"abc", 1, "a\r\nbc"},
        // The word filling the line drops its CR LF; the LF still counts as column 1.
        {"aaaaa\r\nbb cc dd", 5, "aaaaa\r\nbb \r\ncc dd"},
        {"aaaa\r\nbb cc dd", 5, "aaaa\r\nbb cc\r\ndd"},
        // A word ending in the last column drops the blank after it; a hyphen stays in its line.
        {"abcde fgh", 5, "abcde\r\nfgh"},
        {"ab-cdef gh", 4, "ab-\r\ncdef\r\ngh"},
        {"ab\r\ncd\r\n", 10, "ab\r\ncd\r\n"},
        {"", 10, ""},
    };
    for (const auto& [text, width, wrapped] : cases)
        EXPECT_EQ(WrapBookText(text, width), wrapped) << text << " at " << width;
}

TEST(WrapBookText, NoLineIsWiderThanTheWidthApartFromTrailingBlanks) {
    // Save for the last line, which the text's last character may join.
    const std::string text = test::Cp(
        "Он шёл — не спеша, по-над берегом, и вдруг увидел: вдали стоит дом-крепость.\r\n"
        "  Второй абзац начинается с отступа;  два пробела   и длинноесловобезпробелов.");
    for (int width = 2; width <= 90; ++width) {
        const auto lines = SplitLines(WrapBookText(text, width));
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_LE(TrimRight(lines[i]).size(), static_cast<size_t>(width)) << width;
        EXPECT_LE(TrimRight(lines.back()).size(), static_cast<size_t>(width) + 1) << width;
    }
}

TEST(CountNonBlankWrappedLines, AgreesWithTheLinesOfTheWrappedText) {
    // What a book's line counts are made of: the wrapped text's lines between CR LF pairs that
    // hold a character above the blank. Blank lines, blanks-only lines, lone CRs, CR CR LF and
    // texts ending in a break are where a count kept on the fly could drift.
    auto expected = [](const std::string& wrapped) {
        std::int64_t n = 0;
        size_t start = 0;
        while (start < wrapped.size()) {
            size_t end = wrapped.find("\r\n", start);
            if (end == std::string::npos) end = wrapped.size();
            if (!Trim(std::string_view(wrapped).substr(start, end - start)).empty()) ++n;
            start = end + 2;
        }
        return n;
    };
    std::vector<std::string> texts;
    for (const char* utf8 : {"", "\r\n", "  \r\n\t\r\n", "a\r", "a\r\r\nb", "\r\rb\n",
                             "слово  \r\n\r\n  ещё-слово\r\n", "длинноесловобезпробелов конец"})
        texts.push_back(test::Cp(utf8));
    // And byte soups of the characters the wrap looks at, the same every run.
    std::uint32_t seed = 12345;
    const char alphabet[] = {'a', 'b', ' ', ' ', '-', '\r', '\n', '\t', '\xA0', '\x01'};
    for (int t = 0; t < 200; ++t) {
        std::string soup;
        for (int i = 0; i < 1 + t % 60; ++i) {
            seed = seed * 1664525u + 1013904223u;
            soup += alphabet[(seed >> 16) % sizeof alphabet];
        }
        texts.push_back(soup);
    }
    for (const std::string& text : texts) {
        for (int width = 1; width <= 40; ++width)
            ASSERT_EQ(CountNonBlankWrappedLines(text, width), expected(WrapBookText(text, width)))
                << ::testing::PrintToString(text) << " at " << width;
    }
}

TEST(WrapPlainText, BreaksAtTheLastBlankThatFits) {
    EXPECT_EQ(WrapPlainText("aaa bbb ccc", 7), (Lines{"aaa bbb", "ccc"}));
    // A blank right after a full row is a break as well, and it is not carried over.
    EXPECT_EQ(WrapPlainText("aaaaaaa    bbb", 7), (Lines{"aaaaaaa", "bbb"}));
    // An indent alone is no place to break.
    EXPECT_EQ(WrapPlainText("  abcdefgh", 4), (Lines{"  ab", "cdef", "gh"}));
    EXPECT_EQ(WrapPlainText("ab\r\n\r\ncd", 4), (Lines{"ab", "", "cd"}));
    EXPECT_EQ(WrapPlainText("a b   ", 3), (Lines{"a b"}));
}

}  // namespace
}  // namespace lectorix
