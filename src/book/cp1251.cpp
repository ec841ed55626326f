#include "book/cp1251.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#define LECTORIX_SIXTEEN_AT_ONCE 1
#endif

namespace lectorix {
namespace {

// Code points of 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr char16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

struct Tables {
    // Reverse map for the Basic Multilingual Plane; 0 marks "no code" (U+0000 is handled apart).
    std::array<unsigned char, 0x10000> fromUnicode{};

    Tables() {
        for (int c = 1; c < 0x80; ++c)
            fromUnicode[c] = static_cast<unsigned char>(c);
        for (int c = 0x80; c < 0x100; ++c) {
            const char32_t cp = Cp1251ToUnicode(static_cast<unsigned char>(c));
            if (cp != 0xFFFD) fromUnicode[cp] = static_cast<unsigned char>(c);
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

char32_t Cp1251ToUnicode(unsigned char c) {
    if (c < 0x80) return c;
    if (c >= 0xC0) return 0x0410 + (c - 0xC0);
    return kHighHalf[c - 0x80];
}

int UnicodeToCp1251(char32_t cp) {
    if (cp == 0) return 0;
    if (cp >= 0x10000) return -1;
    const unsigned char b = GetTables().fromUnicode[cp];
    return b == 0 ? -1 : b;
}

namespace {

// Length of the UTF-8 sequence at `p` (with `left` bytes available) and its code point, or 0
// when the sequence is malformed.
inline int DecodeUtf8(const unsigned char* p, size_t left, char32_t& cp) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 < 0xC2) return 0;
    if (b0 < 0xE0) {
        if (left < 2 || (p[1] & 0xC0) != 0x80) return 0;
        cp = (char32_t(b0 & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (b0 < 0xF0) {
        if (left < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return 0;
        cp = (char32_t(b0 & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
        return 3;
    }
    if (b0 < 0xF5) {
        if (left < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80)
            return 0;
        cp = (char32_t(b0 & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
             (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
        if (cp < 0x10000 || cp > 0x10FFFF) return 0;
        return 4;
    }
    return 0;
}

// Index of the first byte >= 0x80 at or after `i`, eight bytes at a time.
inline size_t SkipAscii(const unsigned char* p, size_t i, size_t n) {
    while (i + 8 <= n) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL) break;
        i += 8;
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    for (;;) {
        i = SkipAscii(p, i, n);
        if (i >= n) return true;
        char32_t cp;
        const int len = DecodeUtf8(p + i, n - i, cp);
        if (len == 0) return false;
        i += static_cast<size_t>(len);
    }
}

bool TryUtf8ToCp1251(std::string_view utf8, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    const auto& fromUnicode = GetTables().fromUnicode;
    out.resize(n);
    char* o = out.data();
    size_t i = 0;
    while (i < n) {
        const size_t ascii = SkipAscii(p, i, n);
        if (ascii > i) {
            std::memcpy(o, p + i, ascii - i);
            o += ascii - i;
            i = ascii;
            if (i >= n) break;
        }
        char32_t cp;
        const int len = DecodeUtf8(p + i, n - i, cp);
        if (len == 0) return false;
        const unsigned char b = cp < 0x10000 ? fromUnicode[cp] : 0;
        *o++ = b == 0 ? '?' : static_cast<char>(b);
        i += static_cast<size_t>(len);
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return true;
}

namespace {

// Writes the UTF-8 form of `cp` so that it ends just before `end`; returns its start.
unsigned char* PutUtf8Before(unsigned char* end, char32_t cp) {
    if (cp < 0x80) {
        *--end = static_cast<unsigned char>(cp);
    } else if (cp < 0x800) {
        *--end = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        *--end = static_cast<unsigned char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        *--end = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        *--end = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        *--end = static_cast<unsigned char>(0xE0 | (cp >> 12));
    } else {
        *--end = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        *--end = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        *--end = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        *--end = static_cast<unsigned char>(0xF0 | (cp >> 18));
    }
    return end;
}

}  // namespace

namespace {

// One stretch of a buffer converted in its own bytes: the input [begin, end) becomes the output
// [begin, out). Characters that became '?' are noted, so that bytes found not to be UTF-8 after
// all can be put back exactly as they were.
struct InPlaceRange {
    size_t begin = 0, end = 0, out = 0;
    size_t changed = 0;  // the first byte past the ASCII the stretch starts with
    std::vector<std::pair<size_t, char32_t>> replaced;
};

// Rebuilds the input bytes before `upTo` from the output, back to front: a CP1251 byte never
// takes more room than its UTF-8 sequence, so the output always trails the input.
void RestoreRange(unsigned char* p, const InPlaceRange& r, size_t upTo) {
    unsigned char* end = p + upTo;
    auto note = r.replaced.rbegin();
    for (size_t j = r.out; j-- > r.changed;) {
        char32_t c = Cp1251ToUnicode(p[j]);
        if (note != r.replaced.rend() && note->first == j) c = (note++)->second;
        end = PutUtf8Before(end, c);
    }
}

#ifdef LECTORIX_SIXTEEN_AT_ONCE

// For each set of kept bytes among eight, their positions in order: the byte shuffle that packs
// them to the front.
constexpr auto kPackEight = [] {
    std::array<std::uint64_t, 256> table{};
    for (unsigned keep = 0; keep < 256; ++keep) {
        std::uint64_t order = 0;
        unsigned made = 0;
        for (unsigned k = 0; k < 8; ++k)
            if (keep & (1u << k)) order |= static_cast<std::uint64_t>(k) << (8 * made++);
        for (; made < 8; ++made)
            order |= std::uint64_t{0x80} << (8 * made);  // a zero byte
        table[keep] = order;
    }
    return table;
}();

// Converts the sixteen bytes at `i` (fifteen when the last one starts a character) when they
// hold only ASCII and well-formed two-byte characters that CP1251 has, writing them at `o`;
// returns false, changing nothing, for anything else. Russian text is ASCII and two-byte
// letters; a character at a time, each one waits for the one before it to say where it starts.
__attribute__((target("ssse3"))) bool ConvertSixteen(
    unsigned char* p, size_t& i, size_t& o, const std::array<unsigned char, 0x10000>& fromUnicode) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (high == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + o), v);
        i += 16;
        o += 16;
        return true;
    }
    // As signed bytes: 80..BF continue a character, C2..DF start a two-byte one.
    const __m128i cont = _mm_cmplt_epi8(v, _mm_set1_epi8(-64));
    const __m128i lead =
        _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-63)), _mm_cmplt_epi8(v, _mm_set1_epi8(-32)));
    const unsigned contMask = static_cast<unsigned>(_mm_movemask_epi8(cont));
    const unsigned leadMask = static_cast<unsigned>(_mm_movemask_epi8(lead));
    // Nothing else above ASCII, every lead followed by a continuation and every continuation
    // led; a lead in the last byte is left for the next block.
    if ((contMask | leadMask) != high || contMask != ((leadMask << 1) & 0xFFFF)) return false;
    const unsigned leadLast = leadMask >> 15;

    // А..я: D0 90..BF and D1 80..8F become C0..FF by adding 30 or 70 to the second byte.
    const __m128i next = _mm_srli_si128(v, 1);
    const __m128i d0 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xD0)));
    const __m128i d1 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xD1)));
    const __m128i nextFrom90 = _mm_cmpgt_epi8(next, _mm_set1_epi8(static_cast<char>(0x8F)));
    const __m128i letters =
        _mm_or_si128(_mm_and_si128(d0, nextFrom90), _mm_andnot_si128(nextFrom90, d1));
    const __m128i shiftBy = _mm_or_si128(_mm_and_si128(d0, _mm_set1_epi8(0x30)),
                                         _mm_and_si128(d1, _mm_set1_epi8(0x70)));
    __m128i out = _mm_or_si128(_mm_andnot_si128(lead, v),
                               _mm_and_si128(letters, _mm_add_epi8(next, shiftBy)));
    // Other two-byte characters (Ё, ё, « », the no-break space...) through the table.
    unsigned others =
        leadMask & ~static_cast<unsigned>(_mm_movemask_epi8(letters)) & (0xFFFFu >> leadLast);
    if (others != 0) {
        alignas(16) unsigned char bytes[16];
        alignas(16) unsigned char made[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes), v);
        _mm_store_si128(reinterpret_cast<__m128i*>(made), out);
        for (; others != 0; others &= others - 1) {
            const int k = std::countr_zero(others);
            const unsigned cp = ((bytes[k] & 0x1Fu) << 6) | (bytes[k + 1] & 0x3Fu);
            if (fromUnicode[cp] == 0) return false;  // becomes '?', which the long way notes
            made[k] = fromUnicode[cp];
        }
        out = _mm_load_si128(reinterpret_cast<const __m128i*>(made));
    }
    // Continuations dropped: each half packed by a shuffle, then stored where the output stands.
    const unsigned keep = ~contMask & (0xFFFFu >> leadLast);
    const unsigned keepLow = keep & 0xFF, keepHigh = keep >> 8;
    const __m128i low =
        _mm_shuffle_epi8(out, _mm_cvtsi64_si128(static_cast<long long>(kPackEight[keepLow])));
    const __m128i highHalf = _mm_shuffle_epi8(
        _mm_srli_si128(out, 8), _mm_cvtsi64_si128(static_cast<long long>(kPackEight[keepHigh])));
    const size_t madeLow = static_cast<size_t>(std::popcount(keepLow));
    const size_t madeHigh = static_cast<size_t>(std::popcount(keepHigh));
    const size_t used = 16 - leadLast;
    // The output never passes the input, so eight bytes stored touch only bytes already read,
    // unless nothing has shrunk yet and the lead left over would be written over.
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + o), low);
    if (o + madeLow + 8 <= i + used) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + o + madeLow), highHalf);
    } else {
        alignas(16) unsigned char rest[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(rest), highHalf);
        std::memcpy(p + o + madeLow, rest, madeHigh);
    }
    i += used;
    o += madeLow + madeHigh;
    return true;
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

