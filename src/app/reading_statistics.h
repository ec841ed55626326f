// The reading diary wired to the main window: sessions recorded into the store, the reports
// shown in the statistics window.
#pragma once

#include <functional>

#include "stats/charts_module.h"
#include "stats/reading_diary.h"

namespace lectorix {

class ProgramSettings;
class TFormBook;

// Records the engine's session where the engine and the window say (a new text, the end of
// the program) and shows the statistics for "Статистика чтения" and at the end of a text.
// `show` opens the statistics window (ShowStatisticWindow, or the program's module of it);
// `today` gives the calendar date of a recording.
void ConnectReadingStatistics(TFormBook& form, ProgramSettings& settings,
                              StatisticWindowShower show,
                              std::function<DiaryDate()> today = LocalToday);

}  // namespace lectorix
