#include "exercises/dictionary_tools.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/russian_order.h"
#include "exercises/word_dictionary.h"

namespace lectorix {
namespace {

constexpr std::string_view kPunctuation = ",.!\":;?()-_\t/";
constexpr char kRegistered = '\xAE', kHardSign = '\xFA';

std::string Trimmed(std::string_view s) {
    return std::string(Trim(s));
}

// A table of the bytes of `chars`, in both letter cases when `anyCase`.
std::array<bool, 256> CharTable(std::string_view chars, bool anyCase) {
    std::array<bool, 256> t{};
    for (const char c : chars)
        t[static_cast<unsigned char>(c)] = true;
    if (anyCase)
        for (int c = 0; c < 256; ++c)
            if (t[static_cast<unsigned char>(Cp1251Lower(static_cast<char>(c)))]) t[c] = true;
    return t;
}

// The byte each character becomes before blanks are collapsed: blank for what counts as one.
std::array<char, 256> BlankMap(std::string_view alsoBlank) {
    std::array<char, 256> m{};
    for (int c = 0; c < 256; ++c)
        m[c] = static_cast<char>(c);
    for (const char c : std::string_view("\r\n\t\xA0"))
        m[static_cast<unsigned char>(c)] = ' ';
    for (const char c : alsoBlank)
        m[static_cast<unsigned char>(c)] = ' ';
    m[static_cast<unsigned char>(kRegistered)] = kHardSign;
    return m;
}

// Maps every character and collapses runs of blanks.
std::string MapAndCollapse(std::string_view s, const std::array<char, 256>& map) {
    std::string out;
    out.reserve(s.size());
    for (const char ch : s) {
        const char c = map[static_cast<unsigned char>(ch)];
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out.push_back(c);
    }
    return out;
}

std::string BlanksToLineBreaks(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 4);
    for (const char c : s) {
        if (c == ' ')
            out += "\r\n";
        else
            out.push_back(c);
    }
    return out;
}

// "Every blank of every line becomes CR LF": the lines of the text that gives.
std::vector<std::string> WordLines(std::string_view s) {
    return SplitLines(BlanksToLineBreaks(s));
}

// The operations that differ between the one-pass and the step-by-step versions; the rest of
// the procedure is the same for both.
struct OnePass {
    static std::string NormalizeBlanks(std::string_view s) {
        static const auto kMap = BlankMap({});
        return MapAndCollapse(s, kMap);
    }

    static std::string StripPunctuation(const std::vector<std::string>& lines) {
        static const auto kMap = BlankMap(kPunctuation);
        std::string out;
        for (const std::string& line : lines) {
            out.push_back(' ');
            out.append(Trim(MapAndCollapse(line, kMap)));
        }
        return out;
    }

    static std::string UniqueWords(std::string_view s);

    static std::string SplitChunkToLines(std::string_view chunk) {
        std::string out;
        out.reserve(chunk.size() + chunk.size() / 4);
        for (size_t i = 0; i < chunk.size(); ++i) {
            if (chunk[i] != ' ') {
                out.push_back(chunk[i]);
                continue;
            }
            out += "\r\n";
            while (i + 1 < chunk.size() && chunk[i + 1] == ' ')
                ++i;
        }
        return out;
    }

    static std::string RemoveChars(std::string_view s, std::string_view chars) {
        const auto gone = CharTable(chars, true);
        std::string out;
        out.reserve(s.size());
        for (const char c : s)
            if (!gone[static_cast<unsigned char>(c)]) out.push_back(c);
        return out;
    }

    static std::vector<std::string> DeleteLinesContaining(std::vector<std::string> lines,
                                                          std::string_view chars) {
        const auto bad = CharTable(chars, false);
        std::erase_if(lines, [&](const std::string& line) {
            return std::any_of(line.begin(), line.end(),
                               [&](char c) { return bad[static_cast<unsigned char>(c)]; });
        });
        return lines;
    }

