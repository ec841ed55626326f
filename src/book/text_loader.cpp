#include "book/text_loader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "book/cp1251.h"
#include "book/file_save.h"
#include "book/rtf_text.h"

namespace lectorix {

bool IsBinaryData(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return false;
    if (std::memchr(bytes.data(), 0, bytes.size())) return true;
    // Control bytes are rare in a text: eight bytes at a time are tested for any byte below
    // 0x20 or equal to 0x7F, and only those eight are then counted one by one.
    static constexpr auto kControl = [] {
        std::array<unsigned char, 256> t{};
        for (int c = 0; c < 0x20; ++c)
            t[static_cast<size_t>(c)] = !(c >= '\t' && c <= '\r') && c != 0x1A;
        t[0x7F] = 1;
        return t;
    }();
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t sums[4] = {};
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        const std::uint64_t del = w ^ (kOnes * 0x7F);
        if ((((w - kOnes * 0x20) & ~w) | ((del - kOnes) & ~del)) & kHigh) {
            sums[0] += kControl[p[i]] + kControl[p[i + 4]];
            sums[1] += kControl[p[i + 1]] + kControl[p[i + 5]];
            sums[2] += kControl[p[i + 2]] + kControl[p[i + 6]];
            sums[3] += kControl[p[i + 3]] + kControl[p[i + 7]];
        }
    }
    for (; i < n; ++i)
        sums[0] += kControl[p[i]];
    const size_t control = sums[0] + sums[1] + sums[2] + sums[3];
    return control * 10 > bytes.size();
}

std::string NormalizeLineEnds(std::string text) {
    const size_t n = text.size();
    const char* p = text.data();
    // Most files are already consistent; find out before moving anything.
    size_t extra = 0;
    bool anyCr = false;
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\n', p + n - q))); ++q)
        extra += q == p || q[-1] != '\r';
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\r', p + n - q))); ++q) {
        extra += q + 1 == p + n || q[1] != '\n';
        anyCr = true;
    }
    if (extra == 0) return text;

    // Grow at the end and move the text back to front, each run between breaks in one go.
    text.resize(n + extra);
    char* t = text.data();
    size_t out = n + extra;
    size_t i = n;  // text[0, i) is still to be moved
    while (i > 0) {
        size_t k = i;
        if (anyCr) {
            while (k > 0 && t[k - 1] != '\r' && t[k - 1] != '\n')
                --k;
        } else {
            // LF ends only, the usual case: the library's search is much faster.
            const void* lf = memrchr(t, '\n', k);
            k = lf ? static_cast<size_t>(static_cast<const char*>(lf) - t) + 1 : 0;
        }
        out -= i - k;
        std::memmove(t + out, t + k, i - k);
        if (k == 0) break;
        // t[k - 1] is a break: a CR LF pair, a lone LF or a lone CR, each written as CR LF.
        i = k - 1;
        if (t[i] == '\n' && i > 0 && t[i - 1] == '\r') --i;
        out -= 2;
        t[out] = '\r';
        t[out + 1] = '\n';
    }
    return text;
}

