#include "tool/stats_command.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <ostream>

#include "book/cp1251.h"
#include "book/text_loader.h"
#include "settings/program_settings.h"
#include "stats/reading_diary.h"
#include "stats/statistics_reports.h"
#include "stats/table_records.h"
#include "tool/text_commands.h"

namespace lectorix {

namespace {

constexpr const char* kStatsHelp =
    "Usage: lectorix-tool stats [--ini FILE] [--tables] [--csv]\n"
    "Prints today's, the global and the by-date reports of the reading diary kept in the\n"
    "settings FILE (without --ini, the settings the program beside this tool uses).\n"
    "With --csv, prints the days oldest first as date,letters,speed,minutes instead.\n"
    "With --tables, prints the number tables finished each day, oldest first, with the best\n"
    "and the mean time in seconds (with --csv as date,tables,best,mean).\n";

// The store the program beside this tool would choose, found without creating anything.
SettingsStoreChoice ProgramStore() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string program = (self.parent_path() / "lectorix").string();
    StoreProbe probe;
    probe.CreateEmpty = [](const std::string& path) {
        const auto folder = std::filesystem::path(path).parent_path();
        return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
    };
    return ChooseSettingsStore(program, probe);
}

// The store reads a file it cannot use as an empty one, which would print an empty diary as if
// nothing had been read: say instead what the file is.
void CheckSettingsFile(const std::string& path) {
    // Throws for a folder or no right to read it; a file past the size limit is not read.
    const std::string problem = SettingsFileProblem(path);
    if (!problem.empty()) throw UserError("Файл «" + path + "» не файл настроек: " + problem + ".");
}

}  // namespace

SettingsStoreChoice StoreToRead(const std::string& ini) {
    if (!ini.empty() && !std::filesystem::exists(ini))
        throw UserError("Файл настроек «" + ini + "» не найден.");
    const SettingsStoreChoice store =
        ini.empty() ? ProgramStore() : SettingsStoreChoice{ini, false};
    std::error_code ec;
    if (std::filesystem::exists(store.IniFileName, ec)) CheckSettingsFile(store.IniFileName);
    return store;
}

namespace {

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

int Tables(const SettingsStoreChoice& store, bool csv, std::ostream& out) {
    const std::vector<TableDay> days = TableDays(RestoreTableRecords(store));
    if (csv) {
        out << "date,tables,best,mean\n";
        for (const TableDay& d : days)
            out << FormatDiaryDate(d.Date) << ',' << d.Tables << ',' << FormatTableSeconds(d.Best)
                << ',' << FormatTableSeconds(d.Mean) << '\n';
        return 0;
    }
    out << "Таблицы Тарвина по датам (время в секундах):\n";
    if (days.empty()) out << "Таблиц ещё нет.\n";
    for (const TableDay& d : days) {
        char line[128];
        std::snprintf(line, sizeof line, "%s Таблиц: %4d, Лучшее: %5s, Среднее: %5s\n",
                      FormatDiaryDate(d.Date).c_str(), d.Tables, FormatTableSeconds(d.Best).c_str(),
                      FormatTableSeconds(d.Mean).c_str());
        out << line;
    }
    return 0;
}

int Stats(const ParsedArgs& a, std::ostream& out) {
    ProgramSettings settings;
    settings.SetStore(StoreToRead(a.Text("ini")));
    if (a.Flag("tables")) return Tables(settings.Store(), a.Flag("csv"), out);
    const Diary diary = RestoreDiary(settings);
    if (a.Flag("csv")) {
        out << "date,letters,speed,minutes\n";
        for (auto day = diary.Days.rbegin(); day != diary.Days.rend(); ++day) {
            const DayRecord record = SplitDayRecord(*day);
            const std::string date = Cp1251ToUtf8(record.Date);
            const std::int64_t letters = record.Letters;
            const std::int64_t speed = record.Speed;
            char minutes[32];
            std::snprintf(
                minutes, sizeof minutes, "%.2f",
                speed > 0 ? static_cast<double>(letters) / static_cast<double>(speed) : 0.0);
            out << CsvField(date) << ',' << letters << ',' << speed << ',' << minutes << '\n';
        }
        return 0;
    }
    const StatisticTexts t = BuildReadingStatistics({}, diary, LocalToday());
    out << ForPrinting(t.Report2) << '\n'
        << ForPrinting(t.Report3) << '\n'
        << ForPrinting(t.Report4);
    return 0;
}

constexpr OptionSpec kStatsOptions[] = {{.Name = "ini", .Type = OptionSpec::kText},
                                        {.Name = "csv", .Type = OptionSpec::kFlag},
                                        {.Name = "tables", .Type = OptionSpec::kFlag}};

}  // namespace

const Command kStatsCommand{
    .Name = "stats", .Help = kStatsHelp, .Options = kStatsOptions, .Files = 0, .Run = Stats};

}  // namespace lectorix