    static std::vector<std::string> GroupByLength(const std::vector<std::string>& lines,
                                                  size_t max) {
        std::vector<std::vector<const std::string*>> byLength(max + 1);
        for (const std::string& line : lines)
            if (!line.empty() && line.size() <= max) byLength[line.size()].push_back(&line);
        std::vector<std::string> out;
        out.reserve(lines.size() + max);
        for (size_t n = 1; n <= max; ++n) {
            out.push_back(std::string(kWordsLengthHeader) + std::to_string(n) + ">");
            for (const std::string* line : byLength[n])
                out.push_back(*line);
        }
        return out;
    }
};

// The search for " word " over the text, one word at a time, played out on a list of the
// words: a pass for word x takes out every occurrence of x (letter case ignored) whose
// neighbour before it was not taken out in the same pass, since the two would share the blank
// between them. The words taken are found through a list per word, so a pass costs the
// occurrences of its word, and each pass takes at least half of them.
std::string OnePass::UniqueWords(std::string_view s) {
    std::vector<std::string_view> words;
    for (size_t start = 0;;) {
        const size_t blank = s.find(' ', start);
        words.push_back(s.substr(start, blank == s.npos ? s.npos : blank - start));
        if (blank == s.npos) break;
        start = blank + 1;
    }
    const auto n = static_cast<std::int32_t>(words.size());
    std::unordered_map<std::string, std::int32_t> ids;
    std::vector<std::vector<std::int32_t>> occurrences;
    std::vector<std::int32_t> wordId(words.size());
    for (std::int32_t i = 0; i < n; ++i) {
        const auto [it, added] = ids.try_emplace(LowerCase(words[static_cast<size_t>(i)]),
                                                 static_cast<std::int32_t>(occurrences.size()));
        if (added) occurrences.emplace_back();
        occurrences[static_cast<size_t>(it->second)].push_back(i);
        wordId[static_cast<size_t>(i)] = it->second;
    }
    std::vector<std::int32_t> next(words.size()), prev(words.size());
    for (std::int32_t i = 0; i < n; ++i) {
        next[static_cast<size_t>(i)] = i + 1;
        prev[static_cast<size_t>(i)] = i - 1;
    }
    std::int32_t head = 0;
    std::string out;
    out.reserve(s.size() + 1);
    while (head < n) {
        out.push_back(' ');
        out.append(words[static_cast<size_t>(head)]);
        auto& left = occurrences[static_cast<size_t>(wordId[static_cast<size_t>(head)])];
        size_t kept = 0;
        std::int32_t afterTaken = -1;
        for (const std::int32_t w : left) {
            if (w == afterTaken) {
                left[kept++] = w;
                continue;
            }
            const std::int32_t p = prev[static_cast<size_t>(w)], q = next[static_cast<size_t>(w)];
            afterTaken = q;
            if (p >= 0)
                next[static_cast<size_t>(p)] = q;
            else
                head = q;
            if (q < n) prev[static_cast<size_t>(q)] = p;
        }
        left.resize(kept);
    }
    return Trimmed(out);
}

// One left-to-right pass replacing every occurrence, letter case ignored, without overlaps.
std::string ReplaceInOnePass(std::string_view s, std::string_view pattern,
                             std::string_view replacement) {
    std::string out;
    size_t from = 0;
    for (size_t at = FindNoCase(s, pattern); at != s.npos; at = FindNoCase(s, pattern, from)) {
        out.append(s.substr(from, at - from));
        out.append(replacement);
        from = at + pattern.size();
    }
    out.append(s.substr(from));
    return out;
}

struct StepByStep {
    static std::string NormalizeBlanks(std::string_view text) {
        std::string s(text);
        for (const char* old : {"\r\n", "\n", "\n\r", "\n", "\r"})
            s = ReplaceAll(std::move(s), old, " ");
        s = ReplaceInOnePass(s, "\xAE", "\xFA");
        for (const char* old : {"\t", "\xA0", "  "})
            s = ReplaceAll(std::move(s), old, " ");
        return s;
    }

