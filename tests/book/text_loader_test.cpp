#include "book/text_loader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "book/cp1251.h"
#include "book/rtf_text.h"
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

TEST(DecodeText, Koi8rAndUtf16TextsGiveWhatTheirUtf8CopyGives) {
    const std::string story = test::SharedDataPath("texts/chekhov_khameleon.utf8.txt");
    const std::string utf8 = story.empty() ? "Хамелеон\nЧерез базарную площадь идет полицейский "
                                             "надзиратель Очумелов в новой шинели.\nЁж, ёлка.\n"
                                           : ReadFileBytes(story);
    const std::string expected = DecodeText(utf8);
    // KOI8-R has no dashes or guillemets: the story with those transliterated, against its own
    // UTF-8 copy.
    const std::string koi8r = test::Recode(utf8, "KOI8-R//TRANSLIT");
    ASSERT_GT(koi8r.size(), utf8.size() / 2);
    EXPECT_EQ(DecodeText(koi8r), DecodeText(test::Recode(koi8r, "UTF-8", "KOI8-R")));
    EXPECT_EQ(DecodeText("\xFF\xFE" + test::Recode(utf8, "UTF-16LE")), expected);
    EXPECT_EQ(DecodeText("\xFE\xFF" + test::Recode(utf8, "UTF-16BE")), expected);
    // A character beyond the first plane is one '?', not two.
    EXPECT_EQ(DecodeText("\xFF\xFE" + test::Recode("ж😀ж", "UTF-16LE")), Cp("ж?ж"));
    // CP1251 prose stays CP1251: its lower-case letters outnumber KOI8-R's reading of them.
    EXPECT_EQ(DecodeText(expected), expected);
}

TEST(DecodeText, Utf8WithCyrillicBecomesCp1251AndAnythingElseStaysAsItIs) {
    EXPECT_EQ(DecodeText("Ёлка, ёж — «да»"), Cp("Ёлка, ёж — «да»"));
    // A byte-order mark is dropped; characters the code page lacks become '?'.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF日本 ж 😀"), Cp("?? ж ?"));
    EXPECT_EQ(DecodeText("\xEF\xBB\xBFplain"), "plain");
    // CP1251, and what is UTF-8 but for an overlong form, a surrogate or a cut-off sequence.
    for (const std::string& cp : {Cp("Привет"), std::string("plain ascii"), std::string("\xC0\xAF"),
                                  std::string("\xED\xA0\x80"), std::string("\xD0\x90\xD0"),
                                  // well-formed for a while, characters CP1251 lacks included
                                  std::string("Ёлка 日本 😀 ж? \xC0 конец")})
        EXPECT_EQ(DecodeText(cp), cp);
    // Converted in place, a Russian text gives back the room of its second bytes: it kept the
    // file's size for as long as it was read.
    std::string russian;
    while (russian.size() < 100000)
        russian += "Ёлка, ёж — «да». ";
    const std::string text = DecodeText(russian);
    EXPECT_LT(text.capacity(), russian.size() * 3 / 4);
}

TEST(DecodeText, ConvertingInPlaceAgreesWithTheCopyAndPutsBackWhatIsNoUtf8) {
    // Mixes of one- to four-byte characters, the code page's and others; then with a byte no
    // UTF-8 holds, so the converted part must be put back byte for byte.
    // А п р я end the ranges of letters converted sixteen bytes at a time; ё, é and the
    // no-break space take the table among them, é has no code and becomes '?'.
    const char* pieces[] = {
        "a", " ", "ж", "Ё", "€", "日", "😀", "?", "\xC2\xA0", "ё", "é", "Апря", "ascii, a long run"};
    std::uint32_t seed = 7;
    for (int round = 0; round < 200; ++round) {
        std::string s;
        for (int k = 0; k < round % 40 + 1; ++k) {
            seed = seed * 1103515245 + 12345;
            s += pieces[(seed >> 16) % std::size(pieces)];
        }
        EXPECT_EQ(DecodeText(s), Utf8ToCp1251(s)) << s;
        // Large texts go in two halves on two threads: forced here for any length.
        std::string halves = s;
        Utf8ToCp1251InPlace(halves, 1);
        EXPECT_EQ(halves, Utf8ToCp1251(s)) << s;
        const std::string bad = round % 2 ? "\xC0" : "\xE0\x80";
        for (const std::string& broken : {s + bad, bad + s}) {  // in the second half, the first
            halves = broken;
            EXPECT_FALSE(Utf8ToCp1251InPlace(halves, 1));
            EXPECT_EQ(halves, broken);
        }
        // Read as a single-byte text (CP1251, or KOI8-R when its letters say so).
        s += bad;
        EXPECT_EQ(DecodeText(s).size(), s.size()) << s;
    }
}

TEST(NormalizeLineEnds, EveryLoneCrOrLfBecomesCrLf) {
    EXPECT_EQ(NormalizeLineEnds("\na\nb\rc\r\nd\r"), "\r\na\r\nb\r\nc\r\nd\r\n");
    // LF CR is two breaks, CR CR LF two as well.
    EXPECT_EQ(NormalizeLineEnds("\n\r\r\r\n"), "\r\n\r\n\r\n\r\n");
    EXPECT_EQ(DecodeText("Ёж\nёж\r\n\rД"), Cp("Ёж\r\nёж\r\n\r\nД"));
}

