#include "book/text_loader.h"

#include <gtest/gtest.h>

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(Cp1251, EveryByteSurvivesTheTripThroughUnicode) {
    for (int b = 1; b < 256; ++b) {
        if (b == 0x98) continue;  // the one byte without a character
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(one)), one) << "byte " << b;
    }
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(Cp1251ToUtf8("\xC0\xFF\xA8\xB8\xB9"), "АяЁё№");
}

TEST(Cp1251, LowerCaseCoversAsciiCyrillicAndYo) {
    EXPECT_EQ(Cp1251Lower('Q'), 'q');
    EXPECT_EQ(Cp1251Lower('\xC0'), '\xE0');  // А а
    EXPECT_EQ(Cp1251Lower('\xDF'), '\xFF');  // Я я
    EXPECT_EQ(Cp1251Lower('\xA8'), '\xB8');  // Ё ё
    EXPECT_EQ(Cp1251Lower('\xE0'), '\xE0');
    EXPECT_EQ(Cp1251Lower('['), '[');
    EXPECT_EQ(Cp1251Lower('\xAB'), '\xAB');  // «
}

TEST(DecodeText, Utf8WithCyrillicBecomesCp1251) {
    EXPECT_EQ(DecodeText("Ёлка, ёж — «да»"), Cp("Ёлка, ёж — «да»"));
    // A byte-order mark is dropped; characters the code page lacks become '?'.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"
                         "日本 ж 😀"),
              Cp("?? ж ?"));
}

TEST(DecodeText, AnythingElseIsTakenAsCp1251Unchanged) {
    const std::string cp = Cp("Привет");
    EXPECT_EQ(DecodeText(cp), cp);
    EXPECT_EQ(DecodeText("plain ascii"), "plain ascii");
    // Well-formed except for an overlong form, a surrogate and a cut-off sequence.
    EXPECT_EQ(DecodeText("\xC0\xAF"), "\xC0\xAF");
    EXPECT_EQ(DecodeText("\xED\xA0\x80"), "\xED\xA0\x80");
    EXPECT_EQ(DecodeText("\xD0\x90\xD0"), "\xD0\x90\xD0");
}

TEST(NormalizeLineEnds, EveryLoneCrOrLfBecomesCrLf) {
    EXPECT_EQ(NormalizeLineEnds("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(NormalizeLineEnds("\n\n"), "\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds("\r\r\n\r"), "\r\n\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds("\n\r"), "\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds("x\r\n"), "x\r\n");
}

TEST(LoadTextFile, Utf8AndCp1251CopiesOfAStoryLoadAlike) {
    const std::string utf8 = LoadTextFile(test::DataPath("texts/chekhov_khameleon.utf8.txt"));
    const std::string cp = LoadTextFile(test::DataPath("texts/chekhov_khameleon.cp1251.txt"));
    // The copies differ only in the line break after the last line.
    EXPECT_TRUE(TrimRight(utf8) == TrimRight(cp));
    EXPECT_EQ(utf8.find('\n', 0), utf8.find("\r\n") + 1);
}

TEST(LoadTextFile, AnUnreadableFileIsReportedByName) {
    test::TempDir dir;
    const std::string missing = (dir.Path() / "нет-такого.txt").string();
    try {
        LoadTextFile(missing);
        FAIL() << "no error";
    } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_THROW(LoadTextFile(dir.Path().string()), UserError);  // a folder
}

}  // namespace
}  // namespace lectorix
