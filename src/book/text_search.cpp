#include "book/text_search.h"

#include <vector>

#include "book/cp1251.h"
#include "book/text_helpers.h"

namespace lectorix {

long long FindText(std::string_view text, std::string_view needle, long long from) {
    std::vector<std::string_view> words;
    for (std::string_view rest = Trim(needle); !rest.empty(); rest = TrimLeft(rest)) {
        size_t end = 0;
        while (end < rest.size() && !IsWhite(rest[end]))
            ++end;
        words.push_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    if (words.empty() || from < 0) return -1;

    for (size_t at = static_cast<size_t>(from); at < text.size(); ++at) {
        at = FindNoCase(text, words[0], at);
        if (at == std::string_view::npos) return -1;
        size_t pos = at + words[0].size();
        bool matched = true;
        for (size_t w = 1; w < words.size() && matched; ++w) {
            const size_t gap = pos;
            while (pos < text.size() && IsWhite(text[pos]))
                ++pos;
            const std::string_view word = words[w];
            matched = pos > gap && text.size() - pos >= word.size();
            for (size_t k = 0; matched && k < word.size(); ++k)
                matched = Cp1251EqualNoCase(text[pos + k], word[k]);
            pos += word.size();
        }
        if (matched) return static_cast<long long>(at);
    }
    return -1;
}

}  // namespace lectorix
