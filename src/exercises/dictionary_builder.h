// A dictionary for the word exercise from texts: the frequency variant with the checks a real
// dictionary needs (what `lectorix-tool dict build` writes, the built-in dictionary included).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace lectorix {

struct DictionaryBuildOptions {
    size_t MinCount = 1;  // a word stays when the texts hold it at least this often
    // When given, only the words (lower case) the list holds as they stand.
    std::optional<std::unordered_set<std::string>> KeepWords;
    size_t MaxLength = 0;   // longer words are left out; 0: no limit
    bool Alphabet = false;  // the words of one letter are the 33 letters, А to Я
};

// The words of the texts (TextWords of each) that occur at least `minCount` times in all of
// them together, each once, in Russian order.
std::vector<std::string> FrequentWords(const std::vector<std::string>& texts, size_t minCount);

// The same by the procedure as first written: the words of all texts sorted with their
// repeats, then the runs of repeats counted ("Double").
std::vector<std::string> FrequentWordsStepByStep(const std::vector<std::string>& texts,
                                                 size_t minCount);

// The dictionary's lines of `words` (lower case, distinct, sorted): only words of Russian
// letters, and of two letters or more only those with a vowel; upper case; grouped by length
// with a closing header; indexed. Throws UserError when no word is left or a length up to the
// longest has none (the exercise could not draw from it).
std::vector<std::string> DictionaryFromWords(const std::vector<std::string>& words,
                                             const DictionaryBuildOptions& options);

// FrequentWords, then DictionaryFromWords.
std::vector<std::string> BuildDictionary(const std::vector<std::string>& texts,
                                         const DictionaryBuildOptions& options);

// The words of a list file's text: each line up to a "/" (so a hunspell .dic serves as it
// stands), trimmed.
std::unordered_set<std::string> ReadWordList(const std::string& text);

}  // namespace lectorix
