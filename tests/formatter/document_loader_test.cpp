// Whatever file is opened, the right reader takes it: an FB2 on its own or zipped becomes a
// book, an archive its first file, a binary file or one in an archive is refused.
#include "formatter/document_loader.h"

#include <archive.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "book/book_trailer.h"
#include "book/text_loader.h"
#include "formatter/book_cache.h"
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

// FB2s of one size that differ only in a word.
std::string Fb2Numbered(int n) {
    std::string fb2 = kFb2;
    fb2.replace(fb2.find("идет"), 8, std::to_string(10000000 + n));
    return fb2;
}

std::string Resolved(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

void SetMtime(const std::string& path, long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A hit must give what the cache holds; a stale key (size, time or bytes) or a damaged entry
// must never be trusted, and is replaced by the new conversion.
TEST(BookCache, AHitIsUsedAStaleOrDamagedEntryIsConvertedAgainAndReplaced) {
    test::TempDir dir;
    BookCache cache((dir.Path() / "cache").string());
    const std::string fb2 = dir.Write("book.fb2", kFb2);
    SetMtime(fb2, 1000000);
    const std::string converted = LoadDocument(fb2);
    EXPECT_EQ(LoadDocumentCached(fb2, cache, LoadDocumentBytes), converted);
    cache.Wait();
    const std::string entry = cache.EntryPath(Resolved(fb2));
    struct stat info {};
    ASSERT_EQ(lstat((dir.Path() / "cache").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    const auto key = FileCacheKey(fb2, ReadFileBytes(fb2));
    ASSERT_TRUE(key);
    EXPECT_EQ(cache.Find(Resolved(fb2), *key), converted);

    // What the entry holds is what a hit gives (another book under the same key).
    const std::string other = test::StoryBook(2);
    cache.Store(Resolved(fb2), *key, other);
    EXPECT_EQ(LoadDocumentCached(fb2, cache, LoadDocumentBytes), other);

    // Stale by time, by size, by bytes of the same size and time: converted again, replaced.
    const auto expectConvertedAndReplaced = [&](const std::string& bytes, long mtime) {
        dir.Write("book.fb2", bytes);
        SetMtime(fb2, mtime);
        cache.Store(Resolved(fb2), *key, other);  // the entry of the file as it was
        const std::string fresh = LoadDocument(fb2);
        EXPECT_EQ(LoadDocumentCached(fb2, cache, LoadDocumentBytes), fresh);
        cache.Wait();
        const auto now = FileCacheKey(fb2, bytes);
        ASSERT_TRUE(now);
        EXPECT_NE(*now, *key);
        EXPECT_EQ(cache.Find(Resolved(fb2), *now), fresh);
    };
    expectConvertedAndReplaced(kFb2, 2000000);
    expectConvertedAndReplaced(kFb2 + "\n", 1000000);
    expectConvertedAndReplaced(Fb2Numbered(1), 1000000);
    ASSERT_EQ(Fb2Numbered(1).size(), kFb2.size());

    // Damaged: cut, a byte changed, or whole but no book (an entry made of a plain text).
    dir.Write("book.fb2", kFb2);
    SetMtime(fb2, 1000000);
    const std::string good = [&] {
        cache.Store(Resolved(fb2), *key, converted);
        return ReadFileBytes(entry);
    }();
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 1;
    for (const std::string& damaged : {good.substr(0, good.size() - 1), flipped, std::string()}) {
        dir.Write("damaged", damaged);
        std::filesystem::rename(dir.Path() / "damaged", entry);
        EXPECT_EQ(LoadDocumentCached(fb2, cache, LoadDocumentBytes), converted);
        cache.Wait();
        EXPECT_EQ(ReadFileBytes(entry), good);
    }
    cache.Store(Resolved(fb2), *key, "  no trailer at all\r\n");
    EXPECT_FALSE(cache.Find(Resolved(fb2), *key));
    EXPECT_EQ(LoadDocumentCached(fb2, cache, LoadDocumentBytes), converted);
    // Plain texts are not kept: they read faster than an entry.
    const std::string txt = dir.Write("story.txt", "Хамелеон\n");
    LoadDocumentCached(txt, cache, LoadDocumentBytes);
    cache.Wait();
    EXPECT_FALSE(std::filesystem::exists(cache.EntryPath(Resolved(txt))));
}

// Someone who can put a link into the cache folder must not get another file overwritten, nor
// have a file of theirs taken for a converted book.
TEST(BookCache, ALinkOrAnotherUsersFileInTheCacheIsNeverWrittenThroughNorTrusted) {
    test::TempDir dir;
    const auto folder = dir.Path() / "cache";
    BookCache cache(folder.string());
    const std::string fb2 = dir.Write("book.fb2", kFb2);
    const std::string victim = dir.Write("victim", "someone else's file");
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    const std::string entry = cache.EntryPath(Resolved(fb2));
    std::filesystem::create_symlink(victim, entry);
    LoadDocumentCached(fb2, cache, LoadDocumentBytes);
    cache.Wait();
    EXPECT_EQ(ReadFileBytes(victim), "someone else's file");
    EXPECT_FALSE(std::filesystem::is_symlink(entry));
    const auto key = FileCacheKey(fb2, ReadFileBytes(fb2));
    ASSERT_TRUE(key);
    ASSERT_TRUE(cache.Find(Resolved(fb2), *key));

    // A whole entry reached through a link is not read.
    std::filesystem::rename(entry, dir.Path() / "elsewhere");
    std::filesystem::create_symlink(dir.Path() / "elsewhere", entry);
    EXPECT_FALSE(cache.Find(Resolved(fb2), *key));
    if (geteuid() == 0) {
        // Nor one owned by another user; it is replaced by a file of this one.
        std::filesystem::remove(entry);
        std::filesystem::rename(dir.Path() / "elsewhere", entry);
        ASSERT_EQ(chown(entry.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(cache.Find(Resolved(fb2), *key));
        LoadDocumentCached(fb2, cache, LoadDocumentBytes);
        cache.Wait();
        struct stat info {};
        ASSERT_EQ(lstat(entry.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 0u);
    }

    // A cache folder that is a link is not used at all.
    const auto real = dir.Path() / "real";
    std::filesystem::create_directory(real);
    std::filesystem::create_directory_symlink(real, dir.Path() / "linked");
    BookCache linked((dir.Path() / "linked").string());
    LoadDocumentCached(fb2, linked, LoadDocumentBytes);
    linked.Wait();
    EXPECT_TRUE(std::filesystem::is_empty(real));
}

// The cache keeps within its cap by removing the entries used longest ago.
TEST(BookCache, TheCapEvictsTheEntriesUsedLongestAgo) {
    test::TempDir dir;
    std::vector<std::string> books;
    for (int i = 0; i < 3; ++i)
        books.push_back(dir.Write("book" + std::to_string(i) + ".fb2", Fb2Numbered(i)));
    const auto entrySize = [&] {
        BookCache probe((dir.Path() / "probe").string());
        LoadDocumentCached(books[0], probe, LoadDocumentBytes);
        probe.Wait();
        return std::filesystem::file_size(probe.EntryPath(Resolved(books[0])));
    }();
    BookCache cache((dir.Path() / "cache").string(), 2 * entrySize + entrySize / 2);
    const auto kept = [&](int i) {
        return std::filesystem::exists(cache.EntryPath(Resolved(books[static_cast<size_t>(i)])));
    };
    const auto open = [&](int i, long when) {
        LoadDocumentCached(books[static_cast<size_t>(i)], cache, LoadDocumentBytes);
        cache.Wait();
        const std::string entry = cache.EntryPath(Resolved(books[static_cast<size_t>(i)]));
        SetMtime(entry, when);  // the order of use, whatever the clock's resolution
    };
    open(0, 1000);
    open(1, 2000);
    open(0, 3000);  // a hit: book 0 is now the one used last
    open(2, 4000);
    EXPECT_TRUE(kept(0));
    EXPECT_FALSE(kept(1));
    EXPECT_TRUE(kept(2));
    // A book larger than the whole cap is not kept.
    BookCache tiny((dir.Path() / "tiny").string(), entrySize / 2);
    LoadDocumentCached(books[0], tiny, LoadDocumentBytes);
    tiny.Wait();
    EXPECT_FALSE(std::filesystem::exists(tiny.EntryPath(Resolved(books[0]))));
}

}  // namespace
}  // namespace lectorix
