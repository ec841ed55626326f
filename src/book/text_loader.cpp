#include "book/text_loader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
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
    // A table and four independent sums: a large text costs a fraction of its decoding here.
    static constexpr auto kControl = [] {
        std::array<unsigned char, 256> t{};
        for (int c = 0; c < 0x20; ++c)
            t[static_cast<size_t>(c)] = !(c >= '\t' && c <= '\r') && c != 0x1A;
        t[0x7F] = 1;
        return t;
    }();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t sums[4] = {};
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        sums[0] += kControl[p[i]];
        sums[1] += kControl[p[i + 1]];
        sums[2] += kControl[p[i + 2]];
        sums[3] += kControl[p[i + 3]];
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

std::string DecodeText(std::string bytes) {
    if (IsRtf(bytes)) return RtfToText(bytes);
    // A byte-order mark goes whatever follows it.
    if (std::string_view(bytes).starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    Utf8ToCp1251InPlace(bytes);
    return NormalizeLineEnds(std::move(bytes));
}

std::string ReadFileBytes(const std::string& path) {
    auto fail = [&](int err) -> UserError {
        return UserError("Не удалось прочитать файл \"" + path + "\": " + DescribeFileError(err));
    };
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) throw fail(errno);
    struct stat info {};
    if (fstat(fileno(f.get()), &info) == 0 && S_ISDIR(info.st_mode)) throw fail(EISDIR);
    std::string data;
    // Room for the CR a text with LF ends gains per line, so that the line ends are mended in
    // place; pages of it that stay unused cost no memory.
    if (info.st_size > 0)
        data.reserve(static_cast<size_t>(info.st_size) + static_cast<size_t>(info.st_size) / 8 +
                     16);
    char buffer[1 << 16];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, f.get());
        data.append(buffer, got);
        if (got < sizeof buffer) {
            if (std::ferror(f.get())) throw fail(errno ? errno : EIO);
            break;
        }
    }
    return data;
}

std::string LoadTextFile(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    if (IsBinaryData(bytes))
        throw NotTextError("Не удалось открыть файл \"" + path + "\": не текстовый файл");
    return DecodeText(std::move(bytes));
}

}  // namespace lectorix
