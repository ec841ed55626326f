#include "formatter/heading_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "book/book_trailer.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book_pages.h"
#include "formatter/book_writer.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

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
    for (const ContentsNode& n : contents.Nodes)
        levels[n.Level].push_back(test::Utf(n.Text.substr(0, n.Text.find(Cp("  стр.-")))));
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
