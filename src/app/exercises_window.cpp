#include "app/exercises_window.h"

#include "app/form_book.h"
#include "exercises/form_line.h"
#include "exercises/form_tables.h"
#include "gui/dialogs.h"
#include "settings/program_settings.h"
#include "stats/table_records.h"

namespace lectorix {

void ConnectTableExercise(TFormBook& form, TFormTables& tables, ProgramSettings& settings,
                          std::function<DiaryDate()> today) {
    // The main window pauses a running reading first.
    form.Seams.ShowTableExercise = [&form, &tables] {
        tables.ShowTableExercise(form.Painter().FontSize);
    };
    tables.OnTableFinished = [&tables, &settings, today](double seconds) {
        ReportUserError(&tables, [&] { RecordTableTime(settings.Store(), today(), seconds); });
    };
}

void ConnectWordExercise(TFormBook& form, TFormLine& line) {
    form.Seams.ShowWordExercise = [&form, &line] {
        // The size the page is drawn in, which follows the screen.
        line.ShowWordExercise(form.Painter().FontSize, form.Engine().Settings.FontBold);
    };
}

}  // namespace lectorix
