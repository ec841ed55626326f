#include "book/text_search.h"

#include <algorithm>

#include "book/cp1251.h"
#include "book/text_helpers.h"

namespace lectorix {

TextMatch FindTextMatch(std::string_view text, std::string_view needle, long long from) {
    std::vector<std::string_view> words;
    for (std::string_view rest = Trim(needle); !rest.empty(); rest = TrimLeft(rest)) {
        size_t end = 0;
        while (end < rest.size() && !IsWhite(rest[end]))
            ++end;
        words.push_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    if (words.empty() || from < 0) return {};

    for (size_t at = static_cast<size_t>(from); at < text.size(); ++at) {
        at = FindNoCase(text, words[0], at);
        if (at == std::string_view::npos) return {};
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
        if (matched) return {static_cast<long long>(at), static_cast<long long>(pos)};
    }
    return {};
}

long long FindText(std::string_view text, std::string_view needle, long long from) {
    return FindTextMatch(text, needle, from).Start;
}

std::vector<LineSpan> MatchOnLines(const std::vector<std::string>& lines, std::string_view needle,
                                   int occurrence) {
    std::string joined;
    std::vector<size_t> starts;
    for (const std::string& line : lines) {
        starts.push_back(joined.size());
        joined += line;
        joined += '\n';
    }
    TextMatch m;
    for (int n = 0; n <= occurrence; ++n) {
        m = FindTextMatch(joined, needle, m.Start + 1);
        if (m.Start < 0) return {};
    }
    std::vector<LineSpan> spans;
    for (size_t i = 0; i < lines.size(); ++i) {
        long long from = std::max<long long>(m.Start, static_cast<long long>(starts[i]));
        long long to =
            std::min<long long>(m.End, static_cast<long long>(starts[i] + lines[i].size()));
        // The blanks at a line's ends belong to no word.
        while (from < to && IsWhite(joined[static_cast<size_t>(from)]))
            ++from;
        while (from < to && IsWhite(joined[static_cast<size_t>(to - 1)]))
            --to;
        if (from < to)
            spans.push_back({static_cast<int>(i), static_cast<int>(from - starts[i]),
                             static_cast<int>(to - from)});
    }
    return spans;
}

}  // namespace lectorix
