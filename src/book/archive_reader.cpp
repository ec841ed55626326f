#include "book/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "book/text_loader.h"

namespace lectorix {
namespace {

struct ArchiveFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

// The formats and compressions books come in. No program-run filters, no "empty" or "mtree"
// formats: those would take plain texts for archives.
// Where the archive comes from: a file, or bytes already in memory.
struct Source {
    const std::string* path = nullptr;
    std::string_view bytes;
};

ArchivePtr OpenArchive(const Source& source, bool raw) {
    ArchivePtr a(archive_read_new());
    if (!a) throw std::bad_alloc();
    archive_read_support_filter_gzip(a.get());
    archive_read_support_filter_bzip2(a.get());
    archive_read_support_filter_xz(a.get());
    archive_read_support_filter_lzma(a.get());
    archive_read_support_filter_zstd(a.get());
    if (raw) {
        archive_read_support_format_raw(a.get());
    } else {
        archive_read_support_format_zip(a.get());
        archive_read_support_format_7zip(a.get());
        archive_read_support_format_rar(a.get());
        archive_read_support_format_rar5(a.get());
        archive_read_support_format_tar(a.get());
    }
    const int r = source.path
                      ? archive_read_open_filename(a.get(), source.path->c_str(), 64 * 1024)
                      : archive_read_open_memory(a.get(), source.bytes.data(), source.bytes.size());
    if (r != ARCHIVE_OK) return nullptr;
    return a;
}

// An archive signature at the start of what libarchive could not open: a damaged archive, not a
// text.
bool LooksLikeArchive(const Source& source) {
    using namespace std::string_view_literals;
    char head[8] = {};
    std::string_view got = source.bytes.substr(0, sizeof head);
    if (source.path) {
        FILE* f = std::fopen(source.path->c_str(), "rb");
        if (!f) return false;
        got = std::string_view(head, std::fread(head, 1, sizeof head, f));
        std::fclose(f);
    }
    for (const auto magic : {"Rar!\x1A\x07"sv, "PK\x03\x04"sv, "7z\xBC\xAF\x27\x1C"sv})
        if (got.starts_with(magic)) return true;
    return false;
}

// Bytes that open with none of the signatures of the formats and filters read here, and hold no
// zero byte in their first 512 (a tar header always does, and so does an lzma stream's), are no
// archive: libarchive need not be asked, each of its bidders reading its code in for the rest
// of the run.
bool NoArchive(std::string_view bytes) {
    using namespace std::string_view_literals;
    for (const auto magic : {"\x1F\x8B"sv, "BZh"sv, "\xFD\x37\x7A\x58\x5A"sv, "\x28\xB5\x2F\xFD"sv,
                             "PK"sv, "7z\xBC\xAF\x27\x1C"sv, "Rar!\x1A\x07"sv})
        if (bytes.starts_with(magic)) return false;
    return bytes.substr(0, 512).find('\0') == std::string_view::npos;
}

// What libarchive's English words mean, said in Russian.
std::string DamageReason(std::string_view english) {
    std::string lower(english);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    auto has = [&](std::string_view word) { return lower.find(word) != std::string::npos; };
    if (has("truncat") || has("unexpected end") || has("premature") || has("eof"))
        return "он обрывается";
    if (has("crc") || has("checksum")) return "не сходится контрольная сумма";
    if (has("unsupported") || has("not supported") || has("unknown"))
        return "его способ сжатия не поддерживается";
    if (has("memory")) return "не хватило памяти";
    return "его данные испорчены";
}

class Failure {
  public:
    explicit Failure(const std::string& path) : path_(path) {}
    [[noreturn]] void Throw(const std::string& reason) const {
        throw NotTextError("Не удалось открыть архив \"" + path_ + "\": " + reason + ".");
    }
    // The encryption libarchive could not undo, or the damage in Russian with its own words.
    [[noreturn]] void FromArchive(archive* a) const {
        const char* what = archive_error_string(a);
        const std::string_view text = what ? what : "";
        if (archive_read_has_encrypted_entries(a) > 0 || text.find("ncrypt") != text.npos ||
            text.find("assword") != text.npos)
            Throw("архив зашифрован");
        Throw("архив повреждён: " + DamageReason(text) +
              (text.empty() ? std::string() : " (" + std::string(text) + ")"));
    }

  private:
    const std::string& path_;
};

}  // namespace

namespace {

// Reads entries up to the first with data. Empty when there is none; throws on failure.
std::string FirstFileWithData(archive* a, bool raw, const Failure& fail, long long total,
                              const ArchiveProgress& progress, std::size_t cap, int& entries) {
    int shown = -1;
    auto report = [&] {
        if (!progress || total == 0) return;
        const long long done = archive_filter_bytes(a, -1);
        const int percent = static_cast<int>(std::min<long long>(100, done * 100 / total));
        if (percent != shown) progress(shown = percent);
    };
    report();
    const std::string tooLarge = "текст в нём больше " + std::to_string(cap >> 20) + " МБ";
    archive_entry* entry = nullptr;
    std::string out;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) return {};
        if (r < ARCHIVE_WARN) fail.FromArchive(a);
        ++entries;
        report();
        // Folders, links and devices are skipped; an entry of no stated type may still be a file.
        const auto type = archive_entry_filetype(entry);
        if (!raw && type != AE_IFREG && type != 0) continue;
        if (archive_entry_is_encrypted(entry)) fail.Throw("архив зашифрован");
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) <= 0) continue;
        if (archive_entry_size_is_set(entry) &&
            static_cast<unsigned long long>(archive_entry_size(entry)) > cap)
            fail.Throw(tooLarge);
        out.clear();
        for (;;) {
            const la_ssize_t n = archive_read_data(a, buffer.data(), buffer.size());
            if (n == 0) break;
            if (n < 0) fail.FromArchive(a);
            if (out.size() + static_cast<size_t>(n) > cap) fail.Throw(tooLarge);
            out.append(buffer.data(), static_cast<size_t>(n));
            report();
        }
        if (!out.empty()) {
            if (progress && shown != 100) progress(100);
            return out;
        }
    }
}

}  // namespace

