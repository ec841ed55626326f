// A dictionary of the novel's words: one pass against the chunked procedure step by step.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "book/text_loader.h"
#include "exercises/dictionary_builder.h"
#include "exercises/dictionary_tools.h"

namespace lectorix {
namespace {

const std::string& Novel() {
    static const std::string text = [] {
        const char* env = std::getenv("LECTORIX_BENCH_NOVEL");
        const std::string path = env ? env : std::string(LECTORIX_BENCH_NOVEL_DEFAULT);
        return std::filesystem::exists(path) ? LoadTextFile(path) : std::string();
    }();
    return text;
}

// What scripts/build-dictionary.sh asks for, the spelling list read beforehand.
const DictionaryBuildOptions& BuiltInOptions() {
    static const DictionaryBuildOptions options = [] {
        DictionaryBuildOptions o;
        o.MinCount = 2;
        o.MaxLength = 15;
        o.Alphabet = true;
        const char* list = "/usr/share/hunspell/ru_RU.dic";
        if (std::filesystem::exists(list)) o.KeepWords = ReadWordList(LoadTextFile(list));
        return o;
    }();
    return options;
}

template <typename Words>
void Build(benchmark::State& state, Words words) {
    const std::vector<std::string> texts = {Novel()};
    const DictionaryBuildOptions& options = BuiltInOptions();
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(DictionaryFromWords(words(texts, options.MinCount), options));
        } catch (const UserError&) {
            // a small text for the smoke run leaves lengths empty
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Novel().size()));
}

void BM_DictBuild(benchmark::State& state) {
    Build(state, FrequentWords);
}
BENCHMARK(BM_DictBuild)->Unit(benchmark::kMillisecond);

void BM_DictBuildStepByStep(benchmark::State& state) {
    Build(state, FrequentWordsStepByStep);
}
BENCHMARK(BM_DictBuildStepByStep)->Unit(benchmark::kMillisecond);

// "Clear String": the distinct words, where the step-by-step removal of repeats is quadratic.
void BM_ClearString(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ClearString(Novel()));
}
BENCHMARK(BM_ClearString)->Unit(benchmark::kMillisecond);

void BM_ClearStringStepByStep(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(literal::ClearString(Novel()));
}
BENCHMARK(BM_ClearStringStepByStep)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace lectorix