namespace {

// UTF-16 after its byte-order mark, as Windows' editor saves it, into CP1251.
std::string Utf16ToCp1251(std::string_view bytes, bool littleEndian) {
    auto unit = [&](size_t i) -> char32_t {
        const auto lo = static_cast<unsigned char>(bytes[i + (littleEndian ? 0 : 1)]);
        const auto hi = static_cast<unsigned char>(bytes[i + (littleEndian ? 1 : 0)]);
        return static_cast<char32_t>(hi << 8 | lo);
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        const int b = UnicodeToCp1251(c);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

// The upper half of KOI8-R: box drawing, a few signs, then the Cyrillic letters.
constexpr char16_t kKoi8r[128] = {
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C, 0x2534, 0x253C, 0x2580,
    0x2584, 0x2588, 0x258C, 0x2590, 0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219, 0x221A, 0x2248,
    0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7, 0x2550, 0x2551, 0x2552, 0x0451,
    0x2553, 0x2554, 0x2555, 0x2556, 0x2557, 0x2558, 0x2559, 0x255A, 0x255B, 0x255C, 0x255D, 0x255E,
    0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564, 0x2565, 0x2566, 0x2567, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x00A9, 0x044E, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433,
    0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x044F, 0x0440, 0x0441,
    0x0442, 0x0443, 0x0436, 0x0432, 0x044C, 0x044B, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447, 0x044A,
    0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413, 0x0425, 0x0418, 0x0419, 0x041A,
    0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412,
    0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A};

// Russian prose is mostly lower case: its lower-case letters are 0xE0-0xFF in CP1251 and
// 0xC0-0xDF in KOI8-R. The code page whose reading gives more of them wins, CP1251 on a tie.
// KOI8-R puts only box drawing and signs at 0x80-0xBF (but ё and Ё): bytes that are mostly
// there are damaged UTF-8 or something else, and stay as they are.
bool LooksLikeKoi8r(std::string_view bytes) {
    size_t cp1251 = 0, koi8r = 0, signs = 0;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        cp1251 += c >= 0xE0;
        koi8r += c >= 0xC0 && c < 0xE0;
        signs += c >= 0x80 && c < 0xC0 && c != 0xA3 && c != 0xB3;
    }
    return koi8r > cp1251 && signs * 4 < koi8r;
}

void Koi8rToCp1251InPlace(std::string& bytes) {
    static const auto kTable = [] {
        std::array<char, 128> t{};
        for (size_t i = 0; i < 128; ++i) {
            const int b = UnicodeToCp1251(kKoi8r[i]);
            t[i] = b < 0 ? '?' : static_cast<char>(b);
        }
        return t;
    }();
    for (char& ch : bytes)
        if (static_cast<unsigned char>(ch) >= 0x80)
            ch = kTable[static_cast<unsigned char>(ch) - 0x80];
}

}  // namespace

std::string DecodeText(std::string bytes) {
    if (IsRtf(bytes)) return RtfToText(bytes);
    const std::string_view view = bytes;
    if (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF"))
        return NormalizeLineEnds(Utf16ToCp1251(view, view[0] == '\xFF'));
    // A byte-order mark goes whatever follows it.
    if (view.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    if (!Utf8ToCp1251InPlace(bytes) && LooksLikeKoi8r(bytes)) Koi8rToCp1251InPlace(bytes);
    std::string text = NormalizeLineEnds(std::move(bytes));
    // Converted in place, a Russian UTF-8 text keeps the room of its two bytes a letter for the
    // whole time it is read: the novel's 3.5 MB for 1.8 MB of text.
    if (text.capacity() - text.size() > text.size() / 8) text.shrink_to_fit();
    return text;
}

std::string EscapedFileName(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    auto escape = [&](std::string_view bytes) {
        for (const char ch : bytes) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else if (c == '\t') {
                out += "\\t";
            } else {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
        }
    };
    for (size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 0x80) {
            if (c == '\\' || c == '"') {
                out += '\\';
                out += path[i];
            } else if (c < 0x20 || c == 0x7F) {
                escape(path.substr(i, 1));
            } else {
                out += path[i];
            }
            ++i;
            continue;
        }
        // One character of UTF-8, or a byte that starts none.
        const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        const std::string_view one = path.substr(i, len);
        const bool valid = len > 1 && one.size() == len && IsValidUtf8(one);
        const bool lineBreaking =
            valid && (one == "\xE2\x80\xA8" || one == "\xE2\x80\xA9" ||           // U+2028, U+2029
                      (c == 0xC2 && static_cast<unsigned char>(one[1]) < 0xA0));  // C1 controls
        if (valid && !lineBreaking)
            out += one;
        else
            escape(valid ? one : path.substr(i, 1));
        i += valid ? len : 1;
    }
    return out;
}

std::string QuotedFileName(std::string_view path) {
    return '"' + EscapedFileName(path) + '"';
}

namespace {

std::string SizeName(std::uint64_t bytes) {
    return bytes % (std::uint64_t{1} << 30) == 0 ? std::to_string(bytes >> 30) + " ГБ"
           : bytes % (1u << 20) == 0             ? std::to_string(bytes >> 20) + " МБ"
                                                 : std::to_string(bytes) + " байт";
}

const char* NotRegularFile(mode_t mode) {
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "не обычный файл (устройство)";
    if (S_ISFIFO(mode)) return "не обычный файл (канал)";
    if (S_ISSOCK(mode)) return "не обычный файл (сокет)";
    return "не обычный файл";
}

}  // namespace

std::string ReadFileBytes(const std::string& path, std::uint64_t limit) {
    auto fail = [&](int err, const char* reason = nullptr) -> UserError {
        return UserError("Не удалось прочитать файл " + QuotedFileName(path) + ": " +
                         (reason ? std::string(reason) : DescribeFileError(err)));
    };
    // Without O_NONBLOCK a pipe nobody writes to would hold the open for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) throw fail(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) throw fail(errno);
    if (S_ISDIR(info.st_mode)) throw fail(EISDIR);
    // A device such as /dev/zero never ends, a pipe may never answer.
    if (!S_ISREG(info.st_mode)) throw fail(0, NotRegularFile(info.st_mode));
    const std::string tooLarge = "файл больше " + SizeName(limit);
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    if (size > limit) throw fail(0, tooLarge.c_str());
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    std::string data;
    // Room for the CR a text with LF ends gains per line, so that the line ends are mended in
    // place; pages of it that stay unused cost no memory.
    if (size > 0) data.reserve(static_cast<size_t>(size + size / 8 + 16));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw fail(errno);
        }
        // A file that grows while it is read (or tells no size, as /proc's) stops at the limit too.
        if (data.size() + static_cast<size_t>(got) > limit) throw fail(0, tooLarge.c_str());
        data.append(buffer, static_cast<size_t>(got));
    }
    return data;
}

std::string DecodeFileBytes(std::string bytes, std::string_view name, std::string_view where) {
    const auto refuse = [&](const char* why) {
        return NotTextError("Не удалось открыть файл \"" + std::string(name) +
                            "\": " + std::string(where) + why);
    };
    if (IsBinaryData(bytes)) throw refuse("не текстовый файл");
    std::string text = DecodeText(std::move(bytes));
    // Opened, it would only replace the open text with an empty page.
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
        throw refuse("пустой файл");
    return text;
}

std::string LoadTextFile(const std::string& path) {
    return DecodeFileBytes(ReadFileBytes(path), EscapedFileName(path));
}

}  // namespace lectorix
