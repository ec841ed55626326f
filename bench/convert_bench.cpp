// Converting FB2 and EPUB books into the book format: LECTORIX_BENCH_FB2 and LECTORIX_BENCH_EPUB
// name the books to time (skipped without them); the large-cover case builds its own FB2.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

#include "book/text_loader.h"
#include "formatter/epub_book.h"
#include "formatter/fb2_book.h"

namespace lectorix {
namespace {

std::string FromEnv(const char* name) {
    const char* path = std::getenv(name);
    return path && std::filesystem::exists(path) ? ReadFileBytes(path) : std::string();
}

void PeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ConvertBook(benchmark::State& state, const char* env, bool epub) {
    const std::string bytes = FromEnv(env);
    if (bytes.empty()) return state.SkipWithError((std::string(env) + " is not set").c_str());
    size_t size = 0;
    for (auto _ : state) {
        const std::string book = epub ? EpubToBook(bytes) : Fb2ToBook(bytes);
        size = book.size();
    }
    PeakMemory(state);
    state.SetLabel(std::to_string(bytes.size() / 1024) + " KiB in, " + std::to_string(size / 1024) +
                   " KiB book");
}
BENCHMARK_CAPTURE(BM_ConvertBook, fb2, "LECTORIX_BENCH_FB2", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertBook, epub, "LECTORIX_BENCH_EPUB", true)->Unit(benchmark::kMillisecond);

// A short FB2 carrying LECTORIX_BENCH_COVER_MB (200 by default) of base64 cover: the cover is
// skipped as it is parsed, so memory stays near the input's own size.
void BM_Fb2WithLargeCover(benchmark::State& state) {
    const char* env = std::getenv("LECTORIX_BENCH_COVER_MB");
    const size_t mb = env ? static_cast<size_t>(std::atoll(env)) : 200;
    std::string fb2 =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><FictionBook><body><section><title><p>A</p>"
        "</title><p>Text.</p></section></body><binary id=\"c\" content-type=\"image/jpeg\">";
    fb2.reserve(fb2.size() + (mb << 20) + 64);
    for (size_t i = 0; i < (mb << 20) / 77; ++i)
        fb2.append(76, 'Q').append(1, '\n');
    fb2 += "</binary></FictionBook>";
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (auto _ : state)
        benchmark::DoNotOptimize(Fb2ToBook(fb2));
    PeakMemory(state);
    state.counters["peak_before_MB"] = static_cast<double>(before.ru_maxrss) / 1024.0;
    state.SetLabel(std::to_string(fb2.size() >> 20) + " MiB FB2");
}
BENCHMARK(BM_Fb2WithLargeCover)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace lectorix
