#include "app/reading_statistics.h"

#include <algorithm>

#include "app/form_book.h"
#include "gui/dialogs.h"
#include "settings/program_settings.h"
#include "stats/statistics_reports.h"
#include "stats/table_records.h"

namespace lectorix {
namespace {

// What the diary and the reports read of the engine.
std::int64_t NotBelowZero(std::int64_t v) {
    return std::max<std::int64_t>(v, 0);
}

SessionFigures SessionOf(const ReadingEngine& e) {
    return {e.Session.SessionChars, e.Session.SessionSpeed};
}

ReportInputs ReportInputsOf(const ReadingEngine& e) {
    ReportInputs in;
    in.Session = SessionOf(e);
    in.SessionTime = e.Session.SessionTime;
    in.SessionPages = e.Session.SessionPages;
    in.LastPageSpeed = e.Session.LastPageSpeed;
    in.SessionSpeedPoints = e.Session.SessionSpeedPoints;
    in.TotalLetters = NotBelowZero(e.Page.TotalLetters);  // -1 while the count runs
    in.LettersBefore = e.Text.LettersBefore;
    in.LettersToRead = NotBelowZero(e.Text.LettersToRead);
    in.PageNumber = e.Page.PageNumber;
    in.TextTime = e.Engine.TextTime;
    in.TextSpeed = e.Engine.TextSpeed;
    in.TimeLeft = e.Engine.TimeLeft;
    in.PagesLeft = e.PagesLeftToShow();
    if (e.Page.BookMode) {
        in.BookAuthor = e.Book.Header.BookAuthor;
        in.BookTitle = e.Book.Header.BookTitle;
    }
    return in;
}

}  // namespace

void ConnectReadingStatistics(TFormBook& form, ProgramSettings& settings,
                              StatisticWindowShower show, std::function<DiaryDate()> today) {
    form.Engine().RecordReadingStatistics = [&form, &settings, today] {
        // At the end of the program there is no window left to say it in.
        ReportUserError(form.isVisible() ? &form : nullptr, [&] {
            RecordReadingStatistics(settings, today(), SessionOf(form.Engine()));
        });
    };
    form.Seams.ShowStatistics = [&form, &settings, show, today] {
        ReadingEngine& engine = form.Engine();
        engine.PauseIfReading();
        // The reports read the store as it is now: another copy of the program may have
        // recorded since.
        const StatisticTexts texts =
            BuildReadingStatistics(ReportInputsOf(engine), RestoreDiary(settings), today());
        show(&form, texts, TableDays(RestoreTableRecords(settings.Store())));
    };
}

}  // namespace lectorix
