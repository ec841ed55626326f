#include "book/rtf_text.h"

#include <gtest/gtest.h>

#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

// The story as three writers saved it, each coding its Cyrillic in another way.
TEST(RtfToText, RealWritersFilesLoadAsTheStorysTextFile) {
    const std::string story = LoadTextFile(test::DataPath("texts/chekhov_khameleon.utf8.txt"));
    for (const std::string writer : {"abiword", "libreoffice", "pandoc"}) {
        const std::string path = test::SharedDataPath("rtf/chekhov_khameleon." + writer + ".rtf");
        if (path.empty()) GTEST_SKIP() << "the shared test files are not beside the repository";
        EXPECT_TRUE(LoadTextFile(path) == story) << writer;
    }
}

TEST(RtfToText, HexBytesAreReadInTheCodePageOfTheirFontAndUnicodeReplacesItsFallback) {
    EXPECT_EQ(RtfToText(R"({\rtf1\ansi \'c0\'e1})"), Cp("Аб"));  // no code page named
    EXPECT_EQ(RtfToText(R"({\rtf1\ansi\ansicpg1252 \'c0\'93x\'94})"), "?\x93x\x94");
    const std::string fonts =
        R"({\rtf1\ansi\ansicpg1252\deff1{\fonttbl{\f0\fcharset0 Times;}{\f1\fcharset204 Cyr;})"
        R"({\f2\fcharset238 CE;}{\f3\fcharset2 Symbol;}{\f4\fcharset1 Any;})"
        R"({\f5\fcharset161 Greek;}{\f6\fcharset0\cpg1251 Cpg;}})";
    EXPECT_EQ(RtfToText(fonts + R"(\'c0{\f0\'c0\'ab}{\f2\'8a\'a7\'b9}{\f3\'b7x}{\f4\'c0})"
                                R"({\f5\'a1\'b5}{\f6\'c0}\'c1})"),
              Cp("А?«?§?x??µАБ"));
    EXPECT_EQ(RtfToText(fonts + R"(\f0\'c0\plain\'c0})"), Cp("?А"));  // back to the default font

    // \ucN gives the length of the fallback, a hex byte counting as one character.
    EXPECT_EQ(RtfToText(R"({\rtf1 \uc0\u1046 x\uc2\u1046\'84\'40z\u1047 ab})"), Cp("ЖxЖzЗ"));
    // The count belongs to its group; a group's end or a control word ends the fallback.
    EXPECT_EQ(RtfToText(R"({\rtf1 {\uc2\u1046}\u1047\'c0z{\u1048}y\u1049\par x})"),
              Cp("ЖЗzИyЙ\r\nx"));
    // Past 32767 the number is negative; a surrogate pair is one character.
    EXPECT_EQ(RtfToText(R"({\rtf1 \u-4064?a\u-10179?\u-8704?b\u-700000?c})"), "?a?b?c");
    EXPECT_EQ(RtfToText(R"({\rtf1 \uc0\u8212 \u8470 \u160 \u9 \u13 .})"), "\x97\xB9\xA0\t.");
}

TEST(RtfToText, EscapesBreaksAndTablesAreTextButDestinationsWithoutBodyTextAreLeftOut) {
    EXPECT_EQ(RtfToText(R"({\rtf1 \{\}\\ a\~b\_c\-d \emdash\endash\lquote\rquote)"
                        R"(\ldblquote\rdblquote\bullet})"),
              "{}\\ a b-cd \x97\x96\x91\x92\x93\x94\x95");
    EXPECT_EQ(RtfToText("{\\rtf1 a\\par b\\line c\\sect d\\page e\\tab f\r\ng\\\nh\\par "
                        "\\trowd x\\cell y\\cell\\row \\trowd z\\cell\\row end\\par\\par}"),
              "a\r\nb\r\nc\r\nd\r\ne\tfg\r\nh\r\nx\ty\r\nz\r\nend");
    EXPECT_EQ(RtfToText(R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red0;}{\stylesheet{\s0 N;}})"
                        R"({\info{\title T}}{\*\generator G;}{\header H}{\footerl F}{\footnote N})"
                        R"({\pict\bin4 {}\}a}x{\*\unknown y}{\field{\*\fldinst HYPERLINK "u"})"
                        R"({\fldrslt link}}{\v hidden}{\fldinst old}z\v1 q\v0 !})"),
              "xlinkz!");
    EXPECT_EQ(DecodeText(R"({\rtf1 \'c0\par})"), Cp("А"));  // only RTF is read as RTF on loading
    EXPECT_EQ(DecodeText(R"( {\rtf1 \'c0\par})"), R"( {\rtf1 \'c0\par})");
}

TEST(RtfToText, DamagedInputKeepsWhatWasRead) {
    EXPECT_EQ(RtfToText(R"({\rtf1 a}} b\'zq})"), "a bzq");  // a "}" too many, no hex digits
    for (const char* cut : {R"({\rtf1 ab\pa)", R"({\rtf1 ab\)", R"({\rtf1 ab\'c)", R"({\rtf1 ab\')",
                            R"({\rtf1 ab\u10)", R"({\rtf1 ab\bin)", R"({\rtf1 {\b ab)"})
        EXPECT_EQ(RtfToText(cut), "ab") << cut;
    const std::string n(300, '9');  // a number too long for any integer
    EXPECT_EQ(RtfToText("{\\rtf1 \\u" + n + "?x\\u-" + n + " y{\\bin" + n + " x}}"), "?x?");
    EXPECT_EQ(RtfToText("{\\rtf1 \\f" + n + " \\uc" + n + "\\'c0}"), Cp("А"));
    EXPECT_EQ(RtfToText("{\\rtf1 a\\" + std::string(1000, 'x') + "-" + n + " b}"), "ab");
    const std::string deep(100000, '{');
    EXPECT_EQ(RtfToText(deep + "x" + std::string(100000, '}') + "y" + deep + "\\'c0"), Cp("xyА"));
}

}  // namespace
}  // namespace lectorix
