#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <tuple>

#include "book/book_trailer.h"
#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book_pages.h"
#include "formatter/epub_book.h"
#include "formatter/fb2_book.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;

// A markdown book with headings at three levels, its paragraphs taken from the poem: only
// letters, blanks and plain punctuation, so markdown reads every paragraph as text.
std::string SampleMarkdown() {
    std::vector<std::string> words;
    for (const std::string& line : SplitLines(
             Cp1251ToUtf8(LoadTextFile(test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt"))))) {
        std::string clean;
        for (const char c : line)
            if (static_cast<unsigned char>(c) >= 0x80 ||
                std::isalpha(static_cast<unsigned char>(c)) ||
                std::string_view(" ,.!?;:").find(c) != std::string_view::npos)
                clean += c;
        if (!Trim(clean).empty()) words.emplace_back(Trim(clean));
    }
    std::string md = "---\ntitle: Евгений Онегин\nauthor: Александр Пушкин\nlang: ru\n---\n\n";
    size_t next = 200;
    auto paragraphs = [&](int count) {
        for (int p = 0; p < count; ++p) {
            for (int l = 0; l < 6 + p % 5; ++l)
                md += (l ? " " : "") + words[next++ % words.size()];
            md += "\n\n";
        }
    };
    for (int part = 1; part <= 3; ++part) {
        md += "# Часть " + std::to_string(part) + "\n\n";
        paragraphs(part);
        for (int ch = 1; ch <= 2; ++ch) {
            md += "## Глава " + std::to_string(part) + "." + std::to_string(ch) + "\n\n";
            paragraphs(3 + ch);
            for (int s = 1; s <= 2; ++s) {
                md += "### Раздел " + std::to_string(s) + "\n\n";
                paragraphs(2 + s * part);
            }
        }
    }
    return md;
}

// The expected contents: the title first, then every heading of the markdown with its level.
std::vector<std::pair<std::string, int>> SampleContents(const std::string& markdown) {
    std::vector<std::pair<std::string, int>> out = {{"Евгений Онегин", 1}};
    std::istringstream lines(markdown);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with('#'))
            out.emplace_back(line.substr(line.find(' ') + 1), static_cast<int>(line.find(' ')));
    return out;
}

std::string Pandoc(const test::TempDir& dir, const std::string& markdown, const std::string& to) {
    const std::string in = dir.Write("book.md", markdown);
    const std::string out = (dir.Path() / ("book." + to)).string();
    const std::string command = "pandoc -s -f markdown -t " + to + " -o '" + out + "' '" + in + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadFileBytes(out);
}

TEST(ConvertedBooks, PandocsFb2AndEpubGiveTheContentsTheHeaderAndThePages) {
    const test::TempDir dir;
    const std::string md = SampleMarkdown();
    const auto expected = SampleContents(md);
    for (const std::string format : {"fb2", "epub2", "epub3"}) {
        SCOPED_TRACE(format);
        const std::string bytes = Pandoc(dir, md, format);
        EXPECT_EQ(LooksLikeFb2(bytes), format == "fb2");
        EXPECT_EQ(LooksLikeEpub(bytes), format != "fb2");
        int calls = 0;
        const std::string text = format == "fb2" ? Fb2ToBook(bytes, [&](int, int) { ++calls; })
                                                 : EpubToBook(bytes, [&](int, int) { ++calls; });
        EXPECT_GT(calls, 0);
        std::string copy = text;
        BookContents book;
        ASSERT_TRUE(ParseBookTrailer(copy, book));
        std::vector<std::pair<std::string, int>> got;
        for (const ContentsNode& n : book.Nodes)
            got.emplace_back(test::Utf(n.Text), n.Level);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(book.ContentsEntries[0].Pos, 0);
        const BookHeader& h = book.Header;
        EXPECT_EQ(test::Utf(h.BookTitle + "|" + h.BookAuthor + "|" + h.BookAuthorFirstName + "|" +
                            h.BookAuthorLastName),
                  "Евгений Онегин|Александр Пушкин|Александр|Пушкин");
        // Headings stand on lines of their own with three blanks; nothing else has them.
        for (int i = 1; i < book.ContentsCount; ++i)
            EXPECT_EQ(copy.substr(static_cast<size_t>(book.ContentsEntries[i].Pos),
                                  3 + book.ContentsEntries[i].Title.size()),
                      "   " + book.ContentsEntries[i].Title);
        for (const int chars : {16, 22, 40, 80})
            test::CheckPages(text, chars, 25);
    }
}

// Every field of a book's header, in UTF-8, after one another.
std::string HeaderFields(const BookHeader& h) {
    return test::Utf(h.BookTitle + "/" + h.BookAuthor + "/" + h.BookAuthorFirstName + "/" +
                     h.BookAuthorLastName + "/" + h.BookGenre + "/" + h.BookSubgenre + "/" +
                     h.BookId + "/" + h.BookCopyright + "/" + h.BookSource);
}

// A hand-made book in windows-1251 with everything that is not text.
std::string HandMadeFb2() {
    const std::string cover(3000, 'Q');
    return Cp("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
              "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
              "xmlns:l=\"http://www.w3.org/1999/xlink\">\n"
              "<description><title-info><genre>prose_classic</genre><genre>prose_rus</genre>"
              "<author><first-name>Лев</first-name><middle-name>Николаевич</middle-name>"
              "<last-name>Толстой</last-name></author><author><last-name>Другой</last-name></"
              "author>"
              "<book-title>Проба | пера</book-title><annotation><p>Аннотация не для чтения</p>"
              "</annotation><coverpage><image l:href=\"#cover.jpg\"/></coverpage></title-info>"
              "<document-info><author><nickname>Составитель</nickname></author><id>ID-42</id>"
              "<src-url>http://example.org/book</src-url></document-info>"
              "<publish-info><publisher>Издательство</publisher></publish-info></description>\n"
              "<body><epigraph><p>Мне отмщение, и аз воздам.</p></epigraph>\n"
              "<section><title><p>Часть первая</p><p>Начало</p></title>\n"
              "<p>Все счаст\xC2\xADливые семьи <emphasis>похожи</emphasis> друг на друга"
              "<a l:href=\"#n1\" type=\"note\">[1]</a>.</p>\n"
              "<image l:href=\"#cover.jpg\"/>"
              "<section><title><p>Глава 1</p></title>"
              "<poem><title><p>Стихи</p></title><stanza><v>Строка один,</v><v>строка два.</v>"
              "</stanza><text-author>Поэт</text-author></poem>"
              "<cite><p>Цитата &#x2014; &#945; и &amp;.</p></cite>"
              "<p>Конец&#x200B;главы.</p></section></section></body>\n"
              "<body name=\"notes\"><title><p>Примечания</p></title>"
              "<section id=\"n1\"><title><p>1</p></title><p>Первое примечание.</p></section>"
              "</body>\n<binary id=\"cover.jpg\" content-type=\"image/jpeg\">") +
           cover + "</binary></FictionBook>\n";
}

TEST(ConvertedBooks, AHandMadeFb2KeepsItsTextAndLeavesTheRest) {
    std::string text = Fb2ToBook(HandMadeFb2());
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    const std::string body = test::Utf(text);
    EXPECT_EQ(body,
              "  Мне отмщение, и аз воздам.\r\n"
              "   Часть первая. Начало\r\n"
              "  Все счастливые семьи похожи друг на друга[1].\r\n"
              "   Глава 1\r\n"
              "  Стихи\r\n  Строка один,\r\n  строка два.\r\n  Поэт\r\n"
              "  Цитата — ? и &.\r\n"
              "  Конецглавы.\r\n"
              "   Примечания\r\n  1\r\n  Первое примечание.");
    std::vector<std::tuple<std::string, int, long long>> entries;
    for (int i = 0; i < book.ContentsCount; ++i)
        entries.emplace_back(test::Utf(book.Nodes[i].Text), book.Nodes[i].Level,
                             book.ContentsEntries[i].Pos);
    // The epigraph before the first section is not hidden: the book's title stands at 0.
    auto at = [&](const std::string& heading) {
        return static_cast<long long>(Cp(body.substr(0, body.find("   " + heading))).size());
    };
    const std::vector<std::tuple<std::string, int, long long>> want = {
        {"Проба / пера", 1, 0},
        {"Часть первая. Начало", 1, at("Часть первая. Начало")},
        {"Глава 1", 2, at("Глава 1")},
        {"Примечания", 1, at("Примечания")}};
    EXPECT_EQ(entries, want);
    EXPECT_EQ(HeaderFields(book.Header),
              "Проба | пера/Лев Николаевич Толстой/Лев/Толстой/prose_classic/prose_rus/ID-42/"
              "Издательство/http://example.org/book");
    for (const int chars : {16, 40})
        test::CheckPages(Fb2ToBook(HandMadeFb2()), chars, 4);
}

// Converted text must be a book the reader accepts, its first entry at the first character.
void ExpectBook(std::string text, const std::string& contains) {
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    EXPECT_EQ(book.ContentsEntries[0].Pos, 0);
    EXPECT_NE(test::Utf(text).find(contains), std::string::npos) << test::Utf(text);
}

// A book the reader accepts, or (never when `bookAllowed` is false) the message naming `format`.
template <typename Convert>
void ExpectBookOrMessage(Convert convert, const std::string& format, bool bookAllowed = true) {
    try {
        const std::string text = convert();
        EXPECT_TRUE(bookAllowed) << "no error";
        ExpectBook(text, "");
    } catch (const UserError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Не удалось прочитать книгу " + format))
            << e.what();
    }
}

TEST(ConvertedBooks, BrokenFb2GivesWhatCouldBeReadOrAMessage) {
    // Cut off in the middle of the poem: the text before the cut is the book.
    const std::string whole = HandMadeFb2();
    ExpectBook(Fb2ToBook(whole.substr(0, whole.find(Cp("строка два")))), "Строка один,");
    // A broken attribute does not cost the text after it its "&".
    ExpectBook(Fb2ToBook("<FictionBook><body><p x=1>a</p><p>b &amp; c</p></body>"), "b & c");
    // Without its encoding declared, a book that is not UTF-8 is read as windows-1251.
    std::string undeclared = whole;
    undeclared.erase(undeclared.find(" encoding="), 24);
    EXPECT_EQ(Fb2ToBook(undeclared), Fb2ToBook(whole));
    // No text at all: a message naming the format and the parser's complaint.
    for (const std::string bad : {"", "hello", "<FictionBook><body></body>", "\xFF\xFE<\x00"})
        ExpectBookOrMessage([&] { return Fb2ToBook(bad); }, "FB2", false);
    // A billion laughs: the document's entities are never expanded.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE FictionBook [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><FictionBook><body><p>Смех: &l9; &amp; всё&nbsp;тут.</p></body></FictionBook>";
    const std::string book = Fb2ToBook(Cp(laughs));
    EXPECT_LT(book.size(), 2000u);
    // The HTML entities careless converters write work, and so does "&amp;" after them.
    ExpectBook(book,
               "Смех: & всё\xC2\xA0"
               "тут.");
    // A large cover is skipped as it is read.
    std::string big = HandMadeFb2();
    big.insert(big.find("</binary>"), std::string(40 << 20, 'A'));
    EXPECT_EQ(Fb2ToBook(big), Fb2ToBook(HandMadeFb2()));
}

using test::Zip;

// An EPUB 2 of two documents in OEBPS/, `extra` added to the manifest and the spine.
std::string Epub(const std::string& manifest, const std::string& spine,
                 const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::pair<std::string, std::string>> entries = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"OEBPS/c.opf\" "
         "media-type=\"application/oebps-package+xml\"/></rootfiles></container>"},
        {"OEBPS/c.opf",
         "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:opf=\"http://www.idpf.org/2007/opf\" "
         "unique-identifier=\"uid\"><metadata><dc:title>Книга</dc:title>"
         "<dc:creator opf:file-as=\"Толстой, Лев\">Лев Толстой</dc:creator>"
         "<dc:subject>Роман</dc:subject><dc:subject>Классика</dc:subject>"
         "<dc:identifier>isbn</dc:identifier><dc:identifier id=\"uid\">urn:1</dc:identifier>"
         "<dc:rights>Общественное достояние</dc:rights><dc:publisher>Изд</dc:publisher>"
         "</metadata><manifest>" +
             manifest + "</manifest><spine>" + spine + "</spine></package>"}};
    entries.insert(entries.end(), files.begin(), files.end());
    return Zip(entries);
}

