// Letter case and Russian alphabetical order of CP1251 words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

// Upper case of a CP1251 byte: ASCII and the Cyrillic letters of the code page, Ё included.
char Cp1251Upper(char c);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

// Alphabetical order, letter case ignored: other characters by their code, then digits, Latin
// letters, the Russian alphabet with Ё after Е (its byte 0xA8 would put it before А), and the
// other Cyrillic letters of the code page. Strings equal but for case keep a fixed order (capital
// first), so sorting gives the same result whatever the input order.
bool RussianLess(std::string_view a, std::string_view b);

// Sorts lines in that order.
void SortRussian(std::vector<std::string>& lines);

}  // namespace lectorix
