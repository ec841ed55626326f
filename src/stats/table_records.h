// The times of the finished number tables, kept in the settings store so the progress of weeks
// of training can be seen. One line a day, newest first: the date and the seconds of each table
// of that day, every field ended by "|" (07.12.2026|37.4|41.2|). A day of very many tables
// goes on in another line of the same date.
#pragma once

#include <string>
#include <vector>

#include "settings/form_storage.h"
#include "stats/reading_diary.h"  // DiaryDate

namespace lectorix {

inline constexpr int kTableTimesPerLine = 100;

// "Таблицы Тарвина" (CP1251), the section after those the program had before.
const std::string& TablesSection();
// Its storage: ListBoxTables.Items.
TFormStorage MakeFormStorageTables(std::vector<std::string>& lines);

// A time as it is stored: seconds with one decimal.
std::string FormatTableSeconds(double seconds);

// Adds a table's time to today's line on top, or starts one.
void AddTableTime(std::vector<std::string>& lines, const DiaryDate& today, double seconds);

struct TableDay {
    DiaryDate Date;
    int Tables = 0;
    double Best = 0;  // seconds
    double Mean = 0;
};
// The days oldest first, lines of one date taken together. Lines whose date does not read and
// times that are no positive number are left out.
std::vector<TableDay> TableDays(const std::vector<std::string>& lines);

// Restores the lines of the store, adds the time and saves them, under the store's lock, so two
// copies of the program recording at once lose nothing. Throws UserError when the save fails.
void RecordTableTime(const SettingsStoreChoice& store, const DiaryDate& today, double seconds);
// The lines as the store holds them now; reading creates nothing.
std::vector<std::string> RestoreTableRecords(const SettingsStoreChoice& store);

}  // namespace lectorix
