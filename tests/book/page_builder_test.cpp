#include "book/page_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    UserSettings settings;
    PageState st;
    PageMemo memo;

    explicit Reader(std::string text, int chars = 22, int lines = 25, int repeats = 1)
        : source(std::move(text)) {
        settings.CharsPerLine = chars;
        settings.LinesPerPage = lines;
        settings.PageRepeats = repeats;
    }
    bool Next() {
        const bool built = BuildPage(st, memo, source, settings);
        if (built && (st.PageStart <= 0 || st.PageNumber < 1)) st.PageNumber = 1;
        return built;
    }
    bool Back() {
        st.PageRepeatsLeft = 0;
        st.ReadForward = false;
        st.TextPos = st.PageStart;
        const bool built = BuildPage(st, memo, source, settings);
        st.ReadForward = true;
        if (built && (st.PageStart <= 0 || st.PageNumber < 1)) st.PageNumber = 1;
        return built;
    }
};

// Enough words for many pages, one paragraph per sentence.
std::string ManyParagraphs(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += Cp("Раз два три четыре пять, вышел зайчик погулять. Номер ") + std::to_string(i) +
                ".\r\n";
    return text;
}

TEST(PreparePlainChunk, BlankLinesIndentsAndTabsOpenParagraphs) {
    // The start of a text is a paragraph start (BuildPage puts CR LF and a blank in front).
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n\r\n\r\n\r\nb"), "  a\r\n  b");
    // Any other line break is an ordinary blank.
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\nb"), "  a b");
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n\tb"), "  a\r\n  b");
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n   b"), "  a\r\n  b");
    // Seven blanks: six make the paragraph, one stays in front of its text.
    EXPECT_EQ(PreparePlainChunk("\r\n a\r\n       b"), "  a\r\n   b");
    // Blank runs, tabs and no-break spaces shrink to single blanks; "®" is read as "ъ".
    EXPECT_EQ(PreparePlainChunk("x  \t y\xA0\xA0z \xAE"), "x y z \xFA");
}

TEST(KeepPageLines, DropsBlankLinesAndKeepsTheLinesOfTheDirection) {
    PageMemo memo{{"one", "  ", "two", "", "three  "}};
    KeepPageLines(memo, 2, true);
    EXPECT_EQ(memo.Lines, (Lines{"one", "two"}));

    memo.Lines = {"one", " ", "two", "three  "};
    KeepPageLines(memo, 2, false);
    EXPECT_EQ(memo.Lines, (Lines{"two", "three"}));
}

TEST(MeasureConsumed, ForwardEndsRightAfterThePagesLastWord) {
    EXPECT_EQ(MeasureConsumed("  aaa bbb\r\nccc ddd", "aaa\r\nbbb", true), 9);
    // Words are found again even where the wrap split a word across two lines.
    EXPECT_EQ(MeasureConsumed("abcdefgh ij", "abcd\r\nefgh", true), 8);
    // A word the clean-up changed is stepped over by its length less one.
    EXPECT_EQ(MeasureConsumed("x\xAE\xAE y", "x\xFA\xFA y", true), 5);
}

TEST(MeasureConsumed, BackwardStartsAtTheBlankBeforeThePagesFirstWord) {
    // "aaa bbb ccc  " read back: ccc, bbb, then the blank before bbb.
    EXPECT_EQ(MeasureConsumed("aaa bbb ccc  ", "bbb\r\nccc", false), 10);
}

TEST(JustifyPageLines, ShortLinesAreWidenedToTheFullWidth) {
    PageMemo memo{{"a b c d", "x y"}};
    JustifyPageLines(memo, 12);
    // Three gaps share five blanks: one each, and the two left over go to the rightmost gaps.
    EXPECT_EQ(memo.Lines[0], "a  b   c   d ");
    EXPECT_EQ(memo.Lines[1], "x          y ");
}

TEST(JustifyPageLines, LinesEndingAParagraphOrThePageStayAsTheyAre) {
    PageMemo memo{{"aa bb", "  cc dd", "ee ff."}};
    JustifyPageLines(memo, 10);
    EXPECT_EQ(memo.Lines, (Lines{"aa bb ", "  cc    dd ", "ee ff. "}));

    // A last line ending with a letter is widened; a one-word line cannot be.
    memo.Lines = {"word", "aa bb"};
    JustifyPageLines(memo, 10);
    EXPECT_EQ(memo.Lines, (Lines{"word ", "aa      bb "}));

    // A full line is left alone, only its trailing blanks trimmed.
    memo.Lines = {"aaaa bbbbb   ", "c"};
    JustifyPageLines(memo, 10);
    EXPECT_EQ(memo.Lines[0], "aaaa bbbbb ");
}

