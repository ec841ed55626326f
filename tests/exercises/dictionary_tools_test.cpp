#include "exercises/dictionary_tools.h"

#include <gtest/gtest.h>

#include <random>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/dictionary_builder.h"
#include "exercises/russian_order.h"
#include "exercises/word_dictionary.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using Lines = std::vector<std::string>;

Lines Repeated(std::initializer_list<std::pair<const char*, int>> runs) {
    Lines lines;
    for (const auto& [line, n] : runs)
        lines.insert(lines.end(), static_cast<size_t>(n), line);
    return lines;
}

TEST(DictionaryTools, TheWorkedExamples) {
    // "SetPos": headers at lines 0, 34 and 80, nothing after.
    Lines text(81, "W");
    text[0] = "<WORDSLENGTH1>";
    text[34] = "<WORDSLENGTH2>";
    text[80] = "<WORDSLENGTH3>";
    const Lines indexed = SetPos(text);
    EXPECT_EQ(Lines(indexed.begin() + 81, indexed.end()),
              (Lines{"<WORDSLENGTH1>|1|33|", "<WORDSLENGTH2>|35|79|", "<WORDSMENU>|2|"}));

    // "Double" keeps the runs of ten or more, the last one too; an empty text is an error of
    // its own, not an index out of bounds.
    EXPECT_EQ(FilterDoubles(Repeated({{"a", 12}, {"b", 3}, {"c", 10}})), (Lines{"a", "c"}));
    EXPECT_EQ(FilterDoubles(Repeated({{"a", 12}, {"b", 3}, {"c", 2}})), (Lines{"a"}));
    EXPECT_THROW(FilterDoubles({}), UserError);

    // A direct repeat shares its blank with the word before it and stays.
    EXPECT_EQ(UniqueWords(Cp("Мир дом мир")), Cp("Мир дом"));
    EXPECT_EQ(UniqueWords(Cp("Мир мир дом")), Cp("Мир мир дом"));

    // "SortLen" writes all fifty headers, even for no lines; a hyphen counts as a character.
    const Lines sorted = SortLen({});
    ASSERT_EQ(sorted.size(), 50u);
    EXPECT_EQ(sorted.back(), "<WORDSLENGTH50>");
    const Lines grouped = GroupByLength({Cp("БРЕЙД-ВЫМПЕЛ"), Cp("ПАПЬЕ-МАШЕ"), ""}, 12);
    EXPECT_EQ(grouped[10], Cp("ПАПЬЕ-МАШЕ"));
    EXPECT_EQ(grouped[13], Cp("БРЕЙД-ВЫМПЕЛ"));

    // "GetWords": the head word of each line; "YES" matches the list's first and last lines.
    EXPECT_EQ(GetWords({Cp("СЛОВО (устар.), толк"), "  ", " indented", "a,b", "whole"}),
              (Lines{Cp("СЛОВО"), "", "a", "whole"}));
    EXPECT_EQ(KeepListedWords({Cp("Дом"), Cp("кот"), Cp("сад")}, {Cp("дом"), Cp("сад")}),
              (Lines{Cp("дом"), Cp("сад")}));
}

// Sorting by byte would put Ё (0xA8) before А and every capital before every small letter.
TEST(DictionaryTools, RussianOrderPutsYoAfterYeAndIgnoresCase) {
    Lines words = {Cp("Ёлка"), Cp("ель"), Cp("ЕЖ"), Cp("жук"), Cp("я"), Cp("Ай"), "zebra", "1"};
    SortRussian(words);
    EXPECT_EQ(words,
              (Lines{"1", "zebra", Cp("Ай"), Cp("ЕЖ"), Cp("ель"), Cp("Ёлка"), Cp("жук"), Cp("я")}));
}

// Word soups with what the steps treat specially: case variants, direct repeats, runs of
// blanks (empty words), line breaks, tabs, no-break spaces, "®" and punctuation.
std::string Soup(std::mt19937& rng, size_t words) {
    static const char* const kPieces[] = {"мир", "Мир", "МИР",  "дом", "a",  "A",    "",   "",
                                          "к-т", "x1",  "\xAE", "(,)", "\t", "\r\n", "\n", "\xA0"};
    std::string s;
    for (size_t i = 0; i < words; ++i) {
        if (i > 0) s += ' ';
        s += Cp(kPieces[rng() % std::size(kPieces)]);
    }
    return s;
}

