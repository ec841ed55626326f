// Converted books kept in the user's cache folder, so that an FB2, an EPUB or an archive opens
// the second time as fast as a book in the program's own format.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "book/archive_reader.h"
#include "formatter/document_module.h"
#include "formatter/first_part.h"

namespace lectorix {

// What a cache entry must match: the file's size, modification time and a hash of its bytes.
struct BookCacheKey {
    std::uint64_t Size = 0;
    std::int64_t MtimeNs = 0;
    std::uint64_t Hash = 0;
    bool operator==(const BookCacheKey&) const = default;
};

// A fast 64-bit hash of every byte (eight at a time), for telling files apart, not for security.
std::uint64_t HashBytes(std::string_view bytes);

// The key of the file at `path` whose bytes were read as `bytes`; nothing when the file is not
// what was read (its size differs: it is being written).
std::optional<BookCacheKey> FileCacheKey(const std::string& path, std::string_view bytes);

// $XDG_CACHE_HOME/lectorix, else $HOME/.cache/lectorix; empty when neither is set.
std::string DefaultBookCacheFolder();

class BookCache {
  public:
    static constexpr std::uint64_t kDefaultCap = 200ull << 20;

    // Entries live in `folder` (made 0700 when missing); together they stay within `cap` bytes,
    // the least recently used going first.
    explicit BookCache(std::string folder, std::uint64_t cap = kDefaultCap);
    // Waits for a write still under way.
    ~BookCache();
    BookCache(const BookCache&) = delete;
    BookCache& operator=(const BookCache&) = delete;

    // The book kept for the file at `path`, when its entry is a regular file of this user that
    // is whole, parses as a book and was made of exactly this file (`key`). Anything else is
    // ignored: the caller converts the file again and Store replaces the entry.
    std::optional<std::string> Find(const std::string& path, const BookCacheKey& key) const;
    // Keeps `book` for the file. Nothing is reported: the cache only saves time. A link or any
    // other thing in the entry's place is removed, never written through; a folder that is a
    // link or another user's is not used at all.
    void Store(const std::string& path, const BookCacheKey& key, std::string_view book);
    // The same on a thread of its own, so the reader need not wait for the disk; one write at a
    // time, the next one waiting for the last.
    void StoreLater(std::string path, BookCacheKey key, std::string book);
    // Waits for StoreLater's write.
    void Wait();

    const std::string& Folder() const { return folder_; }
    // Where the entry of the file at `path` lives.
    std::string EntryPath(const std::string& path) const;

  private:
    bool FolderUsable(bool create) const;
    void Evict(const std::string& keep) const;

    std::string folder_;
    std::uint64_t cap_;
    std::mutex writerMutex_;  // loads on several workers may store at once
    std::thread writer_;
};

// LoadDocument through the cache, `load` turning bytes into the text (LoadDocumentBytes or the
// program's module): a file that may be converted (FB2, EPUB, a book inside an archive) is looked
// up by its key and, when not found, converted and kept (StoreLater) under its path with links
// resolved. Without a cache folder, simply `load`.
std::string LoadDocumentCached(const std::string& path, BookCache& cache, DocumentBytesLoader load,
                               const ArchiveProgress& archiveProgress = {},
                               const std::function<void(int, int)>& bookProgress = {},
                               const FirstPart& firstPart = {});

}  // namespace lectorix
