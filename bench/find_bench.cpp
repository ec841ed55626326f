// Ctrl+F and Ctrl+G on the novel as the user sees them: the search, the pages turned up to the
// one that holds the text, and that page painted, headless.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>

#include "app/form_book.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "gui/dialogs.h"
#include "gui/text_codec.h"
#include "reader/page_jumps.h"

namespace {

using namespace lectorix;

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

// The first page of the text or the book.
void ToStart(TFormBook& form) {
    if (form.Engine().Page.BookMode) {
        form.Engine().GoToContentsEntry(0);
    } else {
        GoToFirstPage(form.Engine());
    }
}

// Three words from the middle of page 300 (or of the last page of a shorter text).
QString PhraseOfPage(TFormBook& form, int page) {
    GoToPage(form.Engine(), page);
    const auto& p = form.Engine().Page;
    const std::string& text = form.Engine().MemoSource.Text();
    const size_t from = text.find(' ', static_cast<size_t>((p.PageStart + p.TextPos) / 2)) + 1;
    const QString phrase = FromCp1251(text.substr(from, 40)).simplified().section(' ', 0, 2);
    ToStart(form);
    return phrase;
}

void FindOnPage300(benchmark::State& state, const std::string& text) {
    if (text.empty()) return state.SkipWithError("the novel is not there");
    TFormBook form;
    form.show();
    form.OpenText(text);
    const QString phrase = PhraseOfPage(form, 300);
    DialogScript script;
    SetDialogScript(&script);
    bool found = true;
    SetWarningHandler([&found](const QString&) { found = false; });
    for (auto _ : state) {
        state.PauseTiming();
        ToStart(form);
        script.inputs = {phrase.toUpper()};
        state.ResumeTiming();
        form.ActionFindExecute();
    }
    SetWarningHandler({});
    SetDialogScript(nullptr);
    if (!found) return state.SkipWithError("the phrase was not found");
    state.SetLabel("found on page " + std::to_string(form.Engine().Page.PageNumber));
}

void BM_FindPlainText(benchmark::State& state) {
    FindOnPage300(state, NovelText());
}
BENCHMARK(BM_FindPlainText)->Unit(benchmark::kMillisecond);

void BM_FindBook(benchmark::State& state) {
    FindOnPage300(state, NovelText().empty() ? std::string() : NovelBook());
}
BENCHMARK(BM_FindBook)->Unit(benchmark::kMillisecond);

void BM_GoToPage100(benchmark::State& state) {
    if (NovelText().empty()) return state.SkipWithError("the novel is not there");
    TFormBook form;
    form.show();
    form.OpenText(NovelText());
    DialogScript script;
    SetDialogScript(&script);
    for (auto _ : state) {
        state.PauseTiming();
        ToStart(form);
        script.inputs = {QStringLiteral("100")};
        state.ResumeTiming();
        form.ActionGoToPageExecute();
    }
    SetDialogScript(nullptr);
    state.SetLabel("page " + std::to_string(form.Engine().Page.PageNumber));
}
BENCHMARK(BM_GoToPage100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
