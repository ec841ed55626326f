#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <tuple>

#include "book/book_trailer.h"
#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book_pages.h"
#include "formatter/book_assembler.h"
#include "formatter/document_loader.h"
#include "formatter/epub_book.h"
#include "formatter/fb2_book.h"
#include "formatter/xml_input.h"
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

// The expected contents: the title first, then every heading of the markdown with its level,
// one deeper `under` the title (an FB2's body title holds its sections).
std::vector<std::pair<std::string, int>> SampleContents(const std::string& markdown, bool under) {
    std::vector<std::pair<std::string, int>> out = {{"Евгений Онегин", 1}};
    std::istringstream lines(markdown);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with('#'))
            out.emplace_back(line.substr(line.find(' ') + 1),
                             static_cast<int>(line.find(' ')) + under);
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
    for (const std::string format : {"fb2", "epub2", "epub3"}) {
        SCOPED_TRACE(format);
        const auto expected = SampleContents(md, format == "fb2");
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
        for (size_t i = 0; i < book.Nodes.size(); ++i)
            got.emplace_back(test::Utf(book.Title(i)), book.Nodes[i].Level);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(book.ContentsEntries[0].Pos, 0);
        const BookHeader& h = book.Header;
        EXPECT_EQ(test::Utf(h.BookTitle + "|" + h.BookAuthor + "|" + h.BookAuthorFirstName + "|" +
                            h.BookAuthorLastName),
                  "Евгений Онегин|Александр Пушкин|Александр|Пушкин");
        // Headings stand on lines of their own with three blanks; nothing else has them.
        for (int i = 1; i < book.ContentsCount; ++i)
            EXPECT_EQ(copy.substr(static_cast<size_t>(book.ContentsEntries[i].Pos),
                                  3 + book.Title(static_cast<size_t>(i)).size()),
                      "   " + std::string(book.Title(static_cast<size_t>(i))));
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
              "    Мне отмщение, и аз воздам.\r\n"
              "   Часть первая. Начало\r\n"
              "  Все счастливые семьи похожи друг на друга[1].\r\n"
              "   Глава 1\r\n"
              "    Стихи\r\n    Строка один,\r\n    строка два.\r\n    — Поэт\r\n"
              "  Цитата — ? и &.\r\n"
              "  Конецглавы.\r\n"
              "   Примечания\r\n  1\r\n  Первое примечание.");
    std::vector<std::tuple<std::string, int, long long>> entries;
    for (int i = 0; i < book.ContentsCount; ++i)
        entries.emplace_back(test::Utf(book.Title(static_cast<size_t>(i))), book.Nodes[i].Level,
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

// The contents of a converted book as the reader opens it; its warning says what the reader is
// told once it is open.
BookContents Opened(std::string text) {
    BookContents book;
    EXPECT_TRUE(ParseBookTrailer(text, book));
    return book;
}

TEST(ConvertedBooks, BrokenFb2GivesWhatCouldBeReadOrAMessage) {
    // Cut off in the middle of the poem: the text before the cut is the book, and the reader is
    // told that it breaks off (it opened without a word, ending mid-word).
    const std::string whole = HandMadeFb2();
    const std::string cut = Fb2ToBook(whole.substr(0, whole.find(Cp("строка два"))));
    ExpectBook(cut, "Строка один,");
    EXPECT_NE(Opened(cut).Warning.find("Книга обрывается"), std::string::npos);
    EXPECT_EQ(Opened(Fb2ToBook(whole)).Warning, "");
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
              "1\r\n    Один\r\n    два\r\n  Три\r\n   Глава\r\n  пункт\r\n"
              "    строка 1\r\n    строка 2\r\n  Мелкий\r\n   Раздел\r\n  а б");
    std::string entries;
    for (size_t i = 0; i < book.Nodes.size(); ++i)
        entries += test::Utf(book.Title(i)) + "/" + std::to_string(book.Nodes[i].Level) + " ";
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
    EXPECT_EQ(test::Utf(std::string(book.Title(0)) + "|" + std::string(book.Title(1))),
              "Книга|Второй");
    // Cut anywhere, the archive gives a book of what could be read, or a message.
    for (size_t cut = 0; cut < epub.size(); cut += 97)
        ExpectBookOrMessage([&] { return EpubToBook(epub.substr(0, cut)); }, "EPUB");
    EXPECT_FALSE(LooksLikeEpub(Zip({{"a.txt", "text"}})));
    EXPECT_THROW(EpubToBook(Zip({{"a.txt", "text"}})), UserError);
    EXPECT_THROW(EpubToBook("plain text"), UserError);
}