TEST(ConvertedBooks, EpubWithoutNavigationTakesItsHeadingsAndForgivesBrokenXhtml) {
    const std::string doc =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><html><head><title>T</title>"
        "<style>p{}</style></head><body><h1>Часть&nbsp;1</h1><p>Один<br/>два<p>Три"
        "<script>var x = '<p>';</script><div><h2>Глава</h2><ul><li>пункт</li></ul>"
        "<pre>строка 1\nстрока 2</pre><h4>Мелкий</h4><h3>Раздел</h3><table><tr><td>а</td>"
        "<td>б</td></tr></table></body></html>";
    const std::string epub =
        Epub("<item id=\"a\" href=\"a%20b.xhtml\" media-type=\"application/xhtml+xml\"/>",
             "<itemref idref=\"a\"/>", {{"OEBPS/a b.xhtml", doc}});
    ASSERT_TRUE(LooksLikeEpub(epub));
    std::string text = EpubToBook(epub);
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    EXPECT_EQ(test::Utf(text),
              "   Часть\xC2\xA0"
              "1\r\n  Один\r\n  два\r\n  Три\r\n   Глава\r\n  пункт\r\n"
              "  строка 1\r\n  строка 2\r\n  Мелкий\r\n   Раздел\r\n  а б");
    std::string entries;
    for (const ContentsNode& n : book.Nodes)
        entries += test::Utf(n.Text) + "/" + std::to_string(n.Level) + " ";
    EXPECT_EQ(entries,
              "Часть\xC2\xA0"
              "1/1 Глава/2 Раздел/3 ");
    EXPECT_EQ(HeaderFields(book.Header),
              "Книга/Лев Толстой/Лев/Толстой/Роман/Классика/urn:1/Общественное достояние/Изд");
}

