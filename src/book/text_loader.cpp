#include "book/text_loader.h"

#include <algorithm>
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

std::string NormalizeLineEnds(std::string text) {
    const size_t n = text.size();
    const char* p = text.data();
    // Most files are already consistent; find out before building a copy.
    size_t extra = 0;
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\n', p + n - q))); ++q)
        extra += q == p || q[-1] != '\r';
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\r', p + n - q))); ++q)
        extra += q + 1 == p + n || q[1] != '\n';
    if (extra == 0) return text;

    std::string out;
    out.resize(n + extra);
    char* o = out.data();
    size_t i = 0;
    while (i < n) {
        // Copy up to the next line break in one go.
        size_t k = i;
        while (k < n && text[k] != '\r' && text[k] != '\n')
            ++k;
        std::memcpy(o, p + i, k - i);
        o += k - i;
        if (k >= n) break;
        *o++ = '\r';
        *o++ = '\n';
        i = (text[k] == '\r' && k + 1 < n && text[k + 1] == '\n') ? k + 2 : k + 1;
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::string DecodeText(std::string bytes) {
    if (IsRtf(bytes)) return RtfToText(bytes);
    std::string_view body = bytes;
    const bool bom = body.starts_with("\xEF\xBB\xBF");
    if (bom) body.remove_prefix(3);
    const bool high = std::any_of(body.begin(), body.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    std::string converted;
    if (high && TryUtf8ToCp1251(body, converted)) {
        bytes.swap(converted);
    } else if (bom) {
        // A byte-order mark in front of pure ASCII: the text is still UTF-8, keep it without.
        bytes.erase(0, 3);
    }
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
    if (info.st_size > 0) data.reserve(static_cast<size_t>(info.st_size));
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
    return DecodeText(ReadFileBytes(path));
}

}  // namespace lectorix
