// Any bytes offered as an archive: never a crash, a hang or more text than the cap; what is
// not an archive is left to the text loader, and a failure is always a message for the user.
#include <cstdint>
#include <string>
#include <string_view>

#include "book/archive_reader.h"
#include "book/text_loader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lectorix;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    constexpr size_t kCap = 1 << 20;  // small, so inflating inputs hit it quickly
    try {
        const auto text = ReadFirstArchiveBytes(bytes, "fuzz", kCap);
        if (text) {
            FUZZ_CHECK(!text->empty(), "an archive gave an empty text");
            FUZZ_CHECK(text->size() <= kCap, "%zu bytes past the cap", text->size());
        }
    } catch (const UserError& e) {
        FUZZ_CHECK(std::string_view(e.what()).find("\"fuzz\"") != std::string_view::npos,
                   "a message without the file's name: %s", e.what());
    }
    return 0;
}
