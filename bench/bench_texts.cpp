#include "bench_texts.h"

#include <cstdlib>

#include "book/text_loader.h"

namespace lectorix::bench {

size_t BookSize() {
    static const size_t size = [] {
        const char* env = std::getenv("LECTORIX_BENCH_SIZE");
        const long long bytes = env != nullptr ? std::atoll(env) : 0;
        return bytes > 0 ? static_cast<size_t>(bytes) : size_t{20} << 20;
    }();
    return size;
}

const std::string& SampleUtf8() {
    static const std::string sample = [] {
        const char* path = std::getenv("LECTORIX_BENCH_TEXT");
        std::string bytes = ReadFileBytes(path != nullptr ? path : LECTORIX_BENCH_SAMPLE);
        // A blank line between the copies keeps every copy's first line a paragraph start.
        bytes += "\n\n";
        return bytes;
    }();
    return sample;
}

std::string RepeatToSize(std::string_view piece, size_t size) {
    std::string text;
    text.reserve(size + piece.size());
    while (text.size() < size)
        text += piece;
    const size_t cut = text.rfind('\n', size - 1);
    text.resize(cut == std::string::npos ? size : cut + 1);
    return text;
}

const std::string& BookCp1251() {
    static const std::string book = RepeatToSize(DecodeText(SampleUtf8()), BookSize());
    return book;
}

}  // namespace lectorix::bench