// The contents tree of a converted book as "title/level" words.
std::string Tree(std::string text) {
    BookContents book;
    EXPECT_TRUE(ParseBookTrailer(text, book));
    std::string out;
    for (size_t i = 0; i < book.Nodes.size(); ++i)
        out += (out.empty() ? "" : " ") + test::Utf(book.Title(i)) + "/" +
               std::to_string(book.Nodes[i].Level);
    return out;
}

// The book of an FB2 titled "Война и мир" holding `body`.
std::string Fb2(const std::string& body) {
    return Fb2ToBook(
        "<FictionBook><description><title-info><book-title>Война и мир</book-title>"
        "</title-info></description><body>" +
        body + "</body></FictionBook>");
}

std::string Section(const std::string& title, const std::string& inside = "<p>Текст.</p>") {
    return "<section><title><p>" + title + "</p></title>" + inside + "</section>";
}

// The first chapters handed over while a book is still read are a book of their own that reads
// as the whole book's beginning: its body the whole's first chapters, its entries theirs with
// the same line counts, the totals those of the whole book's next entry, no warning (said once,
// with the whole book). A short book is not split.
void CheckFirstPart(const std::string& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    const bool fb2 = LooksLikeFb2(bytes);
    std::vector<std::string> parts;
    const auto keep = [&](std::string part) { parts.push_back(std::move(part)); };
    std::string whole = fb2 ? Fb2ToBook(bytes, {}, keep) : EpubToBook(bytes, {}, keep);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(whole, fb2 ? Fb2ToBook(bytes) : EpubToBook(bytes));
    BookContents first, all;
    std::string part = parts[0];
    ASSERT_TRUE(ParseBookTrailer(part, first));
    ASSERT_TRUE(ParseBookTrailer(whole, all));
    ASSERT_GT(first.ContentsCount, 1);
    ASSERT_LT(first.ContentsCount, all.ContentsCount);
    EXPECT_TRUE(first.Warning.empty()) << first.Warning;
    EXPECT_EQ(first.Header.BookTitle, all.Header.BookTitle);
    const size_t n = static_cast<size_t>(first.ContentsCount);
    const auto body = static_cast<size_t>(all.ContentsEntries[n].Pos);
    EXPECT_GE(body, kFirstPartChars);
    EXPECT_EQ(part.substr(0, body), whole.substr(0, body));
    for (size_t i = 0; i <= n; ++i) {
        const ContentsEntry& a = first.ContentsEntries[i];  // at n: the part's totals row
        const ContentsEntry& b = all.ContentsEntries[i];
        if (i < n) {
            EXPECT_EQ(first.Title(i), all.Title(i)) << i;
            EXPECT_EQ(a.Pos, b.Pos) << i;
        }
        EXPECT_EQ(a.Letters, b.Letters) << i;
        EXPECT_EQ(first.LineCounts(i), all.LineCounts(i)) << i;
    }
}