TEST(JustifyPageLines, TheBlankAfterAnOpeningDashIsNeverStretched) {
    PageMemo memo{{"- ab cd", "x"}};
    JustifyPageLines(memo, 10);
    EXPECT_EQ(memo.Lines[0], "- ab    cd ");
}

TEST(BuildPage, APageIsShownPageRepeatsTimes) {
    Reader r(ManyParagraphs(40), 22, 25, 3);
    ASSERT_TRUE(r.Next());
    const PageState first = r.st;
    const Lines firstLines = r.memo.Lines;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(r.Next());
        EXPECT_EQ(r.st.TextPos, first.TextPos);
        EXPECT_EQ(r.st.PageNumber, 1);
        EXPECT_EQ(r.memo.Lines, firstLines);
    }
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.st.PageNumber, 2);
    EXPECT_EQ(r.st.PageStart, first.TextPos);
}

TEST(BuildPage, OnlyAParagraphStartIsIndented) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += Cp("слово ");
    Reader r(text);
    ASSERT_TRUE(r.Next());
    EXPECT_TRUE(r.memo.Lines[0].starts_with("  ")) << r.memo.Lines[0];
    ASSERT_TRUE(r.Next());
    EXPECT_NE(r.memo.Lines[0][0], ' ') << "a page in mid-paragraph has no indent";
}

TEST(BuildPage, TheFirstPageCountsItsLettersAndLines) {
    Reader r(Cp("Раз, два. Три!"));
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.memo.Lines, (Lines{Cp("  Раз, два. Три! ")}));
    EXPECT_EQ(r.st.LettersOnPage, 9);
    EXPECT_EQ(r.st.EmptyLinesOnPage, 24);
    EXPECT_EQ(r.st.PageStart, 0);
    EXPECT_EQ(r.st.TextPos, r.source.Length());
    EXPECT_TRUE(r.st.TextEnded);
    EXPECT_FALSE(r.Next());
}

TEST(BuildPage, NoPrintableTextLeavesThePositionAlone) {
    for (const std::string text : {"", "   \r\n\t  \r\n"}) {
        Reader r(text);
        r.st.PageNumber = 7;
        EXPECT_FALSE(r.Next());
        EXPECT_TRUE(r.st.TextEnded);
        EXPECT_EQ(r.st.TextPos, 0);
        EXPECT_EQ(r.st.PageNumber, 7);
        EXPECT_TRUE(r.memo.Lines.empty());
    }
}

TEST(BuildPage, ABackwardPageEndsWhereTheNextPageBegins) {
    Reader r(ManyParagraphs(60));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(r.Next());
    const PageState fifth = r.st;
    const Lines fifthLines = r.memo.Lines;

    ASSERT_TRUE(r.Back());
    EXPECT_EQ(r.st.PageNumber, 4);
    EXPECT_EQ(r.st.TextPos, fifth.PageStart);
    EXPECT_LT(r.st.PageStart, fifth.PageStart);
    EXPECT_LE(r.memo.Lines.size(), 25u);
    // Between the backward page's start and its end lie exactly its letters.
    EXPECT_EQ(CountLetters(std::string_view(r.source.Text())
                               .substr(r.st.PageStart, r.st.TextPos - r.st.PageStart)),
              r.st.LettersOnPage);

    // Reading on from there shows the fifth page again, unchanged.
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.st.PageNumber, 5);
    EXPECT_EQ(r.st.PageStart, fifth.PageStart);
    EXPECT_EQ(r.st.TextPos, fifth.TextPos);
    EXPECT_EQ(r.memo.Lines, fifthLines);
}

TEST(BuildPage, ALongRunOfBlankLinesIsNotTheEndOfTheText) {
    const std::string text = Cp("Начало.\r\n") + [] {
        std::string blank;
        for (int i = 0; i < 5000; ++i)
            blank += "\r\n";
        return blank;
    }() + Cp("  Конец текста.");
    Reader r(text);
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.memo.Lines, (Lines{Cp("  Начало. ")}));
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.st.PageNumber, 2);
    // The text after the run opens a paragraph, just as it does after a short run.
    Reader shortRun(Cp("Начало.\r\n\r\n\r\n\r\n  Конец текста."));
    ASSERT_TRUE(shortRun.Next());
    ASSERT_EQ(shortRun.memo.Lines.size(), 2u);
    EXPECT_EQ(r.memo.Lines, (Lines{shortRun.memo.Lines[1]}));
    EXPECT_TRUE(r.st.TextEnded);
    EXPECT_FALSE(r.Next());

    // And back again over the same run.
    ASSERT_TRUE(r.Back());
    EXPECT_EQ(r.st.PageNumber, 1);
    EXPECT_EQ(Trim(r.memo.Lines[0]), Cp("Начало."));
}