TEST(ConvertedBooks, BrokenEpubGivesWhatCouldBeReadOrAMessage) {
    // The navigation names a missing file and a missing anchor: the entry into the missing file
    // goes, the one with the missing anchor stands at its document's start.
    const std::string ncx =
        "<ncx><navMap><navPoint><navLabel><text>Пропавший</text></navLabel>"
        "<content src=\"gone.xhtml\"/></navPoint><navPoint><navLabel><text>Второй</text>"
        "</navLabel><content src=\"b.xhtml#nowhere\"/></navPoint></navMap></ncx>";
    const std::string epub = Epub(
        "<item id=\"a\" href=\"a.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"g\" href=\"gone.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"b\" href=\"b.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"n\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>",
        "<itemref idref=\"a\"/><itemref idref=\"g\"/><itemref idref=\"b\"/>",
        {{"OEBPS/a.xhtml", "<html><body><p>Первый текст</p></body></html>"},
         {"OEBPS/b.xhtml", "<html><body><p>Второй текст</p></body></html>"},
         {"OEBPS/toc.ncx", ncx}});
    std::string text = EpubToBook(epub);
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    EXPECT_EQ(test::Utf(text), "  Первый текст\r\n   Второй текст");
    ASSERT_EQ(book.ContentsCount, 2);
    EXPECT_EQ(test::Utf(book.Nodes[0].Text + "|" + book.Nodes[1].Text), "Книга|Второй");
    // Cut anywhere, the archive gives a book of what could be read, or a message.
    for (size_t cut = 0; cut < epub.size(); cut += 97)
        ExpectBookOrMessage([&] { return EpubToBook(epub.substr(0, cut)); }, "EPUB");
    EXPECT_FALSE(LooksLikeEpub(Zip({{"a.txt", "text"}})));
    EXPECT_THROW(EpubToBook(Zip({{"a.txt", "text"}})), UserError);
    EXPECT_THROW(EpubToBook("plain text"), UserError);
}

}  // namespace
}  // namespace lectorix