namespace {

std::optional<std::string> ReadFirst(const Source& source, const std::string& name,
                                     const ArchiveProgress& progress, std::size_t cap) {
    const Failure fail(name);
    long long total = static_cast<long long>(source.bytes.size());
    struct stat st {};
    if (source.path)
        total = ::stat(source.path->c_str(), &st) == 0 && st.st_size > 0 ? st.st_size : 0;
    int entries = 0;
    if (ArchivePtr a = OpenArchive(source, false)) {
        std::string text = FirstFileWithData(a.get(), false, fail, total, progress, cap, entries);
        if (!text.empty()) return text;
        if (entries > 0) fail.Throw("в архиве нет текста");
        // Zeros read as an empty tar: plain ones are no archive, compressed ones a single file.
        if (archive_filter_count(a.get()) < 2) return std::nullopt;
    }
    // A single compressed file: only a real decompression filter makes it an archive.
    ArchivePtr a = OpenArchive(source, true);
    if (!a || archive_filter_count(a.get()) < 2) {
        if (LooksLikeArchive(source)) fail.Throw("архив повреждён: его начало не читается");
        return std::nullopt;
    }
    std::string text = FirstFileWithData(a.get(), true, fail, total, progress, cap, entries);
    if (text.empty()) fail.Throw("в архиве нет текста");
    return text;
}

}  // namespace

std::optional<std::string> ReadFirstArchiveFile(const std::string& path,
                                                const ArchiveProgress& progress, std::size_t cap) {
    return ReadFirst(Source{&path, {}}, path, progress, cap);
}

std::optional<std::string> ReadFirstArchiveBytes(std::string_view bytes, const std::string& name,
                                                 std::size_t cap, const ArchiveProgress& progress) {
    if (NoArchive(bytes)) return std::nullopt;
    return ReadFirst(Source{nullptr, bytes}, name, progress, cap);
}

ArchiveFiles ReadArchiveFiles(std::string_view bytes,
                              const std::function<bool(const std::string&)>& want, std::size_t cap,
                              std::size_t fileCap) {
    ArchiveFiles out;
    ArchivePtr a = OpenArchive(Source{nullptr, bytes}, false);
    if (!a) return out;
    auto megabytes = [](std::size_t n) { return std::to_string(n >> 20) + " МБ"; };
    std::size_t total = 0, entries = 0;
    std::vector<char> buffer(64 * 1024);
    archive_entry* entry = nullptr;
    for (;;) {
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN) return out;
        if (++entries > kMaxArchiveEntries)
            throw UserError("в архиве больше " + std::to_string(kMaxArchiveEntries) + " файлов");
        const auto type = archive_entry_filetype(entry);
        if (type != AE_IFREG && type != 0) continue;
        const char* path = archive_entry_pathname_utf8(entry);
        if (!path) path = archive_entry_pathname(entry);
        if (!path || !want(path)) continue;
        if (archive_entry_is_encrypted(entry)) {
            out.Encrypted.emplace_back(path);
            continue;
        }
        const std::string name = path;
        std::string data;
        // Held at its size, not at the next power of two a growing string would take.
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0)
            data.reserve(std::min<std::size_t>(static_cast<std::size_t>(archive_entry_size(entry)),
                                               std::min(cap, fileCap) + 1));
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), buffer.size());
            if (n == 0) break;
            if (n < 0) return out;
            total += static_cast<size_t>(n);
            if (total > cap)
                throw UserError("в распакованном виде её файлы больше " + megabytes(cap));
            if (data.size() + static_cast<size_t>(n) > fileCap)
                throw UserError("файл " + name + " в распакованном виде больше " +
                                megabytes(fileCap));
            data.append(buffer.data(), static_cast<size_t>(n));
        }
        out.Files.emplace(name, std::move(data));
    }
    out.Complete = true;
    return out;
}

std::optional<std::string> CompressedZip(std::string_view bytes, const std::string& name,
                                         std::size_t cap, const ArchiveProgress& progress) {
    if (bytes.starts_with("PK")) return std::nullopt;
    if (NoArchive(bytes)) return std::nullopt;
    ArchivePtr a = OpenArchive(Source{nullptr, bytes}, true);
    archive_entry* entry = nullptr;
    if (!a || archive_filter_count(a.get()) < 2 ||
        archive_read_next_header(a.get(), &entry) != ARCHIVE_OK)
        return std::nullopt;
    char head[4] = {};
    if (archive_read_data(a.get(), head, sizeof head) != sizeof head ||
        std::string_view(head, sizeof head) != "PK\x03\x04")
        return std::nullopt;
    // Read again from the start: the head is short, and the stream cannot be rewound.
    const Failure fail(name);
    int entries = 0;
    a = OpenArchive(Source{nullptr, bytes}, true);
    if (!a) return std::nullopt;
    return FirstFileWithData(a.get(), true, fail, static_cast<long long>(bytes.size()), progress,
                             cap, entries);
}

bool LoadFromArchive(const std::string& path, std::string& text, const ArchiveProgress& progress) {
    auto bytes = ReadFirstArchiveFile(path, progress);
    if (!bytes) return false;
    if (IsBinaryData(*bytes))
        throw NotTextError("Не удалось открыть файл \"" + path + "\": в архиве не текстовый файл");
    text = DecodeText(std::move(*bytes));
    return true;
}

}  // namespace lectorix
