// Hands any bytes to the cache of converted books as an entry, either as the entry file itself
// (a damaged or foreign file in the cache folder) or stored by the cache around them. Whatever
// Find takes must be exactly the book that was stored and must read as a book; nothing may
// crash or read out of range.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "book/book_trailer.h"
#include "book/file_save.h"
#include "formatter/book_cache.h"

using namespace lectorix;

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char name[] = "/tmp/fuzz_cache.XXXXXX";
        const char* made = ::mkdtemp(name);
        if (made == nullptr) std::abort();
        static const std::string top = made;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(top, ignored);
        });
        return top + "/lectorix";
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    BookCache cache(Folder(), 1 << 20);
    const std::string path = "/книги/роман.fb2";
    const BookCacheKey key{3239413, 1700000000123456789, 0x0123456789abcdefULL};
    const bool stored = data[0] % 2 == 1;
    if (stored) {
        cache.Store(path, key, bytes);
    } else {
        (void)::unlink(cache.EntryPath(path).c_str());
        ::mkdir(Folder().c_str(), 0700);
        WriteFileBytes(cache.EntryPath(path), bytes);
    }
    if (const auto book = cache.Find(path, key)) {
        if (stored && *book != bytes) std::abort();  // a book other than the one stored
        std::string copy = *book;
        BookContents contents;
        if (!ParseBookTrailer(copy, contents)) std::abort();  // taken although not a book
    }
    // Another file's key never finds it.
    if (cache.Find(path, BookCacheKey{key.Size + 1, key.MtimeNs, key.Hash})) std::abort();
    return 0;
}
