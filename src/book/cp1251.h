// Code page 1251 helpers: the opened text is a byte string in this code page.
#pragma once

#include <string>
#include <string_view>

namespace lectorix {

// Lower case of a CP1251 byte: ASCII, the Cyrillic letters of the code page (Ё/ё included);
// every other byte is returned unchanged.
char Cp1251Lower(char c);

inline bool Cp1251EqualNoCase(char a, char b) {
    return Cp1251Lower(a) == Cp1251Lower(b);
}

// Unicode code point of a CP1251 byte; 0x98 has none and gives U+FFFD.
char32_t Cp1251ToUnicode(unsigned char c);

// CP1251 byte of a code point, or -1 where the code page has none.
int UnicodeToCp1251(char32_t cp);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Converts well-formed UTF-8 to CP1251; a character without a CP1251 code becomes '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// Converts CP1251 to UTF-8 for printing and drawing.
std::string Cp1251ToUtf8(std::string_view text);

}  // namespace lectorix