    static std::string StripPunctuation(const std::vector<std::string>& lines) {
        std::string out;
        for (std::string line : lines) {
            for (const char c : kPunctuation)
                line = ReplaceAll(std::move(line), std::string_view(&c, 1), " ");
            out += " " + Trimmed(NormalizeBlanks(line));
        }
        return out;
    }

    static std::string UniqueWords(std::string_view text) {
        std::string s = " " + std::string(text) + " ", out;
        while (s.size() >= 2) {
            const std::string w = s.substr(0, s.find(' ', 1) + 1);
            out += " ";
            std::remove_copy(w.begin(), w.end(), std::back_inserter(out), ' ');
            s = ReplaceInOnePass(s, w, " ");
        }
        return Trimmed(out);
    }

    static std::string SplitChunkToLines(std::string_view chunk) {
        return ReplaceInOnePass(ReplaceAll(std::string(chunk), "  ", " "), " ", "\r\n");
    }

    static std::string RemoveChars(std::string_view text, std::string_view chars) {
        std::string s(text);
        for (const char c : chars) {
            std::string out;
            for (size_t at = 0; at < s.size(); at += kChunkLength)
                out += ReplaceInOnePass(std::string_view(s).substr(at, kChunkLength),
                                        std::string_view(&c, 1), "");
            s = std::move(out);
        }
        return s;
    }

    static std::vector<std::string> DeleteLinesContaining(std::vector<std::string> lines,
                                                          std::string_view chars) {
        for (const char c : chars)
            std::erase_if(lines, [c](const std::string& l) { return l.find(c) != l.npos; });
        return lines;
    }