TEST(LoadTextFile, MissingFoldersAndBinaryFilesAreRefusedByNameAndTextsWithControlsAreNot) {
    test::TempDir dir;
    const std::string missing = (dir.Path() / "нет-такого.txt").string();
    try {
        LoadTextFile(missing);
        ADD_FAILURE() << "no error";
    } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_THROW(LoadTextFile(dir.Path().string()), UserError);  // a folder
    std::string noise;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245 + 12345;
        noise.push_back(static_cast<char>(seed >> 24));
    }
    std::string noNul = noise;
    std::replace(noNul.begin(), noNul.end(), '\0', '\x01');
    const std::string binaries[] = {std::string(100000, '\0'),
                                    std::string("text\0with a NUL", 16),
                                    noise,
                                    noNul,
                                    "\177ELF\x02\x01\x01" + std::string(20, '\x03'),
                                    std::string(50, '\x1B') + "[0m"};
    for (const std::string& bytes : binaries) {
        const std::string file = dir.Write("bin", bytes);
        try {
            LoadTextFile(file);
            ADD_FAILURE() << "opened " << bytes.substr(0, 16);
        } catch (const NotTextError& e) {
            EXPECT_NE(std::string(e.what()).find("не текстовый файл"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
        }
    }
    // The limit is one control byte in ten, wherever they fall among the eight bytes tested at
    // once.
    for (int shift = 0; shift < 8; ++shift) {
        std::string s(200, 'a');
        for (int k = 0; k < 20; ++k)
            s[static_cast<size_t>(shift + 9 * k)] = k % 2 ? '\x7F' : '\x01';
        EXPECT_FALSE(IsBinaryData(s)) << shift;
        s[199 - static_cast<size_t>(shift)] = '\x1F';
        EXPECT_TRUE(IsBinaryData(s)) << shift;
    }
    // Tabs, page breaks, the old end-of-file mark and the odd escape belong to texts; UTF-16
    // with its byte-order mark is left to the decoding.
    const std::string texts[] = {"a\tb\fc\vd\r\n\x1A", "\x1B[1mbold\x1B[0m and more words",
                                 std::string("\xFF\xFEz\0b\0", 6)};
    for (const std::string& bytes : texts)
        EXPECT_NO_THROW(LoadTextFile(dir.Write("text", bytes))) << bytes;
}

// An empty file opened in place of the book gave an empty page without a word; a name with a
// line break or bytes that are no UTF-8 broke the one-line message.
TEST(LoadTextFile, EmptyFilesAreRefusedAndEveryNameIsQuotedOnOneLine) {
    test::TempDir dir;
    for (const std::string bytes : {"", " \r\n\t\r\n", "\xEF\xBB\xBF", "\xFF\xFE"}) {
        const std::string file = dir.Write("empty.txt", bytes);
        try {
            LoadTextFile(file);
            ADD_FAILURE() << "opened " << testing::PrintToString(bytes);
        } catch (const NotTextError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Не удалось открыть файл \"" + file + "\": пустой файл");
        }
    }
    EXPECT_EQ(EscapedFileName("Книга\n\x01 \"1\"\\\xFF\xD0\xE2\x80\xA8\xC2\x85\t😀.txt"),
              "Книга\\n\\x01 \\\"1\\\"\\\\\\xFF\\xD0\\xE2\\x80\\xA8\\xC2\\x85\\t😀.txt");
    const std::string odd = (dir.Path() / "два\nслова\xFF").string();
    try {
        LoadTextFile(odd);
        ADD_FAILURE() << "no error";
    } catch (const UserError& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_NE(message.find("два\\nслова\\xFF\": файл не найден"), std::string::npos) << message;
    }
}

// `count /dev/zero` grew without end and a pipe blocked the open for ever: only a regular file
// within the size limit is read, judged on the descriptor opened without blocking.
TEST(ReadFileBytes, DevicesPipesAndFilesOverTheLimitAreRefusedBeforeTheyAreRead) {
    test::TempDir dir;
    const std::string fifo = (dir.Path() / "pipe.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = (dir.Path() / "null.txt").string();
    std::filesystem::create_symlink("/dev/null", link);
    const std::string big = dir.Write("big.txt", "");
    std::filesystem::resize_file(big, kFileSizeLimit + 1);  // sparse: nothing is written
    const std::pair<std::string, std::string> refused[] = {
        {"/dev/null", "не обычный файл (устройство)"},
        {link, "не обычный файл (устройство)"},
        {fifo, "не обычный файл (канал)"},
        {dir.Path().string(), "это папка, а не файл"},
        {big, "файл больше 1 ГБ"},
    };
    for (const auto& [path, why] : refused) {
        try {
            ReadFileBytes(path);
            ADD_FAILURE() << "read " << path;
        } catch (const UserError& e) {
            EXPECT_EQ(std::string(e.what()), "Не удалось прочитать файл \"" + path + "\": " + why);
        }
    }
    // A smaller limit, and a file without a size (as /proc's) that grows past it while read.
    const std::string file = dir.Write("text.txt", std::string(3000, 'a'));
    EXPECT_EQ(ReadFileBytes(file, 3000).size(), 3000u);
    EXPECT_THROW(ReadFileBytes(file, 2999), UserError);
    EXPECT_THROW(ReadFileBytes("/proc/self/maps", 10), UserError);
}

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
