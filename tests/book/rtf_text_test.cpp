#include "book/rtf_text.h"

#include <gtest/gtest.h>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using test::Utf;

// The story as three writers saved it, each coding its Cyrillic in another way.
TEST(RtfToText, RealWritersGiveTheStoryAsItsTextFileHasIt) {
    const std::string story = LoadTextFile(test::DataPath("texts/chekhov_khameleon.utf8.txt"));
    for (const char* writer : {"abiword", "libreoffice", "pandoc"}) {
        const std::string path =
            test::SharedDataPath(std::string("rtf/chekhov_khameleon.") + writer + ".rtf");
        if (path.empty()) GTEST_SKIP() << "the shared test files are not beside the repository";
        const std::string text = RtfToText(ReadFileBytes(path));
        EXPECT_EQ(CountLetters(text), CountLetters(story)) << writer;
        EXPECT_TRUE(text == story) << writer << ":\n" << Utf(text).substr(0, 400);
        // Loading a file converts it the same way.
        EXPECT_TRUE(LoadTextFile(path) == story) << writer;
    }
}

TEST(RtfToText, HexBytesAreReadInTheCodePageOfTheirFont) {
    EXPECT_EQ(RtfToText(R"({\rtf1\ansi \'c0\'e1})"), Cp("Аб"));  // no code page named
    EXPECT_EQ(RtfToText(R"({\rtf1\ansi\ansicpg1252 \'c0\'93x\'94})"), "?\x93x\x94");
    const std::string fonts =
        R"({\rtf1\ansi\ansicpg1252\deff1{\fonttbl{\f0\fcharset0 Times;}{\f1\fcharset204 Cyr;})"
        R"({\f2\fcharset238 CE;}{\f3\fcharset2 Symbol;}{\f4\fcharset1 Any;})"
        R"({\f5\fcharset161 Greek;}{\f6\fcharset0\cpg1251 Cpg;}})";
    EXPECT_EQ(RtfToText(fonts + R"(\'c0{\f0\'c0\'ab}{\f2\'8a\'a7\'b9}{\f3\'b7x}{\f4\'c0})"
                                R"({\f5\'a1\'b5}{\f6\'c0}\'c1})"),
              Cp("А?«?§?x??µАБ"));
    // \plain goes back to the default font.
    EXPECT_EQ(RtfToText(fonts + R"(\f0\'c0\plain\'c0})"), Cp("?А"));
}

TEST(RtfToText, UnicodeCharactersReplaceTheirFallbackText) {
    EXPECT_EQ(RtfToText(R"({\rtf1 \u1046?\u1047 x})"), Cp("ЖЗ"));
    EXPECT_EQ(RtfToText(R"({\rtf1 \uc0\u1046 \u1047 x})"), Cp("ЖЗx"));
    EXPECT_EQ(RtfToText(R"({\rtf1 \uc2\u1046\'84\'40z\u1047 ab})"), Cp("ЖzЗ"));
    // The count belongs to its group; a group's end or a control word ends the fallback.
    EXPECT_EQ(RtfToText(R"({\rtf1 {\uc2\u1046}\u1047\'c0z{\u1048}y\u1049\par x})"),
              Cp("ЖЗzИyЙ\r\nx"));
    // Past 32767 the number is negative; a surrogate pair is one character.
    EXPECT_EQ(RtfToText(R"({\rtf1 \u-4064?a\u-10179?\u-8704?b\u-700000?c})"), "?a?b?c");
    EXPECT_EQ(RtfToText(R"({\rtf1 \uc0\u8212 \u8470 \u160 \u9 \u13 .})"), "\x97\xB9\xA0\t.");
}

TEST(RtfToText, EscapesBreaksAndTables) {
    EXPECT_EQ(RtfToText(R"({\rtf1 \{\}\\ a\~b\_c\-d \emdash\endash\lquote\rquote)"
                        R"(\ldblquote\rdblquote\bullet})"),
              "{}\\ a b-cd \x97\x96\x91\x92\x93\x94\x95");
    EXPECT_EQ(RtfToText("{\\rtf1 a\\par b\\line c\\sect d\\page e\\tab f\r\ng\\\nh\\par\\par}"),
              "a\r\nb\r\nc\r\nd\r\ne\tfg\r\nh");
    EXPECT_EQ(RtfToText(R"({\rtf1 \trowd a\cell b\cell\row \trowd c\cell\row end})"),
              "a\tb\r\nc\r\nend");
}

TEST(RtfToText, DestinationsWithoutBodyTextAreLeftOut) {
    EXPECT_EQ(RtfToText(R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red0;}{\stylesheet{\s0 N;}})"
                        R"({\info{\title T}}{\*\generator G;}{\header H}{\footerl F}{\footnote N})"
                        R"({\pict\bin4 {}\}a}x{\*\unknown y}{\field{\*\fldinst HYPERLINK "u"})"
                        R"({\fldrslt link}}{\v hidden}{\fldinst old}z\v1 q\v0 !})"),
              "xlinkz!");
}

TEST(RtfToText, DamagedInputKeepsWhatWasRead) {
    EXPECT_EQ(RtfToText(R"({\rtf1 a}} b})"), "a b");
    EXPECT_EQ(RtfToText(R"({\rtf1 {\b a)"), "a");
    for (const char* cut : {R"({\rtf1 ab\pa)", R"({\rtf1 ab\)", R"({\rtf1 ab\'c)", R"({\rtf1 ab\')",
                            R"({\rtf1 ab\u10)", R"({\rtf1 ab\bin)"})
        EXPECT_EQ(RtfToText(cut), "ab") << cut;
    EXPECT_EQ(RtfToText(R"({\rtf1 \'zq})"), "zq");

    const std::string digits(300, '9');
    EXPECT_EQ(RtfToText("{\\rtf1 \\u" + digits + "?x\\u-" + digits + " y}"), "?x?");
    EXPECT_EQ(RtfToText("{\\rtf1 {\\bin" + digits + " x}}"), "");
    EXPECT_EQ(RtfToText("{\\rtf1 \\f" + digits + " \\uc" + digits + "\\'c0}"), Cp("А"));
    EXPECT_EQ(RtfToText("{\\rtf1 a\\" + std::string(1000, 'x') + "-" + digits + " b}"), "ab");

    const size_t deep = 100000;
    EXPECT_EQ(RtfToText(std::string(deep, '{') + "x" + std::string(deep, '}') + "y"), "xy");
    EXPECT_EQ(RtfToText(std::string(deep, '{') + "\\'c0"), Cp("А"));
}

TEST(RtfToText, OnlyRtfIsConvertedOnLoading) {
    EXPECT_TRUE(IsRtf(R"({\rtf1 x})"));
    EXPECT_FALSE(IsRtf(R"( {\rtf1 x})"));
    EXPECT_FALSE(IsRtf(R"({\rt)"));
    EXPECT_EQ(DecodeText(R"({\rtf1 \'c0\par})"), Cp("А"));
    EXPECT_EQ(DecodeText(R"({\rt \'c0\par})"), R"({\rt \'c0\par})");
}

}  // namespace
}  // namespace lectorix