TEST(BuildPage, ARunOfBlanksOrNoBreakSpacesIsSteppedOver) {
    for (const char filler : {' ', '\xA0'}) {
        Reader r("aaa" + std::string(4000, filler) + "bbb ccc.");
        ASSERT_TRUE(r.Next());
        std::vector<Lines> pages{r.memo.Lines};
        while (r.Next())
            pages.push_back(r.memo.Lines);
        ASSERT_GE(pages.size(), 2u) << int(filler);
        EXPECT_EQ(Trim(pages.back().back()), "bbb ccc.");
    }
}

// Walks a whole text forwards and back and checks what the reader relies on: the pages follow
// each other with only white space between them, every letter is shown once, and the walk back
// arrives at page 1 at the start of the text.
void CheckWholeText(const std::string& text, int chars, int lines) {
    SCOPED_TRACE("width " + std::to_string(chars) + ", lines " + std::to_string(lines));
    Reader r(text, chars, lines);
    const std::string_view all = r.source.Text();
    std::int64_t letters = 0;
    long long previousNext = 0;
    int pages = 0;
    long long firstPageEnd = 0;
    while (r.Next()) {
        if (++pages == 1) firstPageEnd = r.st.TextPos;
        ASSERT_EQ(r.st.PageNumber, pages);
        ASSERT_GE(r.st.PageStart, previousNext);
        ASSERT_TRUE(Trim(all.substr(previousNext, r.st.PageStart - previousNext)).empty())
            << "text skipped before page " << pages;
        ASSERT_LE(r.memo.Lines.size(), static_cast<size_t>(lines));
        for (const auto& l : r.memo.Lines)
            ASSERT_LE(l.size(), static_cast<size_t>(chars) + 1);
        ASSERT_EQ(r.st.TextEnded, r.st.TextPos >= r.source.TrimmedLength());
        letters += r.st.LettersOnPage;
        previousNext = r.st.TextPos;
    }
    EXPECT_TRUE(Trim(all.substr(previousNext)).empty()) << "text left after the last page";
    // A no-break space is a letter of the text but a blank on the page.
    const auto nbsp = std::count(all.begin(), all.end(), '\xA0');
    EXPECT_EQ(letters, CountLetters(all) - nbsp);

    long long previousStart = r.st.PageStart;
    int backPages = 0;
    while (r.st.PageNumber > 1 && r.Back()) {
        ASSERT_LT(r.st.PageStart, previousStart);
        previousStart = r.st.PageStart;
        ++backPages;
    }
    EXPECT_EQ(r.st.PageNumber, 1);
    EXPECT_EQ(backPages, pages - 1);
    // Backward pages break their lines afresh, so page 1 reached backwards need not start at
    // offset 0, but it lies within the first page read forwards.
    EXPECT_LT(r.st.PageStart, firstPageEnd);
}

TEST(BuildPage, SampleTextsReadToTheEndAndBack) {
    for (const char* name :
         {"texts/chekhov_khameleon.utf8.txt", "texts/pushkin_evgeny_onegin.utf8.txt"}) {
        SCOPED_TRACE(name);
        const std::string text = LoadTextFile(test::DataPath(name));
        CheckWholeText(text, 22, 25);
        CheckWholeText(text, 8, 4);
        CheckWholeText(text, 80, 25);
    }
}

TEST(BuildPage, ALongNovelReadsToTheEnd) {
    const std::string path = test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt");
    if (path.empty()) GTEST_SKIP() << "the shared test texts are not beside the repository";
    CheckWholeText(LoadTextFile(path), 22, 25);
}

TEST(BuildPage, PagesSmallerThanABlankLineRunStillMoveOn) {
    // A chunk of two characters lands between the CR and LF of a blank-line run.
    Reader r("a\r\n\r\n\r\n\r\n\r\n\r\nb c", 1, 1);
    int pages = 0;
    while (r.Next() && pages < 100) ++pages;
    EXPECT_EQ(pages, 3);  // a, b, c
}

TEST(BuildPage, ParagraphMarksTypedIntoTheTextCannotStallTheReader) {
    // Characters the clean-up turns into marks or changes must still let the pages advance.
    for (const std::string& text :
         {std::string(" <TOF> <tof>  <TOF>"), std::string(3000, '\xA0') + "x", std::string("\xAE"),
          std::string("\xAE \xAE \xAE")}) {
        Reader r(text, 8, 4);
        int pages = 0;
        while (r.Next() && pages < 10000)
            ++pages;
        EXPECT_LT(pages, 10000);
    }
}

}  // namespace
}  // namespace lectorix
