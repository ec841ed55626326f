#include "formatter/book_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "book/book_trailer.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book_pages.h"
#include "formatter/format_operations.h"
#include "formatter/heading_detector.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(BuildBookStructure, LinesAfterBlankLinesBecomeHeadingsAndBodyLinesAreCleaned) {
    // Blanks, tabs and no-break spaces shrink to one blank; separator lines keep a fixed length.
    const std::string book =
        BuildBookStructure(Cp("\r\nГлава\r\n\r\nТекст\r\n") + "a\t \xA0 b  \r\n" +
                               std::string(20, '-') + "\r\n" + std::string(12, '_'),
                           BookHeader{});
    EXPECT_EQ(
        book.substr(0, book.find("\r\n<INFOTEXTAUTOR>||")),
        Cp("   Глава\r\n   Текст\r\n  a b\r\n  ") + std::string(16, '-') + "\r\n  " +
            std::string(15, '_') +
            Cp("\r\n<MENU>\r\n   Глава     |0|0|\r\n   Текст     |10|5|\r\n<INFOTEXTlen>|0|12|"));
}

// A heading with a "|" made a contents line whose Pos field was the rest of the title: the
// line counts could not be computed and the book did not open.
TEST(BuildBookStructure, ABarInAHeadingStaysInTheTextButNotInTheContentsField) {
    std::string book = BuildBookStructure("\r\nA|B\r\ntext", BookHeader{});
    EXPECT_NE(book.find("   A\xA6"
                        "B     |0|0|"),
              std::string::npos);
    EXPECT_TRUE(book.starts_with("   A|B\r\n"));
    ASSERT_TRUE(ComputeBookLineCounts(book));
    test::CheckPages(book, 16, 4);
}

