#include "support/test_support.h"

#include <archive.h>
#include <archive_entry.h>

#include <iconv.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include "book/cp1251.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"

namespace lectorix::test {

TempDir::TempDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("lectorix-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, std::string_view bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

AsUser::AsUser(uid_t uid) : uid_(uid) {
    if (uid_ == 0) return;
    if (::setegid(uid_) != 0 || ::seteuid(uid_) != 0)
        throw std::runtime_error("cannot act as user " + std::to_string(uid_));
}

AsUser::~AsUser() {
    if (uid_ == 0) return;
    if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();  // every later test would lie
}

void GiveTo(const std::filesystem::path& path, uid_t uid) {
    if (::lchown(path.c_str(), uid, uid) != 0)
        throw std::runtime_error("cannot give " + path.string() + " away");
}

std::string DataPath(const std::string& relative) {
    return std::string(LECTORIX_TEST_DATA) + "/" + relative;
}

std::string DataFile(const std::string& relative) {
    return ReadFileBytes(DataPath(relative));
}

std::string SharedDataPath(const std::string& relative) {
    std::string root = LECTORIX_SHARED_TESTDATA;
    if (const char* env = std::getenv("LECTORIX_SHARED_TESTDATA")) root = env;
    const std::string path = root + "/" + relative;
    return std::filesystem::exists(path) ? path : std::string();
}

std::string Recode(const std::string& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv: ") + to);
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size(), outLeft = out.size();
    char* o = out.data();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string Cp(std::string_view utf8) {
    return Utf8ToCp1251(utf8);
}
std::string Utf(std::string_view cp1251) {
    return Cp1251ToUtf8(cp1251);
}

std::string Story(int paragraphs) {
    const std::string paragraph =
        Cp("Жили-были старик со старухой у самого синего моря; они жили в ветхой землянке ровно "
           "тридцать лет и три года.\r\n");
    std::string text;
    for (int i = 0; i < paragraphs; ++i)
        text += paragraph;
    return text;
}

std::string StoryBook(int chapters) {
    std::string raw;
    for (int c = 1; c <= chapters; ++c)
        raw += "\r\n" + Cp("Глава ") + std::to_string(c) + "\r\n" + Story(12);
    std::string book = BuildBookStructure(raw, BookHeader{});
    ComputeBookLineCounts(book);
    return book;
}

std::string Archive(const std::vector<std::pair<std::string, std::string>>& files,
                    ArchiveSetter format, ArchiveSetter filter) {
    size_t total = 64 * 1024;
    for (const auto& f : files)
        total += f.first.size() + f.second.size() + 256;
    std::string out(total, '\0');
    size_t used = 0;
    archive* a = archive_write_new();
    format(a);
    if (filter) filter(a);
    archive_write_open_memory(a, out.data(), out.size(), &used);
    for (const auto& [name, bytes] : files) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    out.resize(used);
    return out;
}

std::string Zip(const std::vector<std::pair<std::string, std::string>>& files) {
    return Archive(files, archive_write_set_format_zip);
}

}  // namespace lectorix::test
