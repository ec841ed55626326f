// The training exercises wired to the main window and the settings store.
#pragma once

#include <functional>

#include "stats/reading_diary.h"  // DiaryDate, LocalToday

namespace lectorix {

class ProgramSettings;
class TFormBook;
class TFormLine;
class TFormTables;

// "Таблицы" opens the table exercise at half the page's font size for its counter; every
// table the user finishes is recorded with the date `today` gives (a failed save is shown).
void ConnectTableExercise(TFormBook& form, TFormTables& tables, ProgramSettings& settings,
                          std::function<DiaryDate()> today = LocalToday);

// "Слова" opens the word exercise in the page's font size and weight; a running reading goes
// on beneath it.
void ConnectWordExercise(TFormBook& form, TFormLine& line);

}  // namespace lectorix