TEST(ConvertedBooks, TheFirstChaptersComeFirstAsABookOfTheirOwn) {
    std::string paragraph;
    for (int i = 0; i < 40; ++i)
        paragraph += "Слово за словом, строка за строкой, глава за главой. ";
    std::string sections, markdown = "---\ntitle: Книга\n---\n\n";
    for (int i = 1; i <= 30; ++i) {
        sections += Section("Глава " + std::to_string(i), "<p>" + paragraph + "</p>");
        markdown += "# Глава " + std::to_string(i) + "\n\n" + paragraph + "\n\n";
    }
    const std::string head =
        "<FictionBook><description><title-info><book-title>Книга</book-title></title-info>"
        "</description><body>";
    CheckFirstPart(head + sections + "</body></FictionBook>", "sections");
    // A body titled as the book: one chapter with the title page, the sections deepened below it
    // once the body ends (after the first part was given).
    CheckFirstPart(head + "<title><p>Книга</p></title>" + sections + "</body></FictionBook>",
                   "a titled body");
    const test::TempDir dir;
    CheckFirstPart(Pandoc(dir, markdown, "fb2"), "pandoc's FB2");
    CheckFirstPart(Pandoc(dir, markdown, "epub3"), "pandoc's EPUB 3");

    std::vector<std::string> parts;
    Fb2ToBook("<FictionBook><body>" + Section("Одна", "<p>" + paragraph + "</p>") + Section("Две") +
                  "</body></FictionBook>",
              {}, [&](std::string part) { parts.push_back(part); });
    EXPECT_TRUE(parts.empty());
}

TEST(ConvertedBooks, TheContentsFollowTheBook) {
    // A body's title holds its volumes, and an epilogue's chapters sit under it one level below
    // it as its sections do, whatever the titles say (the volumes stood beside the title).
    const std::string epilogue = Section("Эпилог", Section("I") + Section("II")) +
                                 "</body><body name=\"notes\">" +
                                 Section("1", "<p>Примечание.</p>");
    EXPECT_EQ(
        Tree(Fb2("<title><p>Война и мир</p></title>" +
                 Section("Том первый", Section("Часть первая", Section("I") + Section("II"))) +
                 epilogue)),
        "Война и мир/1 Том первый/2 Часть первая/3 I/4 II/4 Эпилог/2 I/3 II/3 "
        "Примечания/1");
    // With four levels of sections there is no room for the title above them.
    EXPECT_EQ(Tree(Fb2("<title><p>Война и мир</p></title>" +
                       Section("Том", Section("Часть", Section("Глава", Section("Раздел")))))),
              "Война и мир/1 Том/1 Часть/2 Глава/3 Раздел/4");
    // The book's title before the first heading of that title was listed twice, on pages 1 and
    // 2: it is one chapter, whose siblings stay its siblings.
    EXPECT_EQ(Tree(Fb2("<epigraph><p>Эпиграф.</p></epigraph>" + Section("ВОЙНА И МИР.") +
                       Section("Том второй"))),
              "Война и мир/1 Том второй/1");
    EXPECT_EQ(Tree(Fb2("<title><p>Война и мир</p></title>" + Section("Война и мир") +
                       Section("Том второй", Section("Часть")))),
              "Война и мир/1 Том второй/1 Часть/2");
    const auto doc = [](const std::string& body) {
        return "<html><body>" + body + "</body></html>";
    };
    const std::string chapters =
        "<item id=\"a\" href=\"Text/a.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"b\" href=\"Text/b.xhtml\" media-type=\"application/xhtml+xml\"/>";
    const std::string spine = "<itemref idref=\"a\"/><itemref idref=\"b\"/>";
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"OEBPS/Text/a.xhtml", doc("<p>Книга</p><h1>Книга</h1><p>Один.</p>")},
        {"OEBPS/Text/b.xhtml",
         doc("<h1>Глава</h1><p>Два.</p><h2 id=\"s\">Раздел</h2><p>Три.</p>")}};
    EXPECT_EQ(Tree(EpubToBook(Epub(chapters, spine, texts))), "Книга/1 Глава/1 Раздел/2");
    // The navigation in OEBPS/text/ names "b.xhtml", which the archive holds as OEBPS/Text/b.xhtml
    // (made where letter case does not count); "../Text/b.xhtml#s" from it is exact.
    auto withNav = [&](const std::string& links) {
        std::string nav = "<html><body><nav epub:type=\"toc\"><ol>";
        for (const std::string& link : {std::string("a.xhtml"), links})
            nav +=
                "<li><a href=\"" + link + "\">" + (link == "a.xhtml" ? "Книга" : "Х") + "</a></li>";
        auto files = texts;
        files.emplace_back("OEBPS/text/nav.xhtml", nav + "</ol></nav></body></html>");
        return EpubToBook(Epub(chapters +
                                   "<item id=\"n\" href=\"text/nav.xhtml\" properties=\"nav\" "
                                   "media-type=\"application/xhtml+xml\"/>",
                               spine, files));
    };
    EXPECT_EQ(Tree(withNav("b.xhtml")), "Книга/1 Х/1");
    EXPECT_EQ(Tree(withNav("../Text/b.xhtml#s")), "Книга/1 Х/1");
    // A navigation that gives the book's start alone gives way to the headings of the text.
    EXPECT_EQ(Tree(withNav("gone.xhtml")), "Книга/1 Глава/1 Раздел/2");
}