// Every one-pass operation against the procedure done step by step.
TEST(DictionaryTools, OnePassGivesWhatTheStepByStepProcedureGives) {
    std::mt19937 rng(1);
    for (int round = 0; round < 300; ++round) {
        const std::string s = Soup(rng, 1 + rng() % 40);
        SCOPED_TRACE(test::Utf(s));
        ASSERT_EQ(UniqueWords(s), literal::UniqueWords(s));
        ASSERT_EQ(NormalizeBlanks(s), literal::NormalizeBlanks(s));
        ASSERT_EQ(StripPunctuation(SplitLines(s)), literal::StripPunctuation(SplitLines(s)));
        ASSERT_EQ(RemoveChars(s, kLatinLetters), literal::RemoveChars(s, kLatinLetters));
        ASSERT_EQ(UniqueWordsChunked(s, 9), literal::UniqueWordsChunked(s, 9));
        ASSERT_EQ(DeleteLinesContaining(SplitLines(s), "a1"),
                  literal::DeleteLinesContaining(SplitLines(s), "a1"));
        ASSERT_EQ(GroupByLength(SplitLines(s), 6), literal::GroupByLength(SplitLines(s), 6));
    }
    // Whole texts, over more than one chunk of 15000 characters.
    const std::string story = LoadTextFile(test::DataPath("texts/chekhov_khameleon.cp1251.txt"));
    const std::string text = story + "\r\n" + story + "\r\n" + story;
    EXPECT_EQ(ClearString(text), literal::ClearString(text));
    EXPECT_EQ(CreateDict(text), literal::CreateDict(text));
    EXPECT_EQ(SplitWordsToLines(CleanText(text, false)),
              literal::SplitWordsToLines(literal::CleanText(text, false)));
    const std::vector<std::string> novel = {
        LoadTextFile(test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt"))};
    EXPECT_EQ(FrequentWords(novel, 3), FrequentWordsStepByStep(novel, 3));
    EXPECT_EQ(CreateFrequencyDict(novel[0]), literal::CreateFrequencyDict(novel[0]));
}

TEST(DictionaryTools, CreateDictKeepsEveryDistinctWordOnce) {
    const Lines dict = CreateDict(Cp("Кот, кот и КОТ! Дом (дом) 1812 год; Ёж и еж. cat"));
    EXPECT_EQ(dict, (Lines{"<WORDSLENGTH1>", Cp("и"), "<WORDSLENGTH2>", Cp("еж"), Cp("ёж"),
                           "<WORDSLENGTH3>", Cp("год"), Cp("дом"), Cp("кот"), "<WORDSLENGTH4>",
                           "<WORDSLENGTH1>|1|1|", "<WORDSLENGTH2>|3|4|", "<WORDSLENGTH3>|6|8|",
                           "<WORDSMENU>|3|"}));
}

TEST(DictionaryTools, BuiltDictionariesPassTheCheckOrAreRefused) {
    const std::vector<std::string> texts = {
        Cp("Мы шли, шли и шли: тсс, брр. Шли мы долго. Ёлка и ель. Kot 1812.")};
    // "тсс" and "брр" have no vowel; the Latin word and the number are gone; longer words too.
    DictionaryBuildOptions options;
    options.MaxLength = 3;
    Lines dict = BuildDictionary(texts, options);
    EXPECT_EQ(dict, (Lines{"<WORDSLENGTH1>", Cp("И"), "<WORDSLENGTH2>", Cp("МЫ"), "<WORDSLENGTH3>",
                           Cp("ЕЛЬ"), Cp("ШЛИ"), "<WORDSLENGTH4>", "<WORDSLENGTH1>|1|1|",
                           "<WORDSLENGTH2>|3|3|", "<WORDSLENGTH3>|5|6|", "<WORDSMENU>|3|"}));
    EXPECT_TRUE(CheckDictionary(dict).empty());

    // Twice or more: "мы", "шли" and "и", which the alphabet replaces.
    options.MinCount = 2;
    options.Alphabet = true;
    dict = BuildDictionary(texts, options);
    EXPECT_TRUE(CheckDictionary(dict).empty());
    EXPECT_EQ(Lines(dict.begin() + 33, dict.begin() + 39),
              (Lines{Cp("Я"), "<WORDSLENGTH2>", Cp("МЫ"), "<WORDSLENGTH3>", Cp("ШЛИ"),
                     "<WORDSLENGTH4>"}));

    // Only listed words as they stand ("Мы" is a name, not "мы"): no word of two letters is
    // left, and a dictionary with an empty length would be refused, so none is made.
    options = {};
    options.KeepWords = ReadWordList(Cp("ёлка/AB\r\nель\r\nи\r\nМы"));
    EXPECT_THROW(BuildDictionary(texts, options), UserError);
    options.MaxLength = 1;
    EXPECT_EQ(BuildDictionary(texts, options), (Lines{"<WORDSLENGTH1>", Cp("И"), "<WORDSLENGTH2>",
                                                      "<WORDSLENGTH1>|1|1|", "<WORDSMENU>|1|"}));
}

}  // namespace
}  // namespace lectorix