#endif

// Converts one stretch; when it is not well-formed, puts its bytes back and returns false.
bool ConvertRange(unsigned char* p, InPlaceRange& r) {
    const auto& fromUnicode = GetTables().fromUnicode;
    const size_t n = r.end;
    size_t i = SkipAscii(p, r.begin, n);
    r.changed = i;
    size_t o = i;
#ifdef LECTORIX_SIXTEEN_AT_ONCE
    const bool sixteen = HasSsse3();
#endif
    while (i < n) {
#ifdef LECTORIX_SIXTEEN_AT_ONCE
        if (sixteen && i + 16 <= n && ConvertSixteen(p, i, o, fromUnicode)) continue;
#endif
        // ASCII and two-byte sequences (Cyrillic, most of what CP1251 holds) without a branch
        // between them: Russian text changes from one to the other at every blank.
        if (i + 1 < n) {
            const unsigned b0 = p[i], b1 = p[i + 1];
            const bool ascii = b0 < 0x80;
            const bool two = b0 - 0xC2u < 0x1Eu && (b1 & 0xC0) == 0x80;
            if (ascii || two) {
                const unsigned cp = ((b0 & 0x1F) << 6) | (b1 & 0x3F);
                unsigned char b = ascii ? static_cast<unsigned char>(b0) : fromUnicode[cp];
                if (b == 0 && !ascii) {
                    r.replaced.emplace_back(o, cp);
                    b = '?';
                }
                p[o++] = b;
                i += 1 + static_cast<size_t>(two);
                continue;
            }
        }
        char32_t cp = 0;
        const int len = DecodeUtf8(p + i, n - i, cp);
        if (len == 0) {
            r.out = o;
            RestoreRange(p, r, i);
            return false;
        }
        const unsigned char b = cp < 0x10000 ? fromUnicode[cp] : 0;
        if (b == 0 && cp != 0) r.replaced.emplace_back(o, cp);
        p[o++] = b == 0 && cp != 0 ? '?' : b;
        i += static_cast<size_t>(len);
    }
    r.out = o;
    return true;
}

}  // namespace

