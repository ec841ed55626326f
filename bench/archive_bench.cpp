// Books from archives: what reading the novel's book out of a ZIP or a 7z costs beyond reading
// the book file itself, and how fast a zip bomb (zeros that inflate past the text cap) is
// refused, with the process's peak memory.
#include <archive.h>
#include <archive_entry.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>

#include "book/archive_reader.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"

namespace lectorix {
namespace {

namespace fs = std::filesystem;

fs::path Folder() {
    static const fs::path dir = [] {
        fs::path d =
            fs::temp_directory_path() / ("lectorix-archive-bench-" + std::to_string(::getpid()));
        fs::create_directories(d);
        std::atexit([] { fs::remove_all(Folder()); });
        return d;
    }();
    return dir;
}

// Writes `size` bytes made by `chunk` (called with an offset, filling a buffer) into an archive.
void WriteArchive(const fs::path& path, int (*format)(archive*), const std::string& name,
                  long long size, const std::function<void(std::string&, long long)>& chunk,
                  bool stateSize = true) {
    archive* a = archive_write_new();
    format(a);
    if (!stateSize) archive_write_add_filter_gzip(a);
    archive_write_open_filename(a, path.c_str());
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name.c_str());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    if (stateSize) archive_entry_set_size(e, size);
    archive_write_header(a, e);
    std::string buffer;
    for (long long done = 0; done < size; done += static_cast<long long>(buffer.size())) {
        chunk(buffer, done);
        if (static_cast<long long>(buffer.size()) > size - done)
            buffer.resize(static_cast<size_t>(size - done));
        archive_write_data(a, buffer.data(), buffer.size());
    }
    archive_entry_free(e);
    archive_write_close(a);
    archive_write_free(a);
}

// The novel as a book, and that book in a ZIP and in a 7z. Empty when the novel is not there.
const std::string& NovelBookPath() {
    static const std::string path = [] {
        const char* env = std::getenv("LECTORIX_BENCH_NOVEL");
        const std::string novel = env ? env : std::string(LECTORIX_BENCH_NOVEL_DEFAULT);
        if (!fs::exists(novel)) return std::string();
        std::string book = BuildBookStructure(LoadTextFile(novel), BookHeader{});
        ComputeBookLineCounts(book);
        const fs::path lxb = Folder() / "anna.lxb";
        std::ofstream(lxb, std::ios::binary) << book;
        auto whole = [&](std::string& out, long long) { out = book; };
        const auto size = static_cast<long long>(book.size());
        WriteArchive(Folder() / "anna.zip", archive_write_set_format_zip, "anna.lxb", size, whole);
        WriteArchive(Folder() / "anna.7z", archive_write_set_format_7zip, "anna.lxb", size, whole);
        return lxb.string();
    }();
    return path;
}

void BM_ReadBookFile(benchmark::State& state) {
    if (NovelBookPath().empty()) return state.SkipWithError("the novel is not there");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadFileBytes(NovelBookPath()));
}
BENCHMARK(BM_ReadBookFile)->Unit(benchmark::kMillisecond);

void BM_ReadBookFromArchive(benchmark::State& state, const char* name) {
    if (NovelBookPath().empty()) return state.SkipWithError("the novel is not there");
    const std::string path = (Folder() / name).string();
    int reports = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadFirstArchiveFile(path, [&](int) { ++reports; }));
    state.counters["progress_reports"] =
        static_cast<double>(reports) / static_cast<double>(state.iterations());
    state.SetLabel(std::to_string(fs::file_size(path) / 1024) + " KiB archive");
}
BENCHMARK_CAPTURE(BM_ReadBookFromArchive, zip, "anna.zip")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadBookFromArchive, 7z, "anna.7z")->Unit(benchmark::kMillisecond);

// LECTORIX_BENCH_BOMB_MB of zeros (1024 by default) in a zip, whose entry states its size, and
// as a single .gz file, which states none: the reader inflates up to the cap before it knows.
void BM_RefuseZipBomb(benchmark::State& state, bool stateSize) {
    const char* env = std::getenv("LECTORIX_BENCH_BOMB_MB");
    const long long size = (env ? std::atoll(env) : 1024) << 20;
    const fs::path path = Folder() / (stateSize ? "zeros.zip" : "zeros.txt.gz");
    if (!fs::exists(path))
        WriteArchive(
            path, stateSize ? archive_write_set_format_zip : archive_write_set_format_raw, "zeros.txt", size,
            [](std::string& out, long long) { out.assign(1 << 20, '\0'); }, stateSize);
    for (auto _ : state) {
        try {
            ReadFirstArchiveFile(path.string());
            state.SkipWithError("the bomb was not refused");
        } catch (const UserError&) {
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetLabel(std::to_string(size >> 20) + " MiB of zeros in " +
                   std::to_string(fs::file_size(path) / 1024) + " KiB");
}
BENCHMARK_CAPTURE(BM_RefuseZipBomb, zip, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RefuseZipBomb, gz, false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lectorix
