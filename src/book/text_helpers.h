// Small helpers on CP1251 text shared by the reader, the book writer and the statistics.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

// The 13 characters that are not letters: blank , . ! " : ; ? ( ) - _ and tab.
bool IsLetterSeparator(char c);

// White space as the text model trims it: every character with a code up to 32.
inline bool IsWhite(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Letters in `text`: every character except CR, LF and the 13 separators.
std::int64_t CountLetters(std::string_view text);
std::int64_t CountLetters(const std::vector<std::string>& lines);

// Replaces every occurrence of `pattern` (letter case ignored) and repeats while it still occurs.
std::string ReplaceEverywhere(std::string text, std::string_view pattern,
                              std::string_view replacement);

// Position of `pattern` in `text` at or after `from`, letter case ignored; npos if absent.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from = 0);

// Cuts the first "|"-terminated field off `record` and returns it. Without a "|" the field is
// empty and `record` stays as it is.
std::string CutField(std::string& record);

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
std::int64_t RoundHalfEven(double x);

// The shortest decimal text with "." that reads back as the same double (0.965, 1.234567, 1e-05);
// zero is "0", never "-0".
std::string ShortestDecimal(double x);

// Whether a '+' may stand before the digits of a number.
enum class PlusSign { Refused, Allowed };

// `text` as one whole decimal number, as std::from_chars reads it (an optional '-', digits, and
// for a double a fraction and an exponent), with no blanks around it. Nothing for an empty text,
// anything left over, or a value the type cannot hold.
template <typename Number>
std::optional<Number> ParseWholeNumber(std::string_view text, PlusSign plus = PlusSign::Refused) {
    if (plus == PlusSign::Allowed && text.starts_with('+')) text.remove_prefix(1);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The value of a hexadecimal digit (either case), or -1.
int HexDigit(char c);

std::string_view TrimLeft(std::string_view s);
std::string_view TrimRight(std::string_view s);
std::string_view Trim(std::string_view s);

// Splits at line breaks (CR LF, a lone CR or a lone LF). A break at the very end opens no
// further line; an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// Joins lines with CR LF between them.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace lectorix
