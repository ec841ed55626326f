#include "book/page_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "book/paragraphs.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using Lines = std::vector<std::string>;

// A reader over one text: the page state, the page and the settings it is built with.
struct Reader {
    SourceText source;
    PageLayout settings;
    PageState st;
    PageMemo memo;

    explicit Reader(std::string text, int chars = 22, int lines = 25, int repeats = 1,
                    LineParagraphs paragraphs = LineParagraphs::Auto)
        : source(std::move(text)),
          settings{.CharsPerLine = chars,
                   .LinesPerPage = lines,
                   .PageRepeats = repeats,
                   .Paragraphs = paragraphs} {}
    // The next page, or the previous one, numbered as the reader numbers it.
    bool Build(bool forward) {
        if (!forward) st.TextPos = st.PageStart;
        st.ReadForward = forward;
        const bool built = BuildPage(st, memo, source, settings);
        st.ReadForward = true;
        if (built && (st.PageStart <= 0 || st.PageNumber < 1)) st.PageNumber = 1;
        return built;
    }
    bool Next() { return Build(true); }
    bool Back() { return Build(false); }
};

TEST(PreparePlainChunk, BlankLinesIndentsTabsOrEveryLineOpenParagraphs) {
    // The start of a text is a paragraph start (BuildPage puts CR LF and a blank in front).
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n\r\n\r\n\r\nb"), "  a\r\n  b");
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\nb"), "  a b");  // any other line break is a blank
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n\tb"), "  a\r\n  b");
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n       b"), "  a\r\n   b");  // six make the indent
    // Blank runs, tabs and no-break spaces shrink to single blanks; "®" is read as "ъ".
    EXPECT_EQ(PreparePlainChunk("x  \t y\xA0\xA0z \xAE"), "x y z \xFA");
    // One paragraph a line: every line a paragraph, but no empty ones.
    EXPECT_EQ(PreparePlainChunk(Cp("\r\n Хамелеон\r\nЧерез площадь.\r\n— Кто?"), true),
              Cp("  Хамелеон\r\n  Через площадь.\r\n  — Кто?"));
    // Blank lines, indents and marks typed in any case already open the paragraph.
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n\r\n\r\nb\r\n   c\r\n\td\r\n<tof>e", true),
              "  a\r\n  b\r\n  c\r\n  d\r\n  e");
}

TEST(IsOneParagraphALine, LongLinesHoldingHalfTheTextsCharactersMakeEveryLineAParagraph) {
    const std::string longLine(101, 'a');
    // 101 characters in a long line against 101 in short ones: exactly half is enough.
    EXPECT_TRUE(IsOneParagraphALine(longLine + "\r\n" + std::string(50, 'b') + "\r\n" +
                                    std::string(51, 'c') + "\r\n"));
    EXPECT_FALSE(IsOneParagraphALine(longLine + "\r\n" + std::string(50, 'b') + "\r\n" +
                                     std::string(52, 'c')));
    // Blank lines count for nothing, however many blanks and tabs they hold.
    EXPECT_TRUE(IsOneParagraphALine(longLine + "\r\n \t  \r\n\r\n" + std::string(101, 'b')));
    // Trailing white space makes no line long; leading blanks are part of the line.
    EXPECT_FALSE(IsOneParagraphALine(std::string(100, 'a') + " \t \r\n"));
    EXPECT_TRUE(IsOneParagraphALine(" " + std::string(100, 'a') + "\r\n"));
    EXPECT_FALSE(IsOneParagraphALine(" \r\n\t\r\n"));  // no characters: no half of them
}

Lines Justified(Lines lines, int width) {
    PageMemo memo{std::move(lines)};
    JustifyPageLines(memo, width);
    return memo.Lines;
}

