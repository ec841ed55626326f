// Any bytes as the stored bookmark list: every line either reads and writes back to a line
// that reads as the same record, or is refused; adding a bookmark to the list always leaves it
// within 20 books of 20 bookmarks with one line for the page just added.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "settings/bookmarks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lectorix;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> list;
    for (size_t nl; !bytes.empty(); bytes.remove_prefix(nl == bytes.npos ? bytes.size() : nl + 1)) {
        nl = bytes.find('\n');
        list.emplace_back(bytes.substr(0, nl));
    }
    for (const auto& line : list) {
        const auto r = ParseBookmark(line);
        if (!r) continue;
        const std::string again = FormatBookmark(*r);
        const auto back = ParseBookmark(again);
        FUZZ_CHECK(back && *back == *r, "a record does not read back: %s", again.c_str());
    }
    if (list.empty()) return 0;
    const std::string added = list.back();
    list.pop_back();
    AddBookmarkLine(list, added);
    FUZZ_CHECK(!list.empty() && list.front() == added, "the new line is not at the top");
    // A field is what stands before a "|"; without one it is empty.
    auto key = [](std::string_view l) {
        auto cut = [&l] {
            const size_t bar = l.find('|');
            if (bar == l.npos) return std::string();
            std::string field(l.substr(0, bar));
            l.remove_prefix(bar + 1);
            return field;
        };
        std::string caption = cut();
        return std::pair{caption, cut()};
    };
    std::map<std::string, int> perBook;
    int sameAsAdded = 0;
    for (const auto& line : list) {
        sameAsAdded += key(line) == key(added);
        ++perBook[key(line).second];
    }
    FUZZ_CHECK(sameAsAdded == 1, "the added page stands %d times", sameAsAdded);
    FUZZ_CHECK(perBook.size() <= kBookmarkBooks, "%zu books", perBook.size());
    for (const auto& [book, n] : perBook)
        FUZZ_CHECK(n <= kBookmarksPerBook, "%d bookmarks of one book", n);
    return 0;
}
