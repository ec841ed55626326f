// Any bytes as a word dictionary: a dictionary the check accepts reads with every range inside
// its lines and the first after line 0; whatever the index says, a word drawn is a line of its
// range lower-cased, or nothing when the range lies outside the text. A dictionary built of the
// bytes' words passes the check, and the one-pass repeat removal equals the step-by-step one.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/dictionary_builder.h"
#include "exercises/dictionary_tools.h"
#include "exercises/russian_order.h"
#include "exercises/word_dictionary.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lectorix;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitLines(bytes);

    const std::vector<DictionaryProblem> problems = CheckDictionary(lines);
    const bool refused =
        std::any_of(problems.begin(), problems.end(), [](const auto& p) { return p.Refused; });
    // An index from before, as the window holds one when a file is opened.
    DictionaryIndex index{1, {1}, {1}};
    bool parsed = true;
    try {
        ParseDictionaryIndex(lines, index);
    } catch (const UserError&) {
        parsed = false;
    }
    FUZZ_CHECK(refused || parsed, "the check accepts what does not parse");
    FUZZ_CHECK(index.DictFirstLine.size() == static_cast<size_t>(index.DictLengthCount) &&
                   index.DictLastLine.size() == index.DictFirstLine.size(),
               "%d lengths, %zu ranges", index.DictLengthCount, index.DictFirstLine.size());

    RandomGenerator random(size);
    for (size_t k = 0; k < index.DictFirstLine.size() && k < 64; ++k) {
        const std::int32_t first = index.DictFirstLine[k], last = index.DictLastLine[k];
        const bool inside = first >= 1 && first <= last && static_cast<size_t>(last) < lines.size();
        FUZZ_CHECK(inside || refused, "length %zu: range %d..%d accepted", k + 1, first, last);
        const std::string word = PickWord(lines, first, last, random);
        if (first < 0 || first > last || static_cast<size_t>(last) >= lines.size()) {
            FUZZ_CHECK(word.empty(), "a word from outside the text");
            continue;
        }
        bool found = false;
        for (std::int32_t i = first; i <= last && !found; ++i)
            found = LowerCase(lines[static_cast<size_t>(i)]) == word;
        FUZZ_CHECK(found, "the word drawn is no line of %d..%d", first, last);
    }

    DictionaryBuildOptions options;
    options.Alphabet = size % 2 == 1;
    try {
        const auto built = BuildDictionary({bytes}, options);
        FUZZ_CHECK(CheckDictionary(built).empty(), "a built dictionary fails its check");
    } catch (const UserError&) {
        // no word left, or a length without words: refused, not written
    }
    if (size <= 512)
        FUZZ_CHECK(UniqueWords(bytes) == literal::UniqueWords(bytes),
                   "one-pass repeat removal differs");
    return 0;
}