TEST(JustifyPageLines, WidensLinesButNotThoseEndingAParagraphOrThePage) {
    // Three gaps share five blanks: one each, and the two left over go to the rightmost gaps.
    EXPECT_EQ(Justified({"a b c d", "x y"}, 12), (Lines{"a  b   c   d ", "x          y "}));
    EXPECT_EQ(Justified({"aa bb", "  cc dd", "ee ff."}, 10),
              (Lines{"aa bb ", "  cc    dd ", "ee ff. "}));
    // A last line ending with a letter is widened; a one-word line cannot be.
    EXPECT_EQ(Justified({"word", "aa bb"}, 10), (Lines{"word ", "aa      bb "}));
    EXPECT_EQ(Justified({"aaaa bbbbb   ", "c"}, 10)[0], "aaaa bbbbb ");  // a full line
    EXPECT_EQ(Justified({"- ab cd", "x"}, 10)[0], "- ab    cd ");        // not after a speech dash
    // A line set apart by four blanks (verse) stays as it is, and so do the lines it wraps into,
    // up to the next paragraph; the rest of one at the top of the page too.
    EXPECT_EQ(Justified({"    a b", "c d", "e f", "  g h", "i j"}, 10),
              (Lines{"    a b ", "c d ", "e f ", "  g      h ", "i        j "}));
    PageMemo memo{{"c d", "e f", "  g h", "i j"}};
    JustifyPageLines(memo, 10, true);
    EXPECT_EQ(memo.Lines, (Lines{"c d ", "e f ", "  g      h ", "i        j "}));
}

TEST(BuildPage, APageIsShownPageRepeatsTimesThenTheTextEnds) {
    Reader r(Cp("Раз, два. Три!"), 22, 25, 2);
    for (int shown = 0; shown < 2; ++shown) {
        ASSERT_TRUE(r.Next());
        EXPECT_EQ(r.memo.Lines, (Lines{Cp("  Раз, два. Три! ")}));
        EXPECT_EQ(r.st.EmptyLinesOnPage, 24);
    }
    // No printable text left: no page, and the position stays where it was.
    EXPECT_FALSE(r.Next());
    EXPECT_TRUE(r.st.TextEnded && r.memo.Lines.empty());
    EXPECT_EQ(r.st.TextPos, r.source.Length());
    for (const std::string text : {"", "   \r\n\t  \r\n"}) {
        Reader none(text);
        EXPECT_FALSE(none.Next());
        EXPECT_TRUE(none.st.TextEnded && none.st.TextPos == 0) << text;
    }
}

// Walks a whole text forwards and back and checks what the reader relies on: the pages chain
// with only white space between them, and each page shows the letters of its stretch of the
// text (a no-break space is a letter of the text but a blank on the page).
void CheckWholeText(const std::string& text, int chars, int lines,
                    LineParagraphs paragraphs = LineParagraphs::Auto) {
    SCOPED_TRACE("width " + std::to_string(chars) + ", lines " + std::to_string(lines) +
                 ", line paragraphs " + std::to_string(static_cast<int>(paragraphs)));
    Reader r(text, chars, lines, 1, paragraphs);
    const std::string_view all = r.source.Text();
    auto blank = [](std::string_view s) { return s.find_first_not_of(" \t\r\n\xA0") == s.npos; };
    auto checkPage = [&] {
        ASSERT_LE(r.memo.Lines.size(), static_cast<size_t>(lines));
        for (const auto& l : r.memo.Lines)
            ASSERT_LE(l.size(), static_cast<size_t>(chars) + 1);
        const auto shown = all.substr(r.st.PageStart, r.st.TextPos - r.st.PageStart);
        ASSERT_EQ(r.st.LettersOnPage,
                  CountLetters(shown) - std::count(shown.begin(), shown.end(), '\xA0'));
    };
    int pages = 0;
    long long previousNext = 0, firstPageEnd = 0;
    while (r.Next()) {
        if (++pages == 1) firstPageEnd = r.st.TextPos;
        ASSERT_EQ(r.st.PageNumber, pages);
        ASSERT_GT(r.st.TextPos, r.st.PageStart) << "the reader stands still";
        ASSERT_TRUE(blank(all.substr(previousNext, r.st.PageStart - previousNext)))
            << "text skipped before page " << pages;
        ASSERT_EQ(r.st.TextEnded, r.st.TextPos >= r.source.TrimmedLength());
        checkPage();
        previousNext = r.st.TextPos;
        if (pages == 2) {  // one page back and on again shows the same page
            const auto shown = std::tuple(r.st.PageStart, r.st.TextPos, r.memo.Lines);
            ASSERT_TRUE(r.Back() && r.Next());
            ASSERT_EQ(std::tuple(r.st.PageStart, r.st.TextPos, r.memo.Lines), shown);
        }
    }
    EXPECT_TRUE(blank(all.substr(previousNext))) << "text left after the last page";
    // Backward pages break their lines afresh: each ends where the page after it begins, and
    // page 1 need not start at offset 0 but lies within the first page read forwards.
    while (r.st.PageNumber > 1) {
        const PageState after = r.st;
        ASSERT_TRUE(r.Back());
        ASSERT_EQ(r.st.PageNumber, after.PageNumber - 1);
        ASSERT_EQ(r.st.TextPos, after.PageStart);
        ASSERT_LT(r.st.PageStart, after.PageStart);
        checkPage();
    }
    EXPECT_LT(r.st.PageStart, firstPageEnd);
}

