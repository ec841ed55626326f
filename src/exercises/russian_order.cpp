#include "exercises/russian_order.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "book/cp1251.h"

namespace lectorix {
namespace {

constexpr std::array<unsigned char, 256> MakeUpper() {
    std::array<unsigned char, 256> upper{};
    for (int c = 0; c < 256; ++c)
        upper[c] = static_cast<unsigned char>(c);
    for (int c = 0; c < 256; ++c) {
        const unsigned char lower = detail::kCase.lower[c];
        if (lower != c) upper[lower] = static_cast<unsigned char>(c);
    }
    return upper;
}
constexpr auto kUpper = MakeUpper();

// The sort weight of every byte, letter case folded.
constexpr std::array<std::uint16_t, 256> MakeWeights() {
    std::array<std::uint16_t, 256> w{};
    for (int c = 0; c < 256; ++c) {
        const int l = detail::kCase.lower[c];
        if (l >= 0xE0) {
            // а..е, then ё, then ж..я.
            w[c] = static_cast<std::uint16_t>(0x400 + (l - 0xE0) + (l >= 0xE6 ? 1 : 0));
        } else if (l == 0xB8) {
            w[c] = 0x400 + 6;
        } else if (l >= 'a' && l <= 'z') {
            w[c] = static_cast<std::uint16_t>(0x300 + (l - 'a'));
        } else if (l >= '0' && l <= '9') {
            w[c] = static_cast<std::uint16_t>(0x200 + (l - '0'));
        } else if (detail::kCase.hasCase[c]) {
            w[c] = static_cast<std::uint16_t>(0x500 + l);  // і, ї, є, ґ, ў, ђ...
        } else {
            w[c] = static_cast<std::uint16_t>(c);
        }
    }
    return w;
}
constexpr auto kWeight = MakeWeights();

}  // namespace

char Cp1251Upper(char c) {
    return static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
}

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = Cp1251Upper(c);
    return out;
}

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = Cp1251Lower(c);
    return out;
}

bool RussianLess(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto wa = kWeight[static_cast<unsigned char>(a[i])];
        const auto wb = kWeight[static_cast<unsigned char>(b[i])];
        if (wa != wb) return wa < wb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

void SortRussian(std::vector<std::string>& lines) {
    std::sort(lines.begin(), lines.end(),
              [](const std::string& a, const std::string& b) { return RussianLess(a, b); });
}

}  // namespace lectorix