    static std::vector<std::string> GroupByLength(std::vector<std::string> lines, size_t max) {
        std::vector<std::string> out;
        for (size_t n = 1; n <= max; ++n) {
            out.push_back(std::string(kWordsLengthHeader) + std::to_string(n) + ">");
            for (size_t i = 0; i < lines.size();) {
                if (lines[i].size() != n) {
                    ++i;
                    continue;
                }
                out.push_back(std::move(lines[i]));
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        return out;
    }
};

template <typename Way>
std::string CleanTextWith(std::string_view s, bool unique) {
    std::string out;
    bool first = true;
    for (const std::string_view chunk : SplitIntoChunks(s, kChunkLength)) {
        std::string r = LowerCase(Trim(Way::StripPunctuation(SplitLines(chunk))));
        if (unique) r = Way::UniqueWords(r);
        if (!first) out.push_back(' ');
        out += r;
        first = false;
    }
    return Trimmed(out);
}

template <typename Way>
std::string UniqueWordsChunkedWith(std::string_view s, size_t length) {
    std::string out;
    bool first = true;
    for (const std::string_view chunk : SplitIntoChunks(s, length)) {
        if (!first) out.push_back(' ');
        out += Way::UniqueWords(JoinLines(SplitLines(chunk)));
        first = false;
    }
    return Trimmed(out);
}

template <typename Way>
std::string SplitWordsToLinesWith(std::string_view s) {
    std::string out;
    for (const std::string_view chunk : SplitIntoChunks(s, kChunkLength))
        out += Way::SplitChunkToLines(chunk);
    return Trimmed(out);
}

template <typename Way>
std::string ClearStringWith(std::string_view text) {
    std::string s = CleanTextWith<Way>(text, true);
    auto untilStable = [&s](auto step) {
        size_t before;
        do {
            before = s.size();
            s = step(s);
        } while (s.size() != before);
    };
    untilStable([](const std::string& t) { return UniqueWordsChunkedWith<Way>(t, 15000); });
    untilStable([](const std::string& t) { return UniqueWordsChunkedWith<Way>(t, 30000); });
    untilStable([](const std::string& t) { return Trimmed(Way::UniqueWords(t)); });
    return s;
}

// Steps 7 and 8 of both dictionaries: grouped up to the longest length + 1, then indexed.
std::vector<std::string> GroupAndIndex(
    const std::vector<std::string>& words,
    std::vector<std::string> (*group)(const std::vector<std::string>&, size_t)) {
    return SetPos(group(words, MaxLineLength(words) + 1));
}

template <typename Way>
std::vector<std::string> GroupWith(const std::vector<std::string>& lines, size_t max) {
    return Way::GroupByLength(lines, max);
}

template <typename Way>
std::vector<std::string> CreateDictWith(std::string_view text) {
    std::vector<std::string> words =
        WordLines(CleanTextWith<Way>(ClearStringWith<Way>(text), false));
    SortRussian(words);
    // Every distinct word: the frequency filter would find none, the repeats being gone.
    words = FilterDoubles(words, 1);
    words = Way::DeleteLinesContaining(std::move(words), kDigitsAndSymbols);
    words = Way::DeleteLinesContaining(std::move(words), kLatinLetters);
    return GroupAndIndex(words, GroupWith<Way>);
}

template <typename Way>
std::vector<std::string> TextWordsWith(std::string_view text) {
    std::string s = CleanTextWith<Way>(text, false);
    s = Way::RemoveChars(s, kDigitsAndSymbols);
    s = Way::RemoveChars(s, kLatinLetters);
    return WordLines(SplitWordsToLinesWith<Way>(s));
}

}  // namespace

std::string ReplaceAll(std::string s, std::string_view old, std::string_view replacement) {
    return ReplaceEverywhere(std::move(s), old, replacement);
}

std::string NormalizeBlanks(std::string_view s) {
    return OnePass::NormalizeBlanks(s);
}

std::string StripPunctuation(const std::vector<std::string>& lines) {
    return OnePass::StripPunctuation(lines);
}

std::string UniqueWords(std::string_view s) {
    return OnePass::UniqueWords(s);
}

std::vector<std::string_view> SplitIntoChunks(std::string_view s, size_t length) {
    length = std::max<size_t>(length, 1);
    std::vector<std::string_view> chunks;
    for (size_t start = 0; start < s.size();) {
        size_t end = s.size();
        if (s.size() - start > length) {
            const size_t blank = s.find(' ', start + length - 1);
            if (blank != s.npos) end = blank + 1;
        }
        chunks.push_back(s.substr(start, end - start));
        start = end;
    }
    return chunks;
}

std::string CleanText(std::string_view s, bool unique) {
    return CleanTextWith<OnePass>(s, unique);
}

std::string UniqueWordsChunked(std::string_view s, size_t length) {
    return UniqueWordsChunkedWith<OnePass>(s, length);
}

std::string SplitWordsToLines(std::string_view s) {
    return SplitWordsToLinesWith<OnePass>(s);
}

std::string RemoveChars(std::string_view s, std::string_view chars) {
    return OnePass::RemoveChars(s, chars);
}

std::vector<std::string> DeleteLinesContaining(std::vector<std::string> lines,
                                               std::string_view chars) {
    return OnePass::DeleteLinesContaining(std::move(lines), chars);
}

std::vector<std::string> GroupByLength(const std::vector<std::string>& lines, size_t max) {
    return OnePass::GroupByLength(lines, max);
}

std::vector<std::string> GetWords(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines)
        if (!Trim(line).empty()) out.push_back(line.substr(0, line.find_first_of(" (,")));
    return out;
}

std::vector<std::string> FilterDoubles(const std::vector<std::string>& lines, size_t minRun) {
    if (lines.empty()) throw UserError("Текст пуст: в нём нет ни одной строки");
    std::vector<std::string> out;
    for (size_t i = 0; i < lines.size();) {
        size_t j = i + 1;
        while (j < lines.size() && lines[j] == lines[i])
            ++j;
        if (j - i >= minRun) out.push_back(lines[i]);
        i = j;
    }
    return out;
}

std::vector<std::string> KeepListedWords(const std::vector<std::string>& lines,
                                         const std::vector<std::string>& list) {
    const std::unordered_set<std::string_view> listed(list.begin(), list.end());
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        std::string w = LowerCase(line);
        if (listed.contains(w)) out.push_back(std::move(w));
    }
    return out;
}