// Messages of libxml2's own ("encoding error : input conversion failed...") went to stderr.
std::string Stderr(const std::function<void()>& run) {
    std::fflush(stderr);
    FILE* file = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(file), 2);
    run();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::rewind(file);
    std::string out;
    for (int c; (c = std::fgetc(file)) != EOF;)
        out += static_cast<char>(c);
    std::fclose(file);
    return out;
}

template <typename Convert>
std::string Refusal(Convert convert) {
    try {
        convert();
    } catch (const UserError& e) {
        return e.what();
    }
    return "no error";
}

std::string Attributes(int count) {
    std::string s;
    for (int i = 0; i < count; ++i)
        s += " a" + std::to_string(i) + "=\"\"";
    return s;
}

std::string OneChapterEpub(const std::string& chapter,
                           std::vector<std::pair<std::string, std::string>> more = {}) {
    more.emplace_back("OEBPS/a.xhtml", chapter);
    return Epub("<item id=\"a\" href=\"a.xhtml\" media-type=\"application/xhtml+xml\"/>",
                "<itemref idref=\"a\"/>", more);
}

// A paragraph of 400,000 attributes took minutes (libxml2 compares each with the others), in an
// FB2 as in an EPUB: past the bounds a document is refused at once, saying where.
TEST(ConvertedBooks, MarkupPastTheBoundsIsRefusedSayingWhere) {
    auto fb2 = [](const std::string& p) {
        return "<FictionBook>\n<body>" + p + "</body></FictionBook>";
    };
    ExpectBook(Fb2ToBook(fb2("<p" + Attributes(kMaxAttributes) + ">Текст</p>")), "Текст");
    EXPECT_NE(Refusal([&] {
                  Fb2ToBook(fb2("<p" + Attributes(kMaxAttributes + 1) + ">Т</p>"));
              }).find("у элемента в строке 2 больше 256 атрибутов"),
              std::string::npos);
    // Namespaces in scope are what every prefixed name is looked up in.
    std::string spaces;
    for (int i = 0; i <= kMaxNamespaces; ++i)
        spaces += "<p xmlns:n" + std::to_string(i) + "=\"u\">Т</p>";
    EXPECT_NE(Refusal([&] { Fb2ToBook(fb2(spaces)); }).find("пространств имён"), std::string::npos);
    EXPECT_NE(
        Refusal([&] {
            EpubToBook(OneChapterEpub("<html><body><p" + Attributes(300) + ">Т</p></body></html>"));
        }).find("в файле OEBPS/a.xhtml у элемента"),
        std::string::npos);
    // Nesting deeper than the bound: the text before it opens, and the reader is told.
    std::string deep;
    for (int i = 0; i < kMaxDepth + 10; ++i)
        deep += "<section><p>Уровень</p>";
    EXPECT_NE(Opened(Fb2ToBook(fb2(deep))).Warning.find("обрывается"), std::string::npos);
    std::string divs = "<html><body>";
    for (int i = 0; i < kMaxDepth + 10; ++i)
        divs += "<div>Уровень ";
    EXPECT_NE(Opened(EpubToBook(OneChapterEpub(divs))).Warning.find("глубже 256"),
              std::string::npos);
    // A converted book keeps the most entries it may have and says it dropped the rest.
    BookAssembler book(1 << 20, 2);
    for (int i = 0; i < 4; ++i)
        book.AddHeading("Chapter " + std::to_string(i), 1);
    const BookContents kept = Opened(book.Finish({}, "", {}));
    EXPECT_EQ(kept.ContentsCount, 2);
    EXPECT_NE(kept.Warning.find("больше 2 глав"), std::string::npos);
}

