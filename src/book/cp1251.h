// Code page 1251 helpers: the opened text is a byte string in this code page.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace lectorix {

namespace detail {
struct CaseTables {
    unsigned char lower[256];
    bool hasCase[256];  // a letter of either case
};
constexpr CaseTables MakeCaseTables() {
    CaseTables t{};
    for (int i = 0; i < 256; ++i)
        t.lower[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; ++c)
        t.lower[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDF; ++c)
        t.lower[c] = static_cast<unsigned char>(c + 32);
    // Upper/lower pairs among 0x80..0xBF.
    constexpr unsigned char pairs[][2] = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                          {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                          {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
                                          {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
    for (const auto& p : pairs)
        t.lower[p[0]] = p[1];
    for (int i = 0; i < 256; ++i) {
        if (t.lower[i] != i) t.hasCase[i] = t.hasCase[t.lower[i]] = true;
    }
    return t;
}
inline constexpr CaseTables kCase = MakeCaseTables();
}  // namespace detail

// Lower case of a CP1251 byte: ASCII, the Cyrillic letters of the code page (Ё/ё included);
// every other byte is returned unchanged.
inline char Cp1251Lower(char c) {
    return static_cast<char>(detail::kCase.lower[static_cast<unsigned char>(c)]);
}

inline bool Cp1251EqualNoCase(char a, char b) {
    return Cp1251Lower(a) == Cp1251Lower(b);
}

// True for a letter that has another case.
inline bool Cp1251HasCase(char c) {
    return detail::kCase.hasCase[static_cast<unsigned char>(c)];
}

// Unicode code point of a CP1251 byte; 0x98 has none and gives U+FFFD.
char32_t Cp1251ToUnicode(unsigned char c);

// CP1251 byte of a code point, or -1 where the code page has none.
int UnicodeToCp1251(char32_t cp);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Converts well-formed UTF-8 to CP1251; a character without a CP1251 code becomes '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// The same in one pass with the check: false, and `out` undefined, when `utf8` is not
// well-formed.
bool TryUtf8ToCp1251(std::string_view utf8, std::string& out);

// Converts `text` to CP1251 in its own bytes when it is well-formed UTF-8 holding a byte of 0x80
// or above, and returns true; leaves it as it is otherwise. A text of `splitAtLeast` bytes or
// more is converted on two threads.
inline constexpr size_t kSplitConversionAt = size_t{8} << 20;
bool Utf8ToCp1251InPlace(std::string& text, size_t splitAtLeast = kSplitConversionAt);

// Converts CP1251 to UTF-8 for printing and drawing.
std::string Cp1251ToUtf8(std::string_view text);

}  // namespace lectorix