TEST(BuildPage, SampleTextsReadToTheEndAndBack) {
    for (const char* name :
         {"texts/chekhov_khameleon.utf8.txt", "texts/pushkin_evgeny_onegin.utf8.txt"}) {
        SCOPED_TRACE(name);
        const std::string text = LoadTextFile(test::DataPath(name));
        for (const auto& [chars, lines] : {std::pair(22, 25), std::pair(8, 4), std::pair(80, 25)})
            for (const auto mode : {LineParagraphs::On, LineParagraphs::Off})
                CheckWholeText(text, chars, lines, mode);
    }
}

// The modes themselves are the tool's test on the story; here what overrides them.
TEST(BuildPage, ABooksLinesAreNeverParagraphsAndVerseIsNoTextOneParagraphALine) {
    const std::string text = Cp("Хамелеон\r\n— Кто?\r\n") + std::string(150, 'x');
    Reader book(text, 12, 2, 1, LineParagraphs::On);
    book.source.Assign(text, true);
    ASSERT_TRUE(book.Next());
    EXPECT_EQ(book.memo.Lines[0], Cp("  Хамелеон — ")) << test::Utf(JoinLines(book.memo.Lines));
    EXPECT_TRUE(Reader(text).source.OneParagraphALine());
    const std::string verse = Cp("Мой дядя самых честных правил,\r\nКогда не в шутку занемог");
    EXPECT_FALSE(Reader(verse).source.OneParagraphALine());
}

TEST(BuildPage, ALongRunOfBlankLinesBlanksOrNoBreakSpacesIsNotTheEndOfTheText) {
    const std::pair<std::string, std::string> runs[] = {
        // After blank lines the text opens a paragraph, just as it does after a short run;
        // after blanks the paragraph goes on, so the page has no indent.
        {NormalizeLineEnds(std::string(5000, '\n')), Cp("   Конец текста. ")},
        {std::string(4000, ' '), Cp("Конец текста. ")},
        {std::string(4000, '\xA0'), Cp("Конец текста. ")},
    };
    for (const auto& [run, secondPage] : runs) {
        const std::string text = Cp("Начало.") + run + Cp("  Конец текста.");
        CheckWholeText(text, 22, 25);
        Reader r(text);
        ASSERT_TRUE(r.Next() && r.Next());
        EXPECT_EQ(r.memo.Lines, (Lines{secondPage}));
    }
}

TEST(BuildPage, TheReaderNeverStandsStill) {
    // A chunk of two characters lands between the CR and LF of a blank-line run.
    CheckWholeText("a\r\n\r\n\r\n\r\n\r\n\r\nb c", 1, 1);
    // Characters the clean-up turns into marks or changes must still let the pages advance.
    for (const char* text : {" <TOF> <tof>  <TOF>", "\xAE", "\xAE \xAE \xAE"}) {
        Reader r(text, 8, 4);
        while (r.Next())
            ASSERT_GT(r.st.TextPos, r.st.PageStart) << text;
    }
}

}  // namespace
}  // namespace lectorix
