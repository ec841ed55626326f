#include "book/text_loader.h"

#include <gtest/gtest.h>

#include "book/cp1251.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

TEST(Cp1251, EveryByteSurvivesTheTripThroughUnicodeAndLettersHaveALowerCase) {
    for (int b = 1; b < 256; ++b) {
        if (b == 0x98) continue;  // the one byte without a character
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(one)), one) << "byte " << b;
    }
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(Cp1251ToUtf8("\xC0\xFF\xA8\xB8\xB9"), "АяЁё№");
    // Latin and Cyrillic letters and Ё go to lower case; "а", "[" and "«" stay as they are.
    const std::string upper = "Q\xC0\xDF\xA8\xE0[\xAB", lower = "q\xE0\xFF\xB8\xE0[\xAB";
    for (size_t i = 0; i < upper.size(); ++i)
        EXPECT_EQ(Cp1251Lower(upper[i]), lower[i]) << i;
}

TEST(DecodeText, Utf8WithCyrillicBecomesCp1251AndAnythingElseStaysAsItIs) {
    EXPECT_EQ(DecodeText("Ёлка, ёж — «да»"), Cp("Ёлка, ёж — «да»"));
    // A byte-order mark is dropped; characters the code page lacks become '?'.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF日本 ж 😀"), Cp("?? ж ?"));
    EXPECT_EQ(DecodeText("\xEF\xBB\xBFplain"), "plain");
    // CP1251, and what is UTF-8 but for an overlong form, a surrogate or a cut-off sequence.
    for (const std::string& cp : {Cp("Привет"), std::string("plain ascii"), std::string("\xC0\xAF"),
                                  std::string("\xED\xA0\x80"), std::string("\xD0\x90\xD0")})
        EXPECT_EQ(DecodeText(cp), cp);
}

TEST(NormalizeLineEnds, EveryLoneCrOrLfBecomesCrLf) {
    EXPECT_EQ(NormalizeLineEnds("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(NormalizeLineEnds("\n\n"), "\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds("\r\r\n\r"), "\r\n\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds("\n\r"), "\r\n\r\n");
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