// An EPUB bomb said `Не удалось открыть архив "EPUB"`, an encrypted one "в ней нет текста".
TEST(ConvertedBooks, BombsAndEncryptedEpubsSayWhatTheyAreNamingTheFile) {
    const test::TempDir dir;
    const std::string large = "<html><body><p>" + std::string(17 << 20, 'a') + "</p></body></html>";
    std::vector<std::pair<std::string, std::string>> parts;
    for (int i = 0; i < 5; ++i)
        parts.emplace_back("OEBPS/part" + std::to_string(i) + ".xhtml", std::string(14 << 20, ' '));
    for (const auto& [epub, why] :
         {std::pair{OneChapterEpub(large), "файл OEBPS/a.xhtml в распакованном виде больше 16 МБ"},
          {OneChapterEpub("<p>Т</p>", parts), "в распакованном виде её файлы больше 64 МБ"}}) {
        const std::string path = dir.Write("bomb.epub", epub);
        const std::string message = Refusal([&] { LoadDocument(path); });
        EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
        EXPECT_NE(message.find(why), std::string::npos) << message;
    }
    // Encrypted by what META-INF/encryption.xml says; fonts obfuscated the same way are no
    // secret.
    auto encryption = [](const std::string& algorithm, const std::string& uri) {
        return std::pair{std::string("META-INF/encryption.xml"),
                         "<encryption><EncryptedData><EncryptionMethod Algorithm=\"" + algorithm +
                             "\"/><CipherData><CipherReference URI=\"" + uri +
                             "\"/></CipherData></EncryptedData></encryption>"};
    };
    const std::string locked = OneChapterEpub(
        "\x93\x11 garbage",
        {encryption("http://www.w3.org/2001/04/xmlenc#aes256-cbc", "OEBPS/a.xhtml")});
    EXPECT_NE(Refusal([&] { EpubToBook(locked); }).find("она зашифрована"), std::string::npos);
    const std::string font = OneChapterEpub(
        "<p>Текст</p>", {encryption("http://www.idpf.org/2008/embedding", "OEBPS/f.otf")});
    EXPECT_EQ(Opened(EpubToBook(font)).Warning, "");
    // Encrypted in the zip itself.
    std::string zip(1 << 16, '\0');
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_set_options(a, "zip:encryption=zipcrypt");
    archive_write_set_passphrase(a, "secret");
    archive_write_open_memory(a, zip.data(), zip.size(), &used);
    for (const auto& [name, bytes] :
         {std::pair<std::string, std::string>{"mimetype", "application/epub+zip"},
          {"OEBPS/c.opf", "<package/>"}}) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    zip.resize(used);
    EXPECT_NE(Refusal([&] { LoadDocument(dir.Write("zipcrypt.epub", zip)); }).find("зашифрован"),
              std::string::npos);
}

// Silent loss: an FB2 declaring UTF-8 but written in CP1251 showed every letter as '?', more
// than 4 KB of DTD before its root made it "не книга, а текст", a DOCTYPE's internal subset in
// an XHTML chapter came out as text; libxml2 printed on stderr.
TEST(ConvertedBooks, WhatWouldBeLostIsReadOrSaid) {
    const std::string cp1251 = "<?xml version=\"1.0\" encoding=\"utf-8\"?><FictionBook><body><p>" +
                               Cp("Текст в кодировке windows-1251.") + "</p></body></FictionBook>";
    const std::string text = Fb2ToBook(cp1251);
    ExpectBook(text, "Текст в кодировке windows-1251.");
    EXPECT_NE(Opened(text).Warning.find("прочитана как windows-1251"), std::string::npos);

    std::string dtd = "<?xml version=\"1.0\"?>\n<!DOCTYPE FictionBook [\n";
    while (dtd.size() < 6000)
        dtd += "<!ENTITY e" + std::to_string(dtd.size()) + " \"a > b\"> <!-- ] > -->\n";
    dtd += "]>\n<FictionBook><body><p>Текст после DTD</p></body></FictionBook>";
    EXPECT_TRUE(LooksLikeFb2(dtd));
    EXPECT_TRUE(LooksLikeFb2("\xFF\xFE" + test::Recode(dtd, "UTF-16LE")));
    ExpectBook(Fb2ToBook(dtd), "Текст после DTD");

    const std::string laughs = OneChapterEpub(
        "<?xml version=\"1.0\"?><!DOCTYPE html [<!ENTITY lol \"lol\"><!ENTITY lol1 "
        "\"&lol;&lol;\">]><html><body><p>Текст &lol1;</p></body></html>");
    const std::string epub = EpubToBook(laughs);
    EXPECT_EQ(test::Utf(epub).find("ENTITY"), std::string::npos) << test::Utf(epub);
    ExpectBook(epub, "Текст");

    // A lone surrogate in UTF-16: the book up to it, and nothing printed.
    const std::string wide = "\xFF\xFE" + test::Recode("<FictionBook><body><p>Текст ", "UTF-16LE") +
                             std::string("\x00\xD8 \x00", 4) +
                             test::Recode("дальше</p></body></FictionBook>", "UTF-16LE");
    EXPECT_EQ(Stderr([&] { ExpectBookOrMessage([&] { return Fb2ToBook(wide); }, "FB2"); }), "");
}

