#include "formatter/book_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

#include "book/book_trailer.h"
#include "book/file_save.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"

namespace lectorix {
namespace {

constexpr std::string_view kMagic = "Lectorix book cache 1\n";
constexpr std::string_view kEntrySuffix = ".lxb";
constexpr size_t kEntryNameLength = 16 + kEntrySuffix.size();

// Whether the bytes may be what the loader converts or unpacks: binary data (archives, EPUB
// among them) or an FB2's root anywhere, in an 8-bit encoding or in UTF-16 either way round.
// Told before the loader looks, so a little more than it converts.
bool MayBeConverted(std::string_view bytes) {
    if (IsBinaryData(bytes)) return true;
    constexpr std::string_view kRoot = "<FictionBook";
    if (bytes.find(kRoot) != std::string_view::npos) return true;
    std::string le, be;
    for (const char c : kRoot) {
        le += c;
        le += '\0';
        be += '\0';
        be += c;
    }
    return bytes.find(le) != std::string_view::npos || bytes.find(be) != std::string_view::npos;
}

std::uint64_t Mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

std::string Hex(std::uint64_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string s(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4)
        s[static_cast<size_t>(i)] = digits[v & 15];
    return s;
}

std::string Header(const std::string& path, const BookCacheKey& key, std::string_view book) {
    std::string h(kMagic);
    h += std::to_string(key.Size) + ' ' + std::to_string(key.MtimeNs) + ' ' + Hex(key.Hash) + ' ' +
         std::to_string(book.size()) + ' ' + Hex(HashBytes(book)) + ' ' +
         std::to_string(path.size()) + '\n';
    h += path;
    h += '\n';
    return h;
}

bool IsBookText(std::string_view text) {
    const size_t end = text.find_last_not_of(" \t\r\n");
    if (end == std::string_view::npos) return false;
    const size_t lineStart = text.find_last_of('\n', end);
    const std::string_view last =
        text.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1);
    return last.find("<INFOTEXTEND>") != std::string_view::npos;
}

// This user's own regular file or folder, reached without a link.
bool Ours(const struct stat& info, bool folder) {
    return (folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode)) && info.st_uid == ::geteuid();
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) return true;  // judged by the caller
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::uint64_t HashBytes(std::string_view bytes) {
    std::uint64_t h = 0x9e3779b97f4a7c15ULL ^ (bytes.size() * 0x100000001b3ULL);
    const char* p = bytes.data();
    size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ (w * 0x87c37b91114253d5ULL)) * 0x4cf5ad432745937fULL;
        h = (h << 31) | (h >> 33);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, p, n);
    return Mix(h ^ (tail * 0x87c37b91114253d5ULL));
}

std::optional<BookCacheKey> FileCacheKey(const std::string& path, std::string_view bytes) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 ||
        static_cast<std::uint64_t>(info.st_size) != bytes.size())
        return std::nullopt;
    return BookCacheKey{
        bytes.size(),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
        HashBytes(bytes)};
}

std::string DefaultBookCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    // A relative XDG path is to be ignored, as the base directory rules say.
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/lectorix";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/lectorix";
    return {};
}

BookCache::BookCache(std::string folder, std::uint64_t cap)
    : folder_(std::move(folder)), cap_(cap) {
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
}

BookCache::~BookCache() {
    Wait();
}

void BookCache::Wait() {
    const std::lock_guard lock(writerMutex_);
    if (writer_.joinable()) writer_.join();
}

std::string BookCache::EntryPath(const std::string& path) const {
    return folder_ + "/" + Hex(HashBytes(path)) + std::string(kEntrySuffix);
}

bool BookCache::FolderUsable(bool create) const {
    if (folder_.empty() || (create && !MakeFolders(folder_))) return false;
    struct stat info {};
    return ::lstat(folder_.c_str(), &info) == 0 && Ours(info, true);
}