bool Utf8ToCp1251InPlace(std::string& text, size_t splitAtLeast) {
    auto* p = reinterpret_cast<unsigned char*>(text.data());
    const size_t n = text.size();
    const size_t first = SkipAscii(p, 0, n);
    if (first >= n) return false;
    // A large text is converted in two halves side by side, split at the start of a character
    // (a byte that continues none), then the second half's output is moved up to the first's.
    size_t mid = first + (n - first) / 2;
    while (mid < n && (p[mid] & 0xC0) == 0x80)
        ++mid;
    if (n - first < splitAtLeast || mid >= n) {
        InPlaceRange whole{first, n, first, first, {}};
        if (!ConvertRange(p, whole)) return false;
        text.resize(whole.out);
        return true;
    }
    InPlaceRange head{first, mid, first, first, {}}, tail{mid, n, mid, mid, {}};
    bool headDone = false;
    std::thread helper([&] { headDone = ConvertRange(p, head); });
    const bool tailDone = ConvertRange(p, tail);
    helper.join();
    if (!headDone || !tailDone) {
        // Not UTF-8 after all: the half that was converted is put back too.
        if (headDone) RestoreRange(p, head, head.end);
        if (tailDone) RestoreRange(p, tail, tail.end);
        return false;
    }
    std::memmove(p + head.out, p + tail.begin, tail.out - tail.begin);
    text.resize(head.out + (tail.out - tail.begin));
    return true;
}

std::string Utf8ToCp1251(std::string_view utf8) {
    std::string out;
    if (TryUtf8ToCp1251(utf8, out)) return out;
    // Not well-formed: convert what is, a '?' for every byte that is not.
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        const int len = DecodeUtf8(p + i, utf8.size() - i, cp);
        if (len == 0) {
            out.push_back('?');
            ++i;
            continue;
        }
        const int b = UnicodeToCp1251(cp);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
        i += static_cast<size_t>(len);
    }
    return out;
}

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
            continue;
        }
        const char32_t cp = Cp1251ToUnicode(c);
        if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace lectorix
