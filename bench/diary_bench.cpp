// Recording a session into a diary of ten years, through the settings file as the program does
// it (lock, restore, merge, atomic save), and building the reports from it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "settings/program_settings.h"
#include "stats/reading_diary.h"
#include "stats/statistics_reports.h"

namespace {

using namespace lectorix;

constexpr DiaryDate kToday{7, 12, 2026};

// A settings file in a fresh folder holding 3650 days.
struct TenYears {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lectorix-bench-" + std::to_string(::getpid()));
    ProgramSettings settings;

    TenYears() {
        std::filesystem::create_directories(dir);
        settings.SetStore({(dir / "lectorix.ini").string(), false});
        settings.GlobalStatistic = "36500000|800|";
        for (int i = 0; i < 3650; ++i)
            settings.DayStatistic.push_back(
                FormatDiaryDate({1 + i % 28, 1 + i / 28 % 12, 2026 - i / 336}) + "|10000|800|");
        settings.DayStatistic.front() = FormatDiaryDate(kToday) + "|10000|800|";
        settings.FormStorageStatistic.Save();
    }
    ~TenYears() { std::filesystem::remove_all(dir); }
};

void BM_RecordSessionIntoTenYears(benchmark::State& state) {
    TenYears diary;
    for (auto _ : state)
        RecordReadingStatistics(diary.settings, kToday, {2500, 900});
    state.counters["days"] = static_cast<double>(diary.settings.DayStatistic.size());
}
BENCHMARK(BM_RecordSessionIntoTenYears)->Unit(benchmark::kMillisecond);

void BM_ReportsOfTenYears(benchmark::State& state) {
    TenYears diary;
    const Diary d = RestoreDiary(diary.settings);
    ReportInputs in;
    in.Session = {2500, 900};
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildReadingStatistics(in, d, kToday));
}
BENCHMARK(BM_ReportsOfTenYears)->Unit(benchmark::kMillisecond);

}  // namespace