// Verse read as prose: its lines were stretched to the width ("строка      стиха"), the rest of
// a wrapped one too, and an epigraph's author ran on as prose. Verse lines, epigraphs and their
// authors stand apart (four blanks), the author after a dash; the page never stretches them,
// nor the rest of such a line at the top of a page, while prose is still justified.
TEST(ConvertedBooks, VerseAndEpigraphsStandApartAndAreNeverStretched) {
    std::vector<std::string> verse;
    for (const std::string& line : SplitLines(
             Cp1251ToUtf8(LoadTextFile(test::DataPath("texts/pushkin_evgeny_onegin.utf8.txt")))))
        if (verse.size() < 14 && (!verse.empty() || line.starts_with("«Мой дядя")))
            verse.push_back(line);
    ASSERT_EQ(verse.size(), 14u);
    const std::string prose =
        "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do "
        "eiusmod tempor incididunt ut labore et dolore.</p>";
    const std::string epigraph = "<p>И жить торопится, и чувствовать спешит.</p>";
    std::string fb2 = "<FictionBook><body><section><title><p>Глава первая</p></title><epigraph>" +
                      epigraph + "<text-author>Князь Вяземский</text-author></epigraph>" + prose +
                      "<poem><stanza>";
    std::string xhtml = "<html><body><h1>Глава первая</h1><div class=\"epigraph\">" + epigraph +
                        "<p class=\"text-author\">Князь Вяземский</p></div>" + prose + "<p>";
    for (const std::string& v : verse) {
        fb2 += "<v>" + v + "</v>";
        xhtml += v + "<br/>";
    }
    fb2 += "</stanza></poem>" + prose + "</section></body></FictionBook>";
    xhtml += "</p><div class=\"poem\"><p>" + verse[0] + "</p></div>" + prose + "</body></html>";
    for (const std::string& book : {Fb2ToBook(fb2), EpubToBook(OneChapterEpub(xhtml))}) {
        EXPECT_NE(test::Utf(book).find("    И жить торопится, и чувствовать спешит.\r\n"
                                       "    — Князь Вяземский\r\n  Lorem ipsum"),
                  std::string::npos);
        EXPECT_NE(test::Utf(book).find("\r\n    Не отходя ни шагу прочь!\r\n"), std::string::npos);
        for (const int chars : {16, 22, 40}) {
            SCOPED_TRACE(chars);
            int stretchedProse = 0;
            for (const std::string& l : test::PageLines(book, chars, 5)) {
                const std::string_view text = Trim(l);
                const bool stretched = text.find("  ") != std::string_view::npos;
                if (std::isalpha(static_cast<unsigned char>(text[0]))) {
                    stretchedProse += stretched;
                } else {
                    EXPECT_FALSE(stretched) << test::Utf(l);
                }
            }
            EXPECT_GT(stretchedProse, 0);
        }
    }
}

}  // namespace
}  // namespace lectorix
