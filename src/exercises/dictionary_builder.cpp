#include "exercises/dictionary_builder.h"

#include <algorithm>
#include <unordered_map>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/dictionary_tools.h"
#include "exercises/russian_order.h"

namespace lectorix {
namespace {

constexpr char kYo = '\xB8';  // ё

bool IsRussianLetter(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c >= 0xC0 || c == 0xA8 || c == 0xB8;
}

bool HasVowel(std::string_view word) {
    // а е и о у ы э ю я and ё, lower case
    return std::any_of(word.begin(), word.end(), [](char c) {
        return std::string_view("\xE0\xE5\xE8\xEE\xF3\xFB\xFD\xFE\xFF").find(c) !=
                   std::string_view::npos ||
               c == kYo;
    });
}

std::vector<std::string> Alphabet() {
    std::vector<std::string> letters;
    for (int c = 0xC0; c <= 0xDF; ++c) {
        letters.emplace_back(1, static_cast<char>(c));
        if (c == 0xC5) letters.emplace_back(1, '\xA8');  // Ё after Е
    }
    return letters;
}

}  // namespace

std::vector<std::string> FrequentWords(const std::vector<std::string>& texts, size_t minCount) {
    std::unordered_map<std::string, size_t> counts;
    for (const std::string& text : texts)
        for (std::string& w : TextWords(text))
            ++counts[std::move(w)];
    std::vector<std::string> words;
    for (auto& [w, n] : counts)
        if (n >= minCount) words.push_back(w);
    SortRussian(words);
    return words;
}

std::vector<std::string> FrequentWordsStepByStep(const std::vector<std::string>& texts,
                                                 size_t minCount) {
    std::vector<std::string> all;
    for (const std::string& text : texts)
        for (std::string& w : literal::TextWords(text))
            all.push_back(std::move(w));
    if (all.empty()) return all;
    SortRussian(all);
    return FilterDoubles(all, minCount);
}

std::vector<std::string> DictionaryFromWords(const std::vector<std::string>& words,
                                             const DictionaryBuildOptions& options) {
    std::vector<std::string> kept;
    for (const std::string& w : words) {
        if (w.empty() || !std::all_of(w.begin(), w.end(), IsRussianLetter)) continue;
        if (w.size() >= 2 && !HasVowel(w)) continue;
        if (options.MaxLength > 0 && w.size() > options.MaxLength) continue;
        if (options.Alphabet && w.size() == 1) continue;
        if (options.KeepWords && !options.KeepWords->contains(w)) continue;
        kept.push_back(UpperCase(w));
    }
    if (options.Alphabet)
        for (std::string& letter : Alphabet())
            kept.push_back(std::move(letter));
    if (kept.empty()) throw UserError("в словаре не осталось ни одного слова");
    SortRussian(kept);
    const size_t longest = MaxLineLength(kept);
    std::vector<size_t> perLength(longest + 1);
    for (const std::string& w : kept)
        ++perLength[w.size()];
    for (size_t n = 1; n <= longest; ++n)
        if (perLength[n] == 0)
            throw UserError("нет ни одного слова длины " + std::to_string(n) +
                            ", а слова длиннее есть: из пустого раздела упражнение слово не "
                            "выберет");
    return SetPos(GroupByLength(kept, longest + 1));
}

std::vector<std::string> BuildDictionary(const std::vector<std::string>& texts,
                                         const DictionaryBuildOptions& options) {
    return DictionaryFromWords(FrequentWords(texts, options.MinCount), options);
}

std::unordered_set<std::string> ReadWordList(const std::string& text) {
    std::unordered_set<std::string> words;
    for (const std::string& line : SplitLines(text))
        words.emplace(Trim(std::string_view(line).substr(0, line.find('/'))));
    return words;
}

}  // namespace lectorix
