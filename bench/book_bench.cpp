// Opening a long book (trailer, contents, chapter pages) and writing it from its raw text.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "book/book_trailer.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"

namespace lectorix {
namespace {

// The long novel of the shared test texts, or LECTORIX_BENCH_NOVEL.
const std::string& NovelText() {
    static const std::string text = [] {
        const char* env = std::getenv("LECTORIX_BENCH_NOVEL");
        const std::string path = env ? env : std::string(LECTORIX_BENCH_NOVEL_DEFAULT);
        return std::filesystem::exists(path) ? LoadTextFile(path) : std::string();
    }();
    return text;
}

const std::string& NovelBook() {
    static const std::string book = [] {
        std::string b = BuildBookStructure(NovelText(), BookHeader{});
        ComputeBookLineCounts(b);
        return b;
    }();
    return book;
}

void BM_OpenBook(benchmark::State& state) {
    if (NovelText().empty()) return state.SkipWithError("the novel is not there");
    NovelBook();  // written once, outside the timing
    for (auto _ : state) {
        std::string text = NovelBook();
        BookContents book;
        ParseBookTrailer(text, book);
        benchmark::DoNotOptimize(ComputeChapterPages(book, 22, 25));
    }
    state.SetLabel(std::to_string(NovelBook().size() / 1024) + " KiB book");
}
BENCHMARK(BM_OpenBook)->Unit(benchmark::kMillisecond);

void BM_FormatBook(benchmark::State& state) {
    if (NovelText().empty()) return state.SkipWithError("the novel is not there");
    for (auto _ : state) {
        std::string b = BuildBookStructure(NovelText(), BookHeader{});
        ComputeBookLineCounts(b);
        benchmark::DoNotOptimize(b.data());
    }
}
BENCHMARK(BM_FormatBook)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lectorix
