#include "book/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <vector>

#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using test::TempDir;

struct Entry {
    std::string name;
    std::string bytes;
    int type = AE_IFREG;
};

// Writes an archive with libarchive's own writer, so every format is made the same way.
std::string WriteArchive(const TempDir& dir, const std::string& name, int (*format)(archive*),
                         int (*filter)(archive*), const std::vector<Entry>& entries) {
    const std::string path = (dir.Path() / name).string();
    archive* a = archive_write_new();
    format(a);
    if (filter) filter(a);
    EXPECT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK) << archive_error_string(a);
    for (const auto& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_filetype(entry, static_cast<unsigned>(e.type));
        archive_entry_set_perm(entry, 0644);
        if (e.type == AE_IFLNK) archive_entry_set_symlink(entry, "elsewhere.txt");
        archive_entry_set_size(entry,
                               e.type == AE_IFREG ? static_cast<la_int64_t>(e.bytes.size()) : 0);
        archive_write_header(a, entry);
        if (e.type == AE_IFREG) archive_write_data(a, e.bytes.data(), e.bytes.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return path;
}

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const UserError& e) {
        return e.what();
    }
    return "(no error)";
}

const std::string kStory =
    "Хамелеон\nЧерез базарную площадь идет полицейский надзиратель Очумелов.\n";

TEST(ReadFirstArchiveFile, EveryFormatGivesItsFirstFileWithData) {
    TempDir dir;
    const std::vector<Entry> entries = {{"книги/", "", AE_IFDIR}, {"ссылка.txt", "", AE_IFLNK},
                                        {"zero", "", AE_IFCHR},  // nothing but regular files
                                        {"pipe", "", AE_IFIFO},   {"пустой.txt", ""},
                                        {"хамелеон.txt", kStory}, {"второй.txt", "не этот"}};
    struct Kind {
        const char* name;
        int (*format)(archive*);
        int (*filter)(archive*);
    };
    const Kind kinds[] = {
        {"a.zip", archive_write_set_format_zip, nullptr},
        {"a.7z", archive_write_set_format_7zip, nullptr},
        {"a.tar", archive_write_set_format_pax_restricted, nullptr},
        {"a.tar.gz", archive_write_set_format_pax_restricted, archive_write_add_filter_gzip},
        {"a.tar.bz2", archive_write_set_format_pax_restricted, archive_write_add_filter_bzip2},
        {"a.tar.xz", archive_write_set_format_pax_restricted, archive_write_add_filter_xz}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        const std::string path = WriteArchive(dir, k.name, k.format, k.filter, entries);
        std::vector<int> progress;
        const auto bytes = ReadFirstArchiveFile(path, [&](int p) { progress.push_back(p); });
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, kStory);
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(progress.back(), 100);
    }
    // A single compressed file is its text.
    EXPECT_EQ(ReadFirstArchiveFile(WriteArchive(dir, "single.txt.xz", archive_write_set_format_raw,
                                                archive_write_add_filter_xz, {{"data", kStory}})),
              kStory);
}

TEST(ReadFirstArchiveFile, FilesThatAreNoArchivesGoToTheTextLoaderWhateverTheirName) {
    TempDir dir;
    const std::pair<const char*, std::string> files[] = {{"story.zip", kStory},
                                                         {"empty.rar", ""},
                                                         {"doc.7z", "{\\rtf1 text}"},
                                                         {"ascii.txt", "PK is just two letters"},
                                                         {"nul.gz", std::string(100, '\0')}};
    for (const auto& [name, bytes] : files) {
        EXPECT_FALSE(ReadFirstArchiveFile(dir.Write(name, bytes))) << name;
    }
}

