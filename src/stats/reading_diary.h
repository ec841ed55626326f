// The reading diary: one record per day and one for all days, as letters read and their mean
// speed. Records are fields each ended by "|": a day line is date|letters|speed|, the global
// record letters|speed|.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "book/text_helpers.h"  // CutField

namespace lectorix {

class ProgramSettings;

struct DiaryDate {
    int Day = 1;
    int Month = 1;
    int Year = 2000;
    bool operator==(const DiaryDate&) const = default;
};

// dd.MM.yyyy, the short date of a Russian desktop.
std::string FormatDiaryDate(const DiaryDate& date);
// The same format back (one- or two-digit day and month); nothing for any other text or a day
// the calendar lacks.
std::optional<DiaryDate> ParseDiaryDate(std::string_view text);
// Today in the local time zone.
DiaryDate LocalToday();

// A count or speed field: a decimal number from 0 to 2^31 - 1, anything else 0.
std::int64_t FieldNumber(std::string_view field);

// A day line split into its fields: the date as it stands, the letters and the speed as
// FieldNumber reads them.
struct DayRecord {
    std::string Date;
    std::int64_t Letters = 0;
    std::int64_t Speed = 0;
};
DayRecord SplitDayRecord(std::string line);

// What the session being recorded adds.
struct SessionFigures {
    std::int64_t Chars = 0;
    std::int64_t Speed = 0;  // letters per minute over the session
};

struct MergedRecord {
    std::int64_t Letters = 0;
    std::int64_t Speed = 0;
    std::string Rest;  // letters|speed|
};

// Adds the session to a record's rest (letters|speed|): the letters are summed, the speed is
// the letters over the old and the new minutes together, each rebuilt from its speed.
MergedRecord MergeStatistics(std::string rest, const SessionFigures& session);

// The diary as the store holds it: the global record and the day lines, newest first.
struct Diary {
    std::string Global;
    std::vector<std::string> Days;
};

// Puts today's "|0|0|" line on top unless the top line is today's already (a top line whose
// date does not read counts as an older day); an empty diary also gets "0|0|" as its global
// record.
void EnsureToday(Diary& diary, const DiaryDate& today);
// Today's line and the global record with the session merged in.
void AddSession(Diary& diary, const DiaryDate& today, const SessionFigures& session);

// Restores the diary of the store, adds the session and saves it, under the store's lock, so
// another copy of the program recording at the same time loses nothing. Throws UserError when
// the save fails.
void RecordReadingStatistics(ProgramSettings& settings, const DiaryDate& today,
                             const SessionFigures& session);
// The diary as the store holds it now.
Diary RestoreDiary(ProgramSettings& settings);

}  // namespace lectorix