TEST(ComputeBookLineCounts, EveryContentsPageIsThePageTheReaderShows) {
    // Chapters whose last line ends just before the line break that closes them, the case
    // where a chapter wrapped without that break came out one line short.
    std::string raw;
    for (int c = 0; c < 30; ++c) {
        raw += "\r\n" + Cp("Глава ") + std::to_string(c) + "\r\n";
        for (int p = 0; p < c % 7 + 1; ++p)
            raw += Cp("Слова и ещё слова, они идут одно за другим без конца и края.") +
                   std::string(static_cast<size_t>(c % 5), 'x') + "\r\n";
    }
    std::string book = BuildBookStructure(raw, BookHeader{});
    ASSERT_TRUE(ComputeBookLineCounts(book));
    // Every stored width; other widths borrow the counts of a stored one and cannot match.
    for (const int chars : {16, 22, 40, 80, 90})
        for (const int lines : {4, 25})
            test::CheckPages(book, chars, lines);
    // Counting a counted book again changes nothing.
    std::string again = book;
    ASSERT_TRUE(ComputeBookLineCounts(again));
    EXPECT_TRUE(again == book);

    // Real texts: the poem here, the novel when the shared texts are beside the repository.
    for (const std::string& path : {test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt"),
                                    test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt")}) {
        if (path.empty()) continue;
        book = BuildBookStructure(LoadTextFile(path), BookHeader{});
        ASSERT_TRUE(ComputeBookLineCounts(book));
        test::CheckPages(book, 22, 25, false);
    }
}

TEST(FormatOperations, LineOperationsLeaveTheFirstLineAndMatchTheIndentTheyAreTold) {
    Lines lines{"a", "b", "  c", "d"};
    JoinWrappedLines(lines);
    EXPECT_EQ(lines, (Lines{"a b", "  c d"}));

    const Lines indented{"x", "  x", "   x", " x", "x"};
    auto separated = [&](SeparatorRule rule) {
        Lines l = indented;
        InsertSeparators(l, rule);
        return l;
    };
    EXPECT_EQ(separated({2, false, true}), (Lines{"x", "", "  x", "   x", " x", "x"}));
    EXPECT_EQ(separated({2, true, false}), (Lines{"x", "  x", "", "   x", " x", "x"}));
    // Neither box: one blank fewer than asked.
    EXPECT_EQ(separated({2, false, false}), (Lines{"x", "  x", "   x", "", " x", "x"}));

    lines = {"", "a", "", "", "b"};
    DeleteEmptyLines(lines);
    EXPECT_EQ(lines, (Lines{"", "a", "b"}));  // the first line stays: it makes a heading

    lines = {Cp("Глава"), Cp("Глава"), "end.", "(1)", "  note 2  ", "", std::string(300, 'x')};
    IndentUnpunctuatedLines(lines);
    EXPECT_EQ(lines, (Lines{Cp("Глава"), Cp("     Глава"), "end.", "     (1)", "       note 2", "",
                            std::string(300, 'x')}));

    EXPECT_EQ(AddBlanksAfterBreaks("a\r\n b\r\nc\r\n  d", 2), "a\r\n   b\r\nc\r\n    d");
    // Lines with more blanks than the buckets hold are counted, in a bucket of their own.
    EXPECT_EQ(LeadingBlanksReport(
                  {"", "a", "  a", "   ", std::string(101, ' ') + "a", std::string(150, ' ')}),
              "| 0=2 | 2=1 | 3=1 | >100=2 ");
}

TEST(FormatOperations, QuestionsPointAtTheUnchangedTextAndStopKeepsWhatWasDecided) {
    Lines lines{"keep x", "drop x", "x x", "none", "x again"};
    std::vector<TextPoint> asked;
    std::vector<Decision> answers{Decision::No, Decision::Yes, Decision::Yes, Decision::Stop};
    auto ask = [&](TextPoint at, size_t) {
        asked.push_back(at);
        return answers[asked.size() - 1];
    };
    EXPECT_EQ(DeleteLinesContaining(lines, "x", ask), 2u);
    EXPECT_EQ(lines, (Lines{"keep x", "none", "x again"}));
    EXPECT_EQ(asked, (std::vector<TextPoint>{{0, 0}, {1, 0}, {2, 0}, {4, 0}}));
    EXPECT_EQ(DeleteLinesContaining(lines, "", ask), 0u);  // an empty text matches every line

    // Without questions every occurrence goes; a replacement ending in a line break opens a line.
    lines = {"a X X", "b"};
    EXPECT_EQ(ReplaceInLines(lines, "X", "YX\r\n", nullptr), 2u);
    EXPECT_EQ(lines, (Lines{"a YX", " YX", "", "b"}));
    lines = {"  X  X", "X"};
    asked.clear();
    answers = {Decision::Yes, Decision::No};
    EXPECT_EQ(ReplaceInLines(lines, "X", "\"X", ask), 1u);
    EXPECT_EQ(lines, (Lines{"  \"X  X", "X"}));  // only the line's first occurrence is offered
    EXPECT_EQ(asked, (std::vector<TextPoint>{{0, 2}, {1, 0}}));

    // "Найти" looks in the lines starting at or after the caret, so the next press goes on.
    const Lines text{"ab ab", "ab", "cab"};
    EXPECT_EQ(FindFromCaret(text, {0, 0}, "ab"), (TextPoint{0, 0}));
    EXPECT_EQ(FindFromCaret(text, {0, 2}, "ab"), (TextPoint{1, 0}));
    EXPECT_EQ(FindFromCaret(text, {1, 2}, "ab"), (TextPoint{2, 1}));
    EXPECT_EQ(FindFromCaret(text, {2, 1}, "ab"), std::nullopt);
    // Offsets count CR LF as two; one inside a line break stands at the end of its line.
    EXPECT_EQ(PointOfOffset(text, 6), (TextPoint{0, 5}));
    EXPECT_EQ(PointOfOffset(text, 7), (TextPoint{1, 0}));
    EXPECT_EQ(OffsetOfPoint(text, {2, 1}), 12);
}

// The withdrawn heading lost a blank, and the entries after it kept their old positions: the
// reader then started each of them one character late.
TEST(FormatOperations, AWithdrawnEntryLeavesEveryOtherPositionRight) {
    const std::string raw =
        Cp("\r\nГлава 1\r\nтекст\r\n\r\nГлава 2\r\nтекст\r\n\r\nГлава 3\r\nконец");
    const std::string book = BuildBookStructure(raw, BookHeader{});
    Lines text = SplitLines(book.substr(0, book.find("<MENU>") - 2));
    Lines trailer = SplitLines(TrailerOf(book));
    ASSERT_EQ(trailer[2], Cp("   Глава 2     |21|11|"));
    // Not an entry: nothing changes.
    EXPECT_FALSE(WithdrawContentsEntry(text, trailer, 0, {}).Removed);
    EXPECT_EQ(trailer.size(), 15u);

    const Withdrawal w = WithdrawContentsEntry(text, trailer, 2, {});
    EXPECT_TRUE(w.Removed);
    EXPECT_EQ(w.Title, Cp("   Глава 2"));
    EXPECT_EQ(w.Heading, (TextPoint{2, 0}));
    EXPECT_EQ(text[2], Cp("  Глава 2"));
    EXPECT_EQ(trailer[1], Cp("   Глава 1     |0|0|"));
    EXPECT_EQ(trailer[2], Cp("   Глава 3     |41|22|"));
    std::string rebuilt = JoinLines(text) + "\r\n" + JoinLines(trailer);
    ASSERT_TRUE(ComputeBookLineCounts(rebuilt));
    test::CheckPages(rebuilt, 16, 2);
    EXPECT_FALSE(TrailerLacksLineCounts(rebuilt));
    EXPECT_TRUE(TrailerLacksLineCounts(book));

    // A heading edited since is looked for from the caret, and only at a line's start.
    text = {"x   A", "  b", "   A", "  c"};
    trailer = {"<MENU>", "   A     |999|0|", "   C     |20|5|", "<INFOTEXTlen>|0|7|"};
    EXPECT_EQ(WithdrawContentsEntry(text, trailer, 1, {}).Heading, (TextPoint{2, 0}));
    EXPECT_EQ(text, (Lines{"x   A", "  b", "  A", "  c"}));
    EXPECT_EQ(trailer, (Lines{"<MENU>", "   C     |19|5|", "<INFOTEXTlen>|0|7|"}));
}

TEST(FormatOperations, SavedNamesAndBytes) {
    EXPECT_EQ(BookFileName("/книги/Книга.TXT"), "/книги/Книга.lxb");
    EXPECT_EQ(BookFileName("/a.txt/b.Rtf"), "/a.txt/b.lxb");  // the folder is no file name
    EXPECT_EQ(BookFileName("/a/b.lxb"), "/a/b.lxb");
    EXPECT_EQ(BookFileName("/a/b.rar"), "/a/b.rar.lxb");
    EXPECT_EQ(BookFileName(""), "Книга.lxb");
    EXPECT_EQ(AuthorTitleFileName("/a/b.txt", "Лев Толстой", "Анна/Каренина"),
              "/a/Лев Толстой. Анна_Каренина.lxb");
    EXPECT_EQ(AuthorTitleFileName("", "", " "), "Книга.lxb");
    // Every line ends with CR LF, the last one too, as a saved memo.
    EXPECT_EQ(MemoFileBytes("a\r\nb"), "a\r\nb\r\n");
    EXPECT_EQ(MemoFileBytes("a\r\n"), "a\r\n");
    EXPECT_EQ(MemoFileBytes(""), "");
}

TEST(HeadingDetector, PatternsAndWhatLooksLikeThemButIsNot) {
    const std::pair<const char*, HeadingKind> cases[] = {
        {"Часть первая", HeadingKind::Part},
        {"ЧАСТЬ ДВАДЦАТЬ ТРЕТЬЯ", HeadingKind::Part},
        {"Том 2", HeadingKind::Volume},
        {"Книга последняя", HeadingKind::Book},
        {"Глава XII. Бал", HeadingKind::Chapter},
        {"глава 3", HeadingKind::Chapter},
        {"XIV", HeadingKind::Numbered},
        {"12.", HeadingKind::Numbered},
        {"ХI", HeadingKind::Numbered},  // a Cyrillic Х typed for the numeral
        {"IV. Встреча", HeadingKind::Numbered},
        {"* * *", HeadingKind::Break},
        {"Эпилог", HeadingKind::Framing},
        {"От автора", HeadingKind::Framing},
        {"Примечания", HeadingKind::Notes},
        // Not headings: a sentence, a chapter of something else, a word that opens with a
        // numeral's letters, a year, a numeral written wrong, a dialogue line.
        {"Часть первая.", HeadingKind::None},
        {"Глава халдейских мудрецов", HeadingKind::None},
        {"Глава семьи", HeadingKind::None},
        {"Илья", HeadingKind::None},
        {"ХАМЕЛЕОН", HeadingKind::None},
        {"1812", HeadingKind::None},
        {"IIII", HeadingKind::None},
        {"I love you", HeadingKind::None},
        {"– Глава 1", HeadingKind::None},
        {"Книга", HeadingKind::None},
    };
    for (const auto& [line, kind] : cases)
        EXPECT_EQ(HeadingKindOf(Cp(line)), kind) << line;
    EXPECT_EQ(HeadingKindOf(Cp("Глава ") + std::string(60, 'x')), HeadingKind::None);
}

TEST(HeadingDetector, MarksHeadingsWithTheirLevelsAndLeavesEverythingElseAParagraph) {
    // Blank lines between paragraphs; a part, numbered chapters (one with its title on the next
    // short line, one right after an epigraph's signature), a short line that is no heading, and
    // notes whose numbers are no chapters.
    Lines lines =
        SplitLines(Cp("Автор\n\nНазвание\n\n\nЧасть первая\n\nЭпиграф без точки\nПодпись\nI\n\n"
                      "Первый абзац.\n\nВторой абзац,\nперенесённый вручную.\n\nII\n\nВстреча\n\n"
                      "Третий абзац.\n\nКороткая строка\n\nПримечания\n\n1\n\nСноска.\n"));
    const HeadingsFound found = MarkHeadings(lines);
    EXPECT_EQ(found.Headings, 5);
    EXPECT_EQ(found.Levels, 2);
    EXPECT_EQ(JoinLines(lines),
              Cp("\r\n   Автор. Название\r\n\r\n   Часть первая\r\n  Эпиграф без точки\r\nПодпись"
                 "\r\n\r\n     I\r\n  Первый абзац.\r\n  Второй абзац,\r\nперенесённый вручную."
                 "\r\n\r\n     II. Встреча\r\n  Третий абзац.\r\n  Короткая строка\r\n\r\n"
                 "   Примечания\r\n  1\r\n  Сноска."));
    // "Выпрямить" after it joins only the wrapped paragraph.
    JoinWrappedLines(lines);
    EXPECT_NE(std::find(lines.begin(), lines.end(), Cp("  Второй абзац, перенесённый вручную.")),
              lines.end());

    // A text of one paragraph a line: headings stand between longer lines.
    const std::string paragraph(120, 'x');
    lines = {paragraph, "Глава 1", paragraph, "Глава 2", "Ответ", paragraph};
    for (std::string& l : lines)
        l = Cp(l);
    MarkHeadings(lines);
    EXPECT_EQ(lines, (Lines{"  " + paragraph, "", Cp("   Глава 1"), "  " + paragraph,
                            Cp("  Глава 2"), Cp("  Ответ"), "  " + paragraph}));

    // Nothing found, nothing changed.
    lines = {"", "a b.", "", "c d."};
    EXPECT_EQ(MarkHeadings(lines).Headings, 0);
    EXPECT_EQ(lines, (Lines{"", "a b.", "", "c d."}));
}

// The titles of a book's entries by their level in the contents tree.
std::map<int, std::vector<std::string>> EntriesByLevel(std::string book) {
    BookContents contents;
    EXPECT_TRUE(ParseBookTrailer(book, contents));
    std::map<int, std::vector<std::string>> levels;
    for (size_t i = 0; i < contents.Nodes.size(); ++i)
        levels[contents.Nodes[i].Level].push_back(test::Utf(contents.Title(i)));
    return levels;
}

TEST(HeadingDetector, TheSampleTextsGetTheContentsAReaderExpects) {
    const FormatSteps autoHeadings{{CleanupStep::AutoHeadings}, {}};
    // The story: its author and title make its one entry.
    const std::string story = FormatBook(
        LoadTextFile(test::DataPath("texts/chekhov_khameleon.utf8.txt")), {}, autoHeadings);
    EXPECT_EQ(EntriesByLevel(story),
              (std::map<int, std::vector<std::string>>{{2, {"Антон Чехов. ХАМЕЛЕОН"}}}));

    // The novel in verse: its title, eight chapters and the notes at the top, the stanzas below.
    const auto onegin = EntriesByLevel(FormatBook(
        LoadTextFile(test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt")), {}, autoHeadings));
    ASSERT_EQ(onegin.size(), 2u);
    const std::vector<std::string>& top = onegin.at(2);
    ASSERT_EQ(top.size(), 10u);
    EXPECT_EQ(top.front(), "Александр Сергеевич Пушкин. Евгений Онегин. Роман в стихах");
    EXPECT_EQ(top[1], "Глава первая");
    EXPECT_EQ(top[8], "Глава восьмая");
    EXPECT_EQ(top.back(), "Примечания");
    for (const std::string& stanza : onegin.at(3))
        EXPECT_EQ(HeadingKindOf(Cp(stanza)), HeadingKind::Numbered) << stanza;

    const std::string novel = test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt");
    if (novel.empty()) return;
    const std::string text = LoadTextFile(novel);
    const std::string book = FormatBook(text, {}, autoHeadings);
    const auto karenina = EntriesByLevel(book);
    // Eight parts and their 239 chapters; no paragraph made a heading (every chapter is its
    // numeral alone but the one Tolstoy titled); the commentary's "* * *" below the last chapter.
    ASSERT_EQ(karenina.at(2).size(), 10u);
    EXPECT_EQ(karenina.at(2)[1], "Часть первая");
    EXPECT_EQ(karenina.at(2)[8], "Часть восьмая");
    EXPECT_EQ(karenina.at(2)[9], "Примечания");
    ASSERT_EQ(karenina.at(3).size(), 239u);
    for (const std::string& chapter : karenina.at(3))
        EXPECT_TRUE(chapter == "XX. Смерть" ||
                    chapter.find_first_not_of("IVXL") == std::string::npos)
            << chapter;
    EXPECT_EQ(karenina.at(4), std::vector<std::string>{"* * *"});
    // Every chapter on its contents page, every letter of the text on a page; the same for the
    // book made without the headings found, which now shows the author's name before the title.
    for (const int chars : {16, 22, 40, 80})
        test::CheckPages(book, chars, 25);
    const std::string plain = FormatBook(text, {}, {});
    test::CheckPages(plain, 22, 25);
    EXPECT_EQ(EntriesByLevel(plain).at(2).front(), "Лев Толстой");
}

}  // namespace
}  // namespace lectorix
