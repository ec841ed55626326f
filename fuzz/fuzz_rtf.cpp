// The plain text of any bytes read as RTF: it must come out in the reader's own form, never
// grow past the markup it came from, and not depend on state a skipped group leaves behind.
#include <cstdint>
#include <string>
#include <string_view>

#include "book/rtf_text.h"
#include "fuzz_checks.h"

namespace {

using namespace lectorix;

// CR only before LF, LF only after CR, no other control character but the tab, no line break
// at the end.
void CheckReaderText(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r')
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n', "lone CR at %zu", i);
        else if (c == '\n')
            FUZZ_CHECK(i > 0 && text[i - 1] == '\r', "lone LF at %zu", i);
        else
            FUZZ_CHECK(c >= 0x20 || c == '\t', "control character 0x%02X at %zu", c, i);
    }
    FUZZ_CHECK(!text.ends_with("\r\n"), "line break at the end of %zu bytes", text.size());
}

// Bytes without markup are text as they stand, less the line ends and control characters.
std::string AsPlainText(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 0x20 && u != 0x7F) || c == '\t') out.push_back(c);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view rtf(reinterpret_cast<const char*>(data), size);
    const std::string text = RtfToText(rtf);
    CheckReaderText(text);
    // Every character or line break of the text costs at least as many bytes of markup.
    FUZZ_CHECK(text.size() <= rtf.size(), "%zu bytes of text from %zu of markup", text.size(),
               rtf.size());

    if (rtf.find_first_of("\\{}") == std::string_view::npos) {
        FUZZ_CHECK(text == AsPlainText(rtf), "plain bytes changed (%zu -> %zu bytes)", rtf.size(),
                   text.size());
    }
    // A skipped group in front changes nothing after it.
    const std::string prefixed = RtfToText("{\\*\\x}" + std::string(rtf));
    FUZZ_CHECK(prefixed == text, "a skipped group in front changes the text (%zu -> %zu bytes)",
               text.size(), prefixed.size());
    return 0;
}