TEST(ReadFirstArchiveFile, ArchivesThatGiveNoTextAreRefusedNamingTheFileAndTheReason) {
    TempDir dir;
    const std::string dirsOnly = WriteArchive(dir, "dirs.zip", archive_write_set_format_zip,
                                              nullptr, {{"a/", "", AE_IFDIR}, {"a/empty.txt", ""}});
    EXPECT_EQ(Message([&] { ReadFirstArchiveFile(dirsOnly); }),
              "Не удалось открыть архив \"" + dirsOnly + "\": в архиве нет текста.");

    // A zip cut in the middle of its data, and one whose first bytes only look like a zip.
    std::string big;
    for (int i = 0; i < 4000; ++i)
        big += std::to_string(i * 7919 % 10007) + " ";
    const std::string bytes =
        ReadFileBytes(WriteArchive(dir, "whole.zip", archive_write_set_format_zip,
                                   archive_write_zip_set_compression_deflate, {{"big.txt", big}}));
    for (const auto& [name, cut] : std::vector<std::pair<std::string, std::string>>{
             {"cut.zip", bytes.substr(0, bytes.size() / 2)}, {"head.zip", "PK\x03\x04garbage"}}) {
        SCOPED_TRACE(name);
        const std::string path = dir.Write(name, cut);
        const std::string message = Message([&] { ReadFirstArchiveFile(path); });
        EXPECT_NE(message.find("\"" + path + "\": архив повреждён"), std::string::npos) << message;
        // The reason in Russian, libarchive's English words, if any, after it.
        const std::string why = message.substr(message.find("повреждён") + 18, 4);
        EXPECT_TRUE(why.starts_with(": \xD0") || why.starts_with(": \xD1")) << message;
    }

    // More text than the cap: the entry's claim, or what it really inflates to, stops it early.
    const std::string zeros(3 << 20, '\0');  // to the tar reader, an empty tar when gzipped
    for (const std::string& path :
         {WriteArchive(dir, "zeros.zip", archive_write_set_format_zip,
                       archive_write_zip_set_compression_deflate, {{"zeros.txt", zeros}}),
          WriteArchive(dir, "zeros.gz", archive_write_set_format_raw, archive_write_add_filter_gzip,
                       {{"zeros", zeros}})})
        EXPECT_NE(Message([&] { ReadFirstArchiveFile(path, {}, 1 << 20); }).find("больше 1 МБ"),
                  std::string::npos)
            << path;
}

// Real RAR archives from elsewhere: the readable ones give their first regular file, the
// encrypted and damaged ones a message, none crashes or hangs.
TEST(ReadFirstArchiveFile, RealRarArchives) {
    if (test::SharedDataPath("rar/rar.rar").empty()) GTEST_SKIP() << "no shared test data";
    auto read = [](const std::string& name) {
        return ReadFirstArchiveFile(test::SharedDataPath("rar/" + name));
    };
    // One of each version, method and name encoding: decoding the rest is libarchive's work.
    const std::pair<const char*, size_t> readable[] = {
        {"rar.rar", 20},          {"rar_compress_best.rar", 20111},  {"rar_unicode.rar", 5},
        {"rar5_solid.rar", 1200}, {"rar5_multiple_files.rar", 4096}, {"rar5_unicode.rar", 13}};
    for (const auto& [name, size] : readable) {
        SCOPED_TRACE(name);
        const auto bytes = read(name);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->size(), size);
    }
    EXPECT_EQ(read("rar.rar")->substr(0, 4), "test");
    EXPECT_EQ(*read("rar5_stored.rar"), "hello libarchive test suite!\n");
    // Only b.txt and d.txt of this one are encrypted; its first file reads.
    EXPECT_EQ(*read("rar5_encrypted.rar"), "This is from a.txt");
    for (const char* name : {"rar_encryption_data.rar", "rar_encryption_header.rar"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(Message([&] { read(name); }).find("архив зашифрован"), std::string::npos);
    }
    for (const char* name :
         {"rar_invalid1.rar", "rar5_truncated_huff.rar", "rar5_bad_tables.rar"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(Message([&] { read(name); }).find("архив повреждён"), std::string::npos)
            << Message([&] { read(name); });
    }
}

}  // namespace
}  // namespace lectorix
