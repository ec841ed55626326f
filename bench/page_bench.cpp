// One page built from a fixed place of a 20 MB book: the cost of turning a page there.
#include <benchmark/benchmark.h>

#include "bench_texts.h"
#include "book/page_builder.h"

namespace lectorix::bench {
namespace {

enum class Where { Start, Middle, End };

const SourceText& Book() {
    static const SourceText source(BookCp1251());
    return source;
}

PageLayout PageSettings(const benchmark::State& state) {
    PageLayout settings;
    settings.CharsPerLine = static_cast<int>(state.range(0));
    settings.LinesPerPage = static_cast<int>(state.range(1));
    // Every line a paragraph: the most marks a chunk can get.
    if (state.range(2) != 0) settings.Paragraphs = LineParagraphs::On;
    return settings;
}

// The first line start at or after `pos`, where a reader that jumped there would begin.
long long LineStartFrom(const std::string& text, long long pos) {
    const size_t at = text.find("\r\n", static_cast<size_t>(pos));
    return at == std::string::npos ? pos : static_cast<long long>(at) + 2;
}

long long PositionOf(Where where, const SourceText& source, const PageLayout& settings) {
    const long long n = source.Length();
    // A full page still fits between this place and the end.
    const long long page = 4LL * settings.CharsPerLine * settings.LinesPerPage;
    switch (where) {
        case Where::Start:
            return 0;
        case Where::Middle:
            return LineStartFrom(source.Text(), n / 2);
        case Where::End:
            return LineStartFrom(source.Text(), n - 2 * page);
    }
    return 0;
}

void ReportPage(benchmark::State& state, const PageState& st, const PageMemo& memo) {
    state.counters["lines"] = static_cast<double>(memo.Lines.size());
    state.counters["page_bytes"] = static_cast<double>(st.TextPos - st.PageStart);
}

void BM_PageForward(benchmark::State& state, Where where) {
    const SourceText& source = Book();
    const PageLayout settings = PageSettings(state);
    const long long from = PositionOf(where, source, settings);
    PageState st;
    PageMemo memo;
    for (auto _ : state) {
        st.TextPos = from;
        st.PageRepeatsLeft = 0;
        st.ReadForward = true;
        if (!BuildPage(st, memo, source, settings)) {
            state.SkipWithError("no page was built");
            break;
        }
        benchmark::DoNotOptimize(memo.Lines.data());
    }
    if (st.TextPos < source.Length() && st.TextPos <= from)
        state.SkipWithError("the page did not advance");
    ReportPage(state, st, memo);
}

void BM_PageBackward(benchmark::State& state, Where where) {
    const SourceText& source = Book();
    const PageLayout settings = PageSettings(state);
    const long long from =
        where == Where::End ? source.Length() : PositionOf(where, source, settings);
    PageState st;
    PageMemo memo;
    for (auto _ : state) {
        st.TextPos = st.PageStart = from;
        st.PageRepeatsLeft = 0;
        st.ReadForward = false;
        if (!BuildPage(st, memo, source, settings)) {
            state.SkipWithError("no page was built");
            break;
        }
        benchmark::DoNotOptimize(memo.Lines.data());
    }
    ReportPage(state, st, memo);
}

// The default page, a wide one, and the default page with every line a paragraph.
void PageSizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"chars", "lines", "every_line"})
        ->Args({22, 25, 0})
        ->Args({80, 25, 0})
        ->Args({22, 25, 1})
        ->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(BM_PageForward, start, Where::Start)->Apply(PageSizes);
BENCHMARK_CAPTURE(BM_PageForward, middle, Where::Middle)->Apply(PageSizes);
BENCHMARK_CAPTURE(BM_PageForward, end, Where::End)->Apply(PageSizes);
BENCHMARK_CAPTURE(BM_PageBackward, middle, Where::Middle)->Apply(PageSizes);
BENCHMARK_CAPTURE(BM_PageBackward, end, Where::End)->Apply(PageSizes);

}  // namespace
}  // namespace lectorix::bench
