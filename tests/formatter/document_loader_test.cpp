// Whatever file is opened, the right reader takes it: an FB2 on its own or zipped becomes a
// book, an archive its first file, a binary file or one in an archive is refused.
#include "formatter/document_loader.h"

#include <archive.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "book/book_trailer.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

const std::string kFb2 =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><description><title-info>"
    "<author><first-name>Антон</first-name><last-name>Чехов</last-name></author>"
    "<book-title>Хамелеон</book-title></title-info></description><body>"
    "<section><title><p>Хамелеон</p></title><p>Через базарную площадь идет надзиратель.</p>"
    "</section></body></FictionBook>\n";

TEST(LoadDocument, EachFileGoesToItsReader) {
    test::TempDir dir;
    const auto zip = [&](const std::string& name, const std::string& inner,
                         const std::string& bytes) {
        return dir.Write(name, test::Zip({{inner, bytes}}));
    };
    const std::string story = "Хамелеон\nЧерез базарную площадь идет надзиратель.\n";
    EXPECT_EQ(LoadDocument(zip("story.zip", "story.txt", story)), DecodeText(story));

    for (const std::string& path :
         {dir.Write("book.fb2", kFb2), zip("book.fb2.zip", "book.fb2", kFb2)}) {
        SCOPED_TRACE(path);
        std::string text = LoadDocument(path);
        BookContents book;
        ASSERT_TRUE(ParseBookTrailer(text, book));
        EXPECT_EQ(book.Header.BookAuthorLastName, test::Cp("Чехов"));
        EXPECT_NE(text.find(test::Cp("Через базарную площадь")), std::string::npos);
    }

    // The FB2 saved as UTF-16 with its byte-order mark, declaring its encoding or keeping the
    // declaration it had (as Windows' editor leaves it), reads as the UTF-8 one, zipped too.
    const std::string fromUtf8 = LoadDocument(dir.Write("book.fb2", kFb2));
    std::string declared = kFb2;
    declared.replace(declared.find("utf-8"), 5, "UTF-16");
    for (const std::string& fb2 : {kFb2, declared})
        for (const auto& [bom, encoding] :
             {std::pair{"\xFF\xFE", "UTF-16LE"}, {"\xFE\xFF", "UTF-16BE"}}) {
            SCOPED_TRACE(fb2.substr(0, 40) + encoding);
            const std::string wide = bom + test::Recode(fb2, encoding);
            EXPECT_EQ(LoadDocument(dir.Write("wide.fb2", wide)), fromUtf8);
            EXPECT_EQ(LoadDocument(zip("wide.fb2.zip", "wide.fb2", wide)), fromUtf8);
        }

    // Every kind of book opens from every kind of archive as it opens on its own: an EPUB in
    // a 7z was refused as "в архиве не текстовый файл" while an FB2 in a zip opened.
    std::string lxb = BuildBookStructure(
        test::Cp("\r\nГлава первая\r\nТекст главы.\r\n\r\nГлава вторая\r\nЕщё.\r\n"), {});
    ComputeBookLineCounts(lxb);
    const std::string chapter =
        "<html><body><h1>Глава первая</h1><p>Текст.</p><h2>Часть</h2>"
        "<p>Ещё.</p><h1>Глава вторая</h1><p>Конец.</p></body></html>";
    const std::string epub = test::Zip(
        {{"mimetype", "application/epub+zip"},
         {"META-INF/container.xml",
          "<container><rootfiles><rootfile full-path=\"c.opf\"/></rootfiles></container>"},
         {"c.opf",
          "<package><manifest><item id=\"a\" href=\"a.xhtml\"/></manifest>"
          "<spine><itemref idref=\"a\"/></spine></package>"},
         {"a.xhtml", chapter}});
    const std::string rtf = "{\\rtf1\\ansi\\ansicpg1251 \\'c3\\'eb\\'e0\\'e2\\'e0\\par}";
    using Kind = std::tuple<const char*, test::ArchiveSetter, test::ArchiveSetter>;
    for (const auto& [inner, bytes] : {std::pair{"book.lxb", lxb},
                                       {"book.epub", epub},
                                       {"book.fb2", kFb2},
                                       {"story.rtf", rtf}}) {
        const std::string alone = LoadDocument(dir.Write(inner, bytes));
        for (const auto& [name, format, filter] :
             {Kind{"book.zip", archive_write_set_format_zip, nullptr},
              Kind{"book.7z", archive_write_set_format_7zip, nullptr},
              Kind{"book.tar.xz", archive_write_set_format_pax_restricted,
                   archive_write_add_filter_xz},
              Kind{"book.gz", archive_write_set_format_raw, archive_write_add_filter_gzip}}) {
            SCOPED_TRACE(std::string(inner) + " in " + name);
            EXPECT_EQ(
                LoadDocument(dir.Write(name, test::Archive({{inner, bytes}}, format, filter))),
                alone);
        }
    }
    EXPECT_EQ(LoadDocument(dir.Write("story.rtf", rtf)), test::Cp("Глава"));
    // One level only: an archive inside an archive is not unpacked in turn.
    EXPECT_THROW(LoadDocument(zip("twice.zip", "inner.zip", test::Zip({{"a.txt", story}}))),
                 NotTextError);

    const std::string elf = std::string(
                                "\x7F"
                                "ELF\0\0\0",
                                7) +
                            std::string(100, '\0');
    EXPECT_THROW(LoadDocument(zip("binary.zip", "ls", elf)), NotTextError);
    EXPECT_THROW(LoadDocument(dir.Write("zeros", std::string(4096, '\0'))), NotTextError);
}

// A file cut short anywhere (a download broken off, a full disk) gives a message or a text:
// a zip's first 20 to 29 bytes ended the program in the EPUB check. The prefixes go through
// the step after the file is read (writing thousands of files costs seconds of disk flushes);
// the crash's own file goes through the whole way.
TEST(LoadDocument, EveryKindOfFileCutAtAnyPointGivesAMessageOrAText) {
    for (const char* name : {"book.epub", "book.fb2", "book.lxb.zip", "text.7z", "text.rar4",
                             "book.lxb", "story.rtf"}) {
        SCOPED_TRACE(name);
        const std::string whole = ReadFileBytes(std::string(LECTORIX_DOCUMENT_SEEDS "/") + name);
        std::vector<size_t> lengths;
        for (size_t n = 0; n <= std::min<size_t>(512, whole.size()); ++n)
            lengths.push_back(n);
        for (size_t k = 1; whole.size() > 512 && k <= 64; ++k)
            lengths.push_back(512 + (whole.size() - 512) * k / 64);
        size_t texts = 0;
        for (const size_t n : lengths) {
            std::string text;
            try {
                text = LoadDocumentBytes(whole.substr(0, n), "cut");
            } catch (const UserError& e) {
                EXPECT_NE(std::string(e.what()).find("\"cut\""), std::string::npos)
                    << n << ": " << e.what();
                continue;
            }
            ++texts;
            BookContents book;
            try {
                ParseBookTrailer(text, book);  // as the reader opens it
            } catch (const UserError&) {
                // a damaged book's contents: a message too
            }
        }
        EXPECT_GT(texts, 0u);  // the whole file at least
    }
    test::TempDir dir;
    for (const char* name : {"f.epub", "f.zip", "f.txt"}) {
        const std::string file = dir.Write(name, "PK\x03\x04garbage");
        EXPECT_THROW(LoadDocument(file), NotTextError) << name;
    }
}

}  // namespace
}  // namespace lectorix
