// Throughput of the whole-text passes: the book wrap, the letter count, the paragraph judgement
// and loading.
#include <benchmark/benchmark.h>

#include "bench_texts.h"
#include "book/cp1251.h"
#include "book/paragraphs.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book/text_wrap.h"

namespace lectorix::bench {
namespace {

void BM_WrapBookText(benchmark::State& state) {
    const std::string_view book = BookCp1251();
    const std::string_view text = book.substr(0, book.rfind('\n', (4u << 20) - 1) + 1);
    const int width = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string wrapped = WrapBookText(text, width);
        benchmark::DoNotOptimize(wrapped.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_WrapBookText)->ArgName("width")->Arg(22)->Arg(80)->Unit(benchmark::kMillisecond);

void BM_CountLetters(benchmark::State& state) {
    const std::string& text = BookCp1251();
    for (auto _ : state)
        benchmark::DoNotOptimize(CountLetters(text));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CountLetters)->Unit(benchmark::kMillisecond);

// Whether a text is one paragraph a line is judged over the whole text when it is opened.
void BM_IsOneParagraphALine(benchmark::State& state) {
    const std::string& text = BookCp1251();
    for (auto _ : state)
        benchmark::DoNotOptimize(IsOneParagraphALine(text));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_IsOneParagraphALine)->Unit(benchmark::kMillisecond);

// DecodeText owns its input, as it does with a file just read: the copy is not timed.
void DecodeBench(benchmark::State& state, const std::string& input) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string bytes = input;
        state.ResumeTiming();
        std::string text = DecodeText(std::move(bytes));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

void BM_DecodeUtf8Lf(benchmark::State& state) {
    static const std::string input = RepeatToSize(SampleUtf8(), BookSize());
    DecodeBench(state, input);
}
BENCHMARK(BM_DecodeUtf8Lf)->Unit(benchmark::kMillisecond);

void BM_DecodeCp1251Lf(benchmark::State& state) {
    static const std::string input = RepeatToSize(Utf8ToCp1251(SampleUtf8()), BookSize());
    DecodeBench(state, input);
}
BENCHMARK(BM_DecodeCp1251Lf)->Unit(benchmark::kMillisecond);

// Already what the reader holds: nothing to convert or normalise.
void BM_DecodeCp1251CrLf(benchmark::State& state) {
    DecodeBench(state, BookCp1251());
}
BENCHMARK(BM_DecodeCp1251CrLf)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lectorix::bench
