#include "stats/table_records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <tuple>

#include "book/cp1251.h"
#include "book/text_helpers.h"

namespace lectorix {

namespace {

// Seconds a field holds, or nothing when it is no positive number.
std::optional<double> ReadSeconds(std::string_view field) {
    field = Trim(field);
    double value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(value) ||
        value <= 0)
        return std::nullopt;
    return value;
}

int FieldCount(std::string_view line) {
    return static_cast<int>(std::count(line.begin(), line.end(), '|'));
}

}  // namespace

const std::string& TablesSection() {
    static const std::string name = Utf8ToCp1251("Таблицы Тарвина");
    return name;
}

TFormStorage MakeFormStorageTables(std::vector<std::string>& lines) {
    TFormStorage storage(TablesSection());
    storage.AddStringList("ListBoxTables.Items", lines);
    return storage;
}

std::string FormatTableSeconds(double seconds) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

void AddTableTime(std::vector<std::string>& lines, const DiaryDate& today, double seconds) {
    const std::string time = FormatTableSeconds(seconds) + "|";
    if (!lines.empty()) {
        std::string top = lines.front();
        // The date field and the times after it.
        if (ParseDiaryDate(CutField(top)) == today &&
            FieldCount(lines.front()) <= kTableTimesPerLine) {
            lines.front() += time;
            return;
        }
    }
    lines.insert(lines.begin(), FormatDiaryDate(today) + "|" + time);
}

std::vector<TableDay> TableDays(const std::vector<std::string>& lines) {
    struct Sum {
        int Tables = 0;
        double Best = 0, Total = 0;
    };
    // Ordered by year, month, day.
    std::map<std::tuple<int, int, int>, Sum> days;
    for (std::string line : lines) {
        const auto date = ParseDiaryDate(CutField(line));
        if (!date) continue;
        Sum& sum = days[{date->Year, date->Month, date->Day}];
        while (line.find('|') != std::string::npos) {
            const auto seconds = ReadSeconds(CutField(line));
            if (!seconds) continue;
            sum.Best = sum.Tables == 0 ? *seconds : std::min(sum.Best, *seconds);
            sum.Total += *seconds;
            ++sum.Tables;
        }
    }
    std::vector<TableDay> result;
    for (const auto& [key, sum] : days) {
        if (sum.Tables == 0) continue;
        const auto [year, month, day] = key;
        result.push_back({{day, month, year}, sum.Tables, sum.Best, sum.Total / sum.Tables});
    }
    return result;
}

void RecordTableTime(const SettingsStoreChoice& where, const DiaryDate& today, double seconds) {
    std::vector<std::string> lines;
    TFormStorage storage = MakeFormStorageTables(lines);
    const StoreLock lock(where.IniFileName);
    // A file that cannot be read is not overwritten.
    const auto store = OpenSettingsStore(where.IniFileName, where.UseRegistry, false);
    storage.RestoreFrom(*store);
    AddTableTime(lines, today, seconds);
    storage.SaveTo(*store);
    store->Save();
}

std::vector<std::string> RestoreTableRecords(const SettingsStoreChoice& where) {
    std::vector<std::string> lines;
    TFormStorage storage = MakeFormStorageTables(lines);
    storage.SetStore(where);
    storage.Restore();
    return lines;
}

}  // namespace lectorix
