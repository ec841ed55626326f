#include "exercises/word_dictionary.h"

#include <gtest/gtest.h>

#include <set>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/russian_order.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

std::vector<std::string> Lines(std::initializer_list<const char*> utf8) {
    std::vector<std::string> lines;
    for (const char* l : utf8)
        lines.push_back(Cp(l));
    return lines;
}

DictionaryIndex Index(std::vector<std::int32_t> first, std::vector<std::int32_t> last) {
    return {static_cast<std::int32_t>(first.size()), std::move(first), std::move(last)};
}

// The exercise draws from these ranges: one off by a line shows a header or the next length.
TEST(WordDictionary, BuiltInRangesHoldExactlyTheirSectionsInRussianOrder) {
    WordDictionary dict;
    LoadDictionaryResource(dict, "DICTIONARY", "DICT");
    ParseDictionaryIndex(dict.Lines, dict.Index);
    ASSERT_EQ(dict.Index.DictLengthCount, 15);
    EXPECT_TRUE(CheckDictionary(dict.Lines).empty());
    size_t words = 0;
    for (size_t k = 0; k < 15; ++k) {
        const auto first = static_cast<size_t>(dict.Index.DictFirstLine[k]);
        const auto last = static_cast<size_t>(dict.Index.DictLastLine[k]);
        ASSERT_TRUE(first >= 1 && first <= last && last < dict.Lines.size()) << k;
        EXPECT_EQ(dict.Lines[first - 1], "<WORDSLENGTH" + std::to_string(k + 1) + ">");
        // The next header follows the last word: the whole section is in the range.
        EXPECT_EQ(dict.Lines[last + 1], "<WORDSLENGTH" + std::to_string(k + 2) + ">");
        for (size_t i = first; i <= last; ++i) {
            const std::string& w = dict.Lines[i];
            EXPECT_EQ(w.size(), k + 1) << test::Utf(w);
            EXPECT_EQ(w, UpperCase(w)) << test::Utf(w);
            EXPECT_TRUE(i == first || RussianLess(dict.Lines[i - 1], w)) << test::Utf(w);
        }
        words += last - first + 1;
    }
    EXPECT_GT(words, 3500u);
    std::string letters;
    for (int i = 1; i <= 33; ++i)
        letters += dict.Lines[static_cast<size_t>(i)];
    EXPECT_EQ(letters, Cp("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));

    // Another name is no resource; the text stays.
    EXPECT_THROW(LoadDictionaryResource(dict, "DICTIONARY", "OTHER"), UserError);
    EXPECT_EQ(dict.Lines[1], Cp("А"));
}

TEST(WordDictionary, IndexIsReadByPositionAboveTheLastMenuLine) {
    // The first index line says length 3 but stands first: it describes length 1. The menu
    // line is not the last line; an older menu line above it is not the one read.
    const auto lines = Lines({"<WORDSMENU>|9|", "<WORDSLENGTH1>", "А", "<WORDSLENGTH2>", "АД", "АЙ",
                              "<WORDSLENGTH3>|81|304|", "<WORDSLENGTH2>|4|5|", "<WORDSMENU>|2|",
                              "<WORDSLENGTH7>|1|1|"});
    DictionaryIndex index = Index({7}, {7});
    ParseDictionaryIndex(lines, index);
    EXPECT_EQ(index, Index({81, 4}, {304, 5}));

    // No menu line, or a count below 1, keeps what the index was.
    const DictionaryIndex before = index;
    ParseDictionaryIndex(Lines({"А", "<WORDSLENGTH1>|1|1|"}), index);
    ParseDictionaryIndex(Lines({"<WORDSLENGTH1>|1|1|", "<WORDSMENU>|0|"}), index);
    EXPECT_EQ(index, before);

    // A faulty count changes nothing; a faulty index line leaves the new count and the lines
    // read before it.
    EXPECT_THROW(ParseDictionaryIndex(Lines({"<WORDSMENU>|x2|"}), index), UserError);
    EXPECT_EQ(index, before);
    EXPECT_THROW(ParseDictionaryIndex(
                     Lines({"<WORDSLENGTH1>|1|1|", "<WORDSLENGTH2>|3|", "<WORDSMENU>|2|"}), index),
                 UserError);
    EXPECT_EQ(index, Index({1, 3}, {1, 0}));

    // More lengths than lines above the menu: refused before anything is read or changed.
    index = before;
    EXPECT_THROW(
        ParseDictionaryIndex(Lines({"<WORDSLENGTH1>|1|1|", "<WORDSMENU>|2000000000|"}), index),
        UserError);
    EXPECT_EQ(index, before);
}

TEST(WordDictionary, ADamagedFileIsRefusedNamingFileAndLineAndThePreviousOneStays) {
    test::TempDir dir;
    WordDictionary dict;
    LoadDictionaryResource(dict, "DICTIONARY", "DICT");
    ParseDictionaryIndex(dict.Lines, dict.Index);
    const WordDictionary builtIn = dict;
    const std::string head = "<WORDSLENGTH1>\r\nА\r\nЯ\r\n<WORDSLENGTH2>\r\nАД\r\n";
    const std::pair<const char*, const char*> damaged[] = {
        {"<WORDSLENGTH1>|1|2|\r\n<WORDSLENGTH2>|4|9|\r\n<WORDSMENU>|2|",
         "строка 7: у длины 2 конец 9 за последней строкой словаря, 7"},
        {"<WORDSLENGTH1>|2|1|\r\n<WORDSMENU>|1|", "строка 6: у длины 1 начало 2 больше конца 1"},
        {"<WORDSLENGTH1>|0|2|\r\n<WORDSMENU>|1|", "строка 6: у длины 1 начало 0 меньше 1"},
        {"<WORDSMENU>|8|", "строка 6: <WORDSMENU> называет 8 длин, а над ней 5 строк"},
        {"<WORDSMENU>|0|", "строка 6: число длин 0 меньше 1"},
        {"<WORDSLENGTH1>|1|2 |\r\n<WORDSLENGTH2>|4||\r\n<WORDSMENU>|2|",
         "строка 7: '' is not a valid integer value"},
        {"", "нет строки <WORDSMENU>"},
    };
    for (const auto& [tail, why] : damaged) {
        const std::string path = dir.Write("d.dict", Cp(head + tail));
        try {
            OpenDictionaryFile(dict, path);
            ADD_FAILURE() << tail;
        } catch (const UserError& e) {
            EXPECT_EQ(e.what(), "Словарь \"" + path + "\" не открыт: " + why);
        }
        EXPECT_EQ(dict.Lines, builtIn.Lines);
        EXPECT_EQ(dict.Index, builtIn.Index);
    }
    // Upper-case CP1251 (which would pass for KOI8-R as prose) and UTF-8 with LF ends both open.
    const std::string good = head + "<WORDSLENGTH1>|1|2|\r\n<WORDSLENGTH2>|4|4|\r\n<WORDSMENU>|2|";
    for (const std::string& bytes : {Cp(good), good}) {
        OpenDictionaryFile(dict, dir.Write("good.dict", bytes));
        EXPECT_EQ(dict.Lines[2], Cp("Я"));
        EXPECT_EQ(dict.Index, Index({1, 4}, {2, 4}));
    }
}

TEST(WordDictionary, PickWordDrawsEveryWordOfItsRangeLowerCasedAndNothingOutside) {
    const auto lines = Lines({"<WORDSLENGTH5>", "ЁЛОЧК", "ЯБЛОК", "СЛИВА", "<WORDSLENGTH6>"});
    RandomGenerator random(7);
    std::set<std::string> drawn;
    for (int i = 0; i < 100; ++i)
        drawn.insert(PickWord(lines, 1, 3, random));
    EXPECT_EQ(drawn, (std::set<std::string>{Cp("ёлочк"), Cp("яблок"), Cp("слива")}));
    // A section of one word always gives it.
    EXPECT_EQ(PickWord(lines, 3, 3, random), Cp("слива"));
    for (const auto& [first, last] : {std::pair{3, 5}, {-1, 1}, {3, 2}})
        EXPECT_EQ(PickWord(lines, first, last, random), "");
    // The same seed gives the same words.
    RandomGenerator a(42), b(42);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(PickWord(lines, 1, 3, a), PickWord(lines, 1, 3, b));
}

}  // namespace
}  // namespace lectorix