size_t MaxLineLength(const std::vector<std::string>& lines) {
    size_t longest = 0;
    for (const std::string& line : lines)
        longest = std::max(longest, line.size());
    return longest;
}

std::vector<std::string> SortLen(const std::vector<std::string>& lines) {
    return GroupByLength(lines, 50);
}

std::vector<std::string> SetPos(const std::vector<std::string>& lines) {
    std::vector<std::string> out = lines;
    std::int64_t h = 1, start = 1;
    auto header = [](std::int64_t n) {
        return std::string(kWordsLengthHeader) + std::to_string(n) + ">";
    };
    std::string wanted = header(h);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(wanted) == std::string::npos) continue;
        const auto at = static_cast<std::int64_t>(i);
        if (h > 1)
            out.push_back(header(h - 1) + "|" + std::to_string(start) + "|" +
                          std::to_string(at - 1) + "|");
        start = at + 1;
        wanted = header(++h);
    }
    out.push_back(std::string(kWordsMenu) + "|" + std::to_string(h - 2) + "|");
    return out;
}

std::string ClearString(std::string_view text) {
    return ClearStringWith<OnePass>(text);
}

std::vector<std::string> CreateDict(std::string_view text) {
    return CreateDictWith<OnePass>(text);
}

std::vector<std::string> TextWords(std::string_view text) {
    return TextWordsWith<OnePass>(text);
}

std::vector<std::string> CreateFrequencyDict(std::string_view text, size_t minRun) {
    std::vector<std::string> words = TextWords(text);
    SortRussian(words);
    return GroupAndIndex(FilterDoubles(words, minRun), GroupByLength);
}

namespace literal {

std::string NormalizeBlanks(std::string_view s) {
    return StepByStep::NormalizeBlanks(s);
}
std::string StripPunctuation(const std::vector<std::string>& lines) {
    return StepByStep::StripPunctuation(lines);
}
std::string UniqueWords(std::string_view s) {
    return StepByStep::UniqueWords(s);
}
std::string CleanText(std::string_view s, bool unique) {
    return CleanTextWith<StepByStep>(s, unique);
}
std::string UniqueWordsChunked(std::string_view s, size_t length) {
    return UniqueWordsChunkedWith<StepByStep>(s, length);
}
std::string SplitWordsToLines(std::string_view s) {
    return SplitWordsToLinesWith<StepByStep>(s);
}
std::string RemoveChars(std::string_view s, std::string_view chars) {
    return StepByStep::RemoveChars(s, chars);
}
std::vector<std::string> DeleteLinesContaining(std::vector<std::string> lines,
                                               std::string_view chars) {
    return StepByStep::DeleteLinesContaining(std::move(lines), chars);
}
std::vector<std::string> GroupByLength(const std::vector<std::string>& lines, size_t max) {
    return StepByStep::GroupByLength(lines, max);
}
std::string ClearString(std::string_view text) {
    return ClearStringWith<StepByStep>(text);
}
std::vector<std::string> CreateDict(std::string_view text) {
    return CreateDictWith<StepByStep>(text);
}
std::vector<std::string> TextWords(std::string_view text) {
    return TextWordsWith<StepByStep>(text);
}
std::vector<std::string> CreateFrequencyDict(std::string_view text, size_t minRun) {
    std::vector<std::string> words = TextWords(text);
    SortRussian(words);
    return GroupAndIndex(FilterDoubles(words, minRun), GroupWith<StepByStep>);
}

}  // namespace literal

}  // namespace lectorix
