#include "exercises/program_resources.h"

#include <algorithm>
#include <cstddef>

// Written at build time from resources/dictionary/lectorix.dict.
extern const unsigned char kBuiltInDictionary[];
extern const std::size_t kBuiltInDictionarySize;

namespace lectorix {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace

std::optional<std::string_view> FindProgramResource(std::string_view type, std::string_view name) {
    if (SameName(type, "DICTIONARY") && SameName(name, "DICT"))
        return std::string_view(reinterpret_cast<const char*>(kBuiltInDictionary),
                                kBuiltInDictionarySize);
    return std::nullopt;
}

}  // namespace lectorix
