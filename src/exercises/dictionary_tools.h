// Turning a Russian text, or a list of words, into a dictionary of the word exercise. Texts are
// CP1251 strings; a "blank" is the space character; replacing ignores letter case.
//
// The operations give the results of the step-by-step procedure they were first written as
// (chunks of 15000 characters, every replacement repeated over the whole chunk, repeated words
// removed by one search over the text per word), which is quadratic in the text: each is done
// here in one pass over its input. The step-by-step versions are kept in `literal` to check
// and measure these against.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

// The characters of the two sets that make a word no word.
inline constexpr std::string_view kDigitsAndSymbols = "0123456789|<>\\/[]{}=+*&%@!\"$";
inline constexpr std::string_view kLatinLetters = "zxcvbnmasdfghjklqwertyuiop";

inline constexpr size_t kChunkLength = 15000;

// Replaces `old` (letter case ignored) by `replacement`, repeated while `old` occurs.
std::string ReplaceAll(std::string s, std::string_view old, std::string_view replacement);

// Line breaks, tabs and no-break spaces become blanks, runs of blanks one blank; "®" becomes
// "ъ" (a common misreading of that letter).
std::string NormalizeBlanks(std::string_view s);

// Each line with , . ! " : ; ? ( ) - _ tab and / made blanks, NormalizeBlanks'ed and trimmed;
// the result is a blank and the line, for every line in order.
std::string StripPunctuation(const std::vector<std::string>& lines);

// The blank-separated words of `s`, each once, at its first occurrence, letter case ignored,
// trimmed. Except that a repeat directly after the same word stays: each word is looked for as
// blank, word, blank, and two neighbours share their blank (so of "Мир мир дом" all three stay,
// of "a a a" two).
std::string UniqueWords(std::string_view s);

// Consecutive pieces of `s` covering it: while more than `length` characters remain, a piece
// runs to the first blank at or after its `length`-th character (that blank included), else to
// the end.
std::vector<std::string_view> SplitIntoChunks(std::string_view s, size_t length);

// In chunks of 15000: the lines through StripPunctuation, trimmed, lower-cased and, when
// `unique`, through UniqueWords; joined with blanks and trimmed.
std::string CleanText(std::string_view s, bool unique);

// In chunks of `length`: line ends made CR LF, then UniqueWords; joined with blanks, trimmed.
std::string UniqueWordsChunked(std::string_view s, size_t length);

// In chunks of 15000: runs of blanks made one blank, each blank a line break; trimmed.
std::string SplitWordsToLines(std::string_view s);

// `s` without any of `chars` (letter case ignored).
std::string RemoveChars(std::string_view s, std::string_view chars);

// The lines that hold none of `chars` (letter case counts).
std::vector<std::string> DeleteLinesContaining(std::vector<std::string> lines,
                                               std::string_view chars);

// For n = 1 to `max`: the header "<WORDSLENGTHn>", then the lines of exactly n characters in
// their order. Empty lines and lines longer than `max` are dropped.
std::vector<std::string> GroupByLength(const std::vector<std::string>& lines, size_t max);

// "GetWords": the head word of every line that is not blank: the text before its first blank,
// "(" or "," (empty when the line starts with one).
std::vector<std::string> GetWords(const std::vector<std::string>& lines);

// "Double" on sorted lines: each run of equal lines as one line, kept when the run has at least
// `minRun` lines. Throws UserError for no lines at all.
std::vector<std::string> FilterDoubles(const std::vector<std::string>& lines, size_t minRun = 10);

// "YES": the lines, lower-cased, that are lines of `list`. Every line of the list counts, its
// first and its last one too.
std::vector<std::string> KeepListedWords(const std::vector<std::string>& lines,
                                         const std::vector<std::string>& list);

// "MaxLen": the length of the longest line.
size_t MaxLineLength(const std::vector<std::string>& lines);

// "SortLen": GroupByLength with all fifty headers.
std::vector<std::string> SortLen(const std::vector<std::string>& lines);

// "SetPos": the lines followed by their index: for each header "<WORDSLENGTHh>" found in
// turn (h from 1), an index line for the section before it, then "<WORDSMENU>|K|". A text with
// headers 1 to K + 1 so gets K index lines.
std::vector<std::string> SetPos(const std::vector<std::string>& lines);

// "Clear String": the distinct words of a text, lower case, punctuation gone, in the order of
// the text (direct repeats of a word may stay, see UniqueWords).
std::string ClearString(std::string_view text);

// "CreateDict": the dictionary of every distinct word of the text, lower case, sorted, grouped
// by length (a closing header for the longest length + 1) and indexed. Words with a digit, a
// symbol of kDigitsAndSymbols or a Latin letter are left out.
std::vector<std::string> CreateDict(std::string_view text);

// The words of a text, one a line, as the frequency variant counts them: CleanText, the digits,
// symbols and Latin letters removed from the words, the words split to lines (empty lines where
// the text had empty ones).
std::vector<std::string> TextWords(std::string_view text);

// "Button12", the frequency variant: the dictionary of the words that occur at least `minRun`
// times (TextWords, sorted, FilterDoubles), grouped and indexed as CreateDict does.
std::vector<std::string> CreateFrequencyDict(std::string_view text, size_t minRun = 10);

// The procedure step by step as first written, for the tests and the measurements only.
namespace literal {
std::string NormalizeBlanks(std::string_view s);
std::string StripPunctuation(const std::vector<std::string>& lines);
std::string UniqueWords(std::string_view s);
std::string CleanText(std::string_view s, bool unique);
std::string UniqueWordsChunked(std::string_view s, size_t length);
std::string SplitWordsToLines(std::string_view s);
std::string RemoveChars(std::string_view s, std::string_view chars);
std::vector<std::string> DeleteLinesContaining(std::vector<std::string> lines,
                                               std::string_view chars);
std::vector<std::string> GroupByLength(const std::vector<std::string>& lines, size_t max);
std::string ClearString(std::string_view text);
std::vector<std::string> CreateDict(std::string_view text);
std::vector<std::string> TextWords(std::string_view text);
std::vector<std::string> CreateFrequencyDict(std::string_view text, size_t minRun = 10);
}  // namespace literal

}  // namespace lectorix