std::optional<std::string> BookCache::Find(const std::string& path, const BookCacheKey& key) const {
    if (!FolderUsable(false)) return std::nullopt;
    const std::string entry = EntryPath(path);
    const int fd = ::open(entry.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string data;
    struct stat info {};
    bool read = ::fstat(fd, &info) == 0 && Ours(info, false) && info.st_nlink == 1 &&
                static_cast<std::uint64_t>(info.st_size) <= cap_;
    if (read) {
        data.resize(static_cast<size_t>(info.st_size));
        size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        read = got == data.size();
    }
    // Used now: the eviction takes the entries used longest ago.
    if (read) (void)::futimens(fd, nullptr);
    ::close(fd);
    if (!read) return std::nullopt;

    // The header: magic, the key, the book's length and hash, the file's path.
    if (!data.starts_with(kMagic)) return std::nullopt;
    const size_t lineEnd = data.find('\n', kMagic.size());
    if (lineEnd == std::string::npos) return std::nullopt;
    const std::string line = data.substr(kMagic.size(), lineEnd - kMagic.size());
    unsigned long long size = 0, bookLength = 0, pathLength = 0;
    long long mtime = 0;
    char hash[17] = {}, bookHash[17] = {};
    int used = 0;
    if (std::sscanf(line.c_str(), "%llu %lld %16s %llu %16s %llu%n", &size, &mtime, hash,
                    &bookLength, bookHash, &pathLength, &used) != 6 ||
        static_cast<size_t>(used) != line.size())
        return std::nullopt;
    if (BookCacheKey{size, mtime, std::strtoull(hash, nullptr, 16)} != key ||
        Hex(key.Hash) != hash || pathLength != path.size())
        return std::nullopt;
    const size_t bookStart = lineEnd + 1 + path.size() + 1;
    if (data.size() < bookStart || data.compare(lineEnd + 1, path.size(), path) != 0 ||
        data[bookStart - 1] != '\n' || data.size() - bookStart != bookLength)
        return std::nullopt;
    data.erase(0, bookStart);
    if (Hex(HashBytes(data)) != bookHash) return std::nullopt;
    // Whole and of this file: it must still read as a book, or it is converted again.
    try {
        std::string copy = data;
        BookContents contents;
        if (!ParseBookTrailer(copy, contents)) return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return data;
}

void BookCache::Store(const std::string& path, const BookCacheKey& key, std::string_view book) {
    const std::string header = Header(path, key, book);
    if (header.size() + book.size() > cap_ || !FolderUsable(true)) return;
    const std::string entry = EntryPath(path);
    struct stat info {};
    // A link, another user's file or anything else in the entry's place goes (a link is
    // removed, not what it leads to), so the save below writes a new file of this user.
    if (::lstat(entry.c_str(), &info) == 0 && !(Ours(info, false) && info.st_nlink == 1) &&
        ::unlink(entry.c_str()) != 0)
        return;
    std::string bytes = header;
    bytes += book;
    try {
        WriteFileBytes(entry, bytes);
    } catch (const std::exception&) {
        return;  // a full disk: the book is simply converted again next time
    }
    Evict(entry);
}

void BookCache::StoreLater(std::string path, BookCacheKey key, std::string book) {
    const std::lock_guard lock(writerMutex_);
    if (writer_.joinable()) writer_.join();
    writer_ = std::thread([this, path = std::move(path), key, book = std::move(book)]() mutable {
        Store(path, key, book);
        // The copy of the book goes back to the system, not to the arena it came from, which
        // glibc would keep for the program's lifetime.
        std::string().swap(book);
        malloc_trim(0);
    });
}

void BookCache::Evict(const std::string& keep) const {
    DIR* dir = ::opendir(folder_.c_str());
    if (dir == nullptr) return;
    std::vector<std::tuple<std::int64_t, std::uint64_t, std::string>> entries;  // mtime, size
    std::uint64_t total = 0;
    while (const dirent* d = ::readdir(dir)) {
        const std::string_view name = d->d_name;
        if (name.size() != kEntryNameLength || !name.ends_with(kEntrySuffix) ||
            name.find_first_not_of("0123456789abcdef") != 16)
            continue;
        const std::string full = folder_ + "/" + std::string(name);
        struct stat info {};
        if (::lstat(full.c_str(), &info) != 0 || !Ours(info, false)) continue;
        const auto size = static_cast<std::uint64_t>(info.st_size);
        total += size;
        entries.emplace_back(
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            size, full);
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end());
    for (const auto& [mtime, size, full] : entries) {
        if (total <= cap_) break;
        if (full == keep) continue;
        if (::unlink(full.c_str()) == 0) total -= size;
    }
}

std::string LoadDocumentCached(const std::string& path, BookCache& cache, DocumentBytesLoader load,
                               const ArchiveProgress& archiveProgress,
                               const std::function<void(int, int)>& bookProgress,
                               const FirstPart& firstPart) {
    std::string bytes = ReadFileBytes(path);
    const std::string name = EscapedFileName(path);
    if (cache.Folder().empty())
        return load(std::move(bytes), name, archiveProgress, bookProgress, firstPart);
    // Plain texts and books are read faster than an entry would be: only what may be converted
    // or unpacked is kept.
    const std::optional<BookCacheKey> key =
        MayBeConverted(bytes) ? FileCacheKey(path, bytes) : std::nullopt;
    if (!key) return load(std::move(bytes), name, archiveProgress, bookProgress, firstPart);
    char resolved[PATH_MAX];
    const std::string file = ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
    if (auto book = cache.Find(file, *key)) return std::move(*book);
    std::string text = load(std::move(bytes), name, archiveProgress, bookProgress, firstPart);
    if (IsBookText(text)) cache.StoreLater(file, *key, text);
    return text;
}

}  // namespace lectorix
