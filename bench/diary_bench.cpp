// Recording a session into a diary of ten years, through the settings file as the program does
// it (lock, restore, merge, atomic save), and building the reports from it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "settings/program_settings.h"
#include "stats/reading_diary.h"
#include "stats/statistics_reports.h"
#include "stats/table_records.h"

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

// A year of daily training: ten number tables a day, and a year of reading in the diary.
struct AYearOfTables {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("lectorix-bench-tables-" + std::to_string(::getpid()));
    ProgramSettings settings;

    AYearOfTables() {
        std::filesystem::create_directories(dir);
        settings.SetStore({(dir / "lectorix.ini").string(), false});
        settings.GlobalStatistic = "3650000|800|";
        for (int i = 0; i < 365; ++i)
            settings.DayStatistic.push_back(
                FormatDiaryDate({1 + i % 28, 1 + i / 28 % 12, 2026 - i / 336}) + "|10000|800|");
        settings.FormStorageStatistic.Save();
        std::vector<std::string> lines;
        for (int i = 364; i >= 0; --i)
            for (int t = 0; t < 10; ++t)
                AddTableTime(lines, {1 + i % 28, 1 + i / 28 % 12, 2026 - i / 336}, 30 + t);
        lines.front() = FormatDiaryDate(kToday) + "|40.0|";
        TFormStorage storage = MakeFormStorageTables(lines);
        storage.SetStore(settings.Store());
        storage.Save();
    }
    ~AYearOfTables() { std::filesystem::remove_all(dir); }
};

void BM_RecordTableIntoAYear(benchmark::State& state) {
    AYearOfTables year;
    for (auto _ : state)
        RecordTableTime(year.settings.Store(), kToday, 37.4);
}
BENCHMARK(BM_RecordTableIntoAYear)->Unit(benchmark::kMillisecond);

void BM_TableDaysOfAYear(benchmark::State& state) {
    AYearOfTables year;
    for (auto _ : state)
        benchmark::DoNotOptimize(TableDays(RestoreTableRecords(year.settings.Store())));
}
BENCHMARK(BM_TableDaysOfAYear)->Unit(benchmark::kMillisecond);

}  // namespace
