#include "stats/reading_diary.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <ctime>

#include "book/text_helpers.h"
#include "settings/program_settings.h"

namespace lectorix {

namespace {

constexpr std::int64_t kMaxField = INT32_MAX;

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int m, int y) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// One to `maxDigits` digits at the front of `text`, taken off it.
std::optional<int> TakeNumber(std::string_view& text, size_t minDigits, size_t maxDigits) {
    size_t n = 0;
    while (n < text.size() && n < maxDigits && text[n] >= '0' && text[n] <= '9')
        ++n;
    if (n < minDigits) return std::nullopt;
    int value = 0;
    std::from_chars(text.data(), text.data() + n, value);
    text.remove_prefix(n);
    return value;
}

}  // namespace

std::string FormatDiaryDate(const DiaryDate& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", d.Day, d.Month, d.Year);
    return text;
}

std::optional<DiaryDate> ParseDiaryDate(std::string_view text) {
    const auto day = TakeNumber(text, 1, 2);
    if (!day || !text.starts_with('.')) return std::nullopt;
    text.remove_prefix(1);
    const auto month = TakeNumber(text, 1, 2);
    if (!month || !text.starts_with('.')) return std::nullopt;
    text.remove_prefix(1);
    const auto year = TakeNumber(text, 4, 4);
    if (!year || !text.empty()) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*month, *year))
        return std::nullopt;
    return DiaryDate{*day, *month, *year};
}

DiaryDate LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

std::int64_t FieldNumber(std::string_view field) {
    const std::int64_t value = ParseWholeNumber<std::int64_t>(field).value_or(0);
    return value < 0 || value > kMaxField ? 0 : value;
}

DayRecord SplitDayRecord(std::string line) {
    DayRecord day;
    day.Date = CutField(line);
    day.Letters = FieldNumber(CutField(line));
    day.Speed = FieldNumber(CutField(line));
    return day;
}

MergedRecord MergeStatistics(std::string rest, const SessionFigures& session) {
    std::int64_t letters = FieldNumber(CutField(rest));
    const std::int64_t speed = FieldNumber(CutField(rest));
    const std::int64_t chars = std::clamp<std::int64_t>(session.Chars, 0, kMaxField);
    const std::int64_t sessionSpeed = std::max<std::int64_t>(session.Speed, 0);
    const double oldMinutes = speed == 0 ? 0 : static_cast<double>(letters) / speed;
    const double newMinutes =
        sessionSpeed == 0 ? 0 : static_cast<double>(chars) / static_cast<double>(sessionSpeed);
    letters = std::min(letters + chars, kMaxField);
    const double minutes = oldMinutes + newMinutes;
    const std::int64_t merged =
        minutes == 0 ? 0
                     : std::min(RoundHalfEven(static_cast<double>(letters) / minutes), kMaxField);
    return {letters, merged, std::to_string(letters) + "|" + std::to_string(merged) + "|"};
}

void EnsureToday(Diary& diary, const DiaryDate& today) {
    const std::string fresh = FormatDiaryDate(today) + "|0|0|";
    if (diary.Days.empty()) {
        diary.Days.insert(diary.Days.begin(), fresh);
        diary.Global = "0|0|";
        return;
    }
    std::string top = diary.Days.front();
    if (ParseDiaryDate(CutField(top)) != today) diary.Days.insert(diary.Days.begin(), fresh);
}

void AddSession(Diary& diary, const DiaryDate& today, const SessionFigures& session) {
    EnsureToday(diary, today);
    std::string& top = diary.Days.front();
    std::string rest = top;
    const std::string date = CutField(rest);
    top = date + "|" + MergeStatistics(std::move(rest), session).Rest;
    diary.Global = MergeStatistics(diary.Global, session).Rest;
}

Diary RestoreDiary(ProgramSettings& settings) {
    settings.FormStorageStatistic.Restore();
    return {settings.GlobalStatistic, settings.DayStatistic};
}

void RecordReadingStatistics(ProgramSettings& settings, const DiaryDate& today,
                             const SessionFigures& session) {
    const SettingsStoreChoice& where = settings.Store();
    const StoreLock lock(where.IniFileName);
    // One reading of the file for the restore and the save: a diary of years is long. A file
    // that cannot be read is not overwritten.
    const auto store = OpenSettingsStore(where.IniFileName, where.UseRegistry, false);
    settings.FormStorageStatistic.RestoreFrom(*store);
    Diary diary{settings.GlobalStatistic, settings.DayStatistic};
    AddSession(diary, today, session);
    settings.GlobalStatistic = std::move(diary.Global);
    settings.DayStatistic = std::move(diary.Days);
    settings.FormStorageStatistic.SaveTo(*store);
    store->Save();
}

}  // namespace lectorix
