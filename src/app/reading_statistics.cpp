#include "app/reading_statistics.h"

#include <QtGlobal>

#include "app/form_book.h"
#include "book/text_loader.h"
#include "gui/dialogs.h"
#include "settings/program_settings.h"
#include "stats/form_statistic.h"
#include "stats/statistics_reports.h"

namespace lectorix {

void ConnectReadingStatistics(TFormBook& form, ProgramSettings& settings,
                              std::function<DiaryDate()> today) {
    form.Engine().RecordReadingStatistics = [&form, &settings, today] {
        try {
            RecordReadingStatistics(settings, today(), SessionOf(form.Engine()));
        } catch (const UserError& e) {
            // At the end of the program there is no window left to say it in.
            if (form.isVisible()) {
                ShowWarning(&form, QString::fromUtf8(e.what()));
            } else {
                qWarning("%s", e.what());
            }
        }
    };
    form.Seams.ShowStatistics = [&form, &settings, today] {
        ReadingEngine& engine = form.Engine();
        engine.PauseIfReading();
        // The reports read the store as it is now: another copy of the program may have
        // recorded since.
        const StatisticTexts texts =
            BuildReadingStatistics(ReportInputsOf(engine), RestoreDiary(settings), today());
        ShowStatisticWindow(&form, texts);
    };
}

}  // namespace lectorix
