// The five reading reports and the chart points of the statistics window.
#pragma once

#include <cstdint>
#include <string>

#include "stats/reading_diary.h"

namespace lectorix {

// The eight texts the statistics window shows, in CP1251: reports with CR LF line ends, point
// lists as value "|" label "|" pairs.
struct StatisticTexts {
    std::string Report1, Report2, Report3, Report4, Report5;
    std::string SpeedPoints, VolumePoints, SessionPoints;
};

// What the reports read of the reader: the session not yet recorded and the open text.
struct ReportInputs {
    SessionFigures Session;
    double SessionTime = 0;  // days
    int SessionPages = 0;
    int LastPageSpeed = 0;
    std::string SessionSpeedPoints;
    std::int64_t TotalLetters = 0;
    std::int64_t LettersBefore = 0;
    std::int64_t LettersToRead = 0;
    int PageNumber = 0;
    double TextTime = 0;  // days
    int TextSpeed = 0;
    double TimeLeft = 0;  // days
    int PagesLeft = 0;
    std::string BookAuthor, BookTitle;  // CP1251, empty for a plain text
};

// Builds the reports from the diary as restored (the session merged in, nothing stored: today's
// line is added in the copy only).
StatisticTexts BuildReadingStatistics(const ReportInputs& in, Diary diary, const DiaryDate& today);

// A day's line of the by-date report: "<date> Скорость: <speed in 6>, Время: H:MM:SS, Букв: N".
std::string DayReportLine(std::string_view date, std::int64_t letters, std::int64_t speed);

}  // namespace lectorix
