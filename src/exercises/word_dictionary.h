// The word exercise's dictionary: a CP1251 text of word sections, one for each word length
// ("<WORDSLENGTHn>" and the words of n characters, one a line, in upper case), then one index
// line per length ("<WORDSLENGTHn>|first|last|", line numbers from 0, both inclusive) and the
// menu line "<WORDSMENU>|K|" last.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exercises/random_generator.h"

namespace lectorix {

inline constexpr std::string_view kWordsLengthHeader = "<WORDSLENGTH";
inline constexpr std::string_view kWordsMenu = "<WORDSMENU>";

// Which lines hold the words of each length: element k for the words of k + 1 characters.
struct DictionaryIndex {
    std::int32_t DictLengthCount = 0;
    std::vector<std::int32_t> DictFirstLine;
    std::vector<std::int32_t> DictLastLine;

    bool operator==(const DictionaryIndex&) const = default;
};

struct WordDictionary {
    std::vector<std::string> Lines;  // the dictionary text, line 0 first
    DictionaryIndex Index;
};

// Fills `index` from the lines: the last line containing "<WORDSMENU>" gives the count K in its
// second field, and the K lines right above it give the ranges in order, whatever header text
// they carry (position decides). No menu line, or a count below 1, leaves `index` as it was. A
// field that is no number throws UserError "'…' is not a valid integer value", the entries read
// before it kept; a count larger than the lines above the menu throws UserError before anything
// changes, so no line outside the text is ever read.
void ParseDictionaryIndex(const std::vector<std::string>& lines, DictionaryIndex& index);

// One thing wrong with a dictionary. `Line` is 0-based (-1 when it concerns no one line); the
// text begins with the line as a person counts it ("строка 4009: …").
struct DictionaryProblem {
    std::int64_t Line = -1;
    std::string Text;  // UTF-8
    // The program refuses a dictionary with such a problem: its index cannot be read, or would
    // make the exercise read outside the text or from an empty range. Others (a word of another
    // length inside a section, an index line labelled with another length) only show in
    // `lectorix-tool dict check`.
    bool Refused = true;
};

// Every problem of the dictionary in `lines`, in the order of the lines.
std::vector<DictionaryProblem> CheckDictionary(const std::vector<std::string>& lines);

// Replaces `dict`'s text (not its index) with the program's resource of that type and name, read
// as plain text. The built-in dictionary is ("DICTIONARY", "DICT"). Throws UserError "Resource
// %s not found" for any other, the text unchanged.
void LoadDictionaryResource(WordDictionary& dict, std::string_view resType,
                            std::string_view resName);

// The lines of the dictionary file at `path` as the program reads it: CP1251 or UTF-8 (never
// taken for KOI8-R, which an upper-case CP1251 word list would pass for), any line ends. Throws
// UserError naming the file when it cannot be read or holds no text.
std::vector<std::string> ReadDictionaryFile(const std::string& path);

// Opens the dictionary file at `path` (CP1251 or UTF-8, any line ends) as the one in use: text
// and index. A file that cannot be read, or whose index CheckDictionary refuses, throws
// UserError naming the file (and the line), and `dict` stays as it was.
void OpenDictionaryFile(WordDictionary& dict, const std::string& path);

// The line First + r for a uniform r in 0 .. Last - First, lower-cased (Ё too). A range not
// within the lines gives an empty word, so nothing outside the text is read.
std::string PickWord(const std::vector<std::string>& lines, std::int32_t first, std::int32_t last,
                     RandomGenerator& random);

}  // namespace lectorix
