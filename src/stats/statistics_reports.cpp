#include "stats/statistics_reports.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "book/cp1251.h"
#include "book/duration.h"
#include "book/text_helpers.h"

namespace lectorix {

namespace {

constexpr double kLettersPerWord = 6.3;

// The labels are written in UTF-8 here and appear in CP1251.
std::string Cp(std::string_view utf8) {
    return Utf8ToCp1251(utf8);
}

const std::string& Rule() {
    static const std::string rule(33, '_');
    return rule;
}

std::string Words(std::int64_t letters) {
    return std::to_string(RoundHalfEven(static_cast<double>(letters) / kLettersPerWord));
}

// The time of `letters` read at `speed` letters a minute; 0:00:00 at speed 0.
std::string TimeAt(std::int64_t letters, std::int64_t speed) {
    if (speed <= 0) return FormatDuration(0);
    const double ms = static_cast<double>(letters) / static_cast<double>(speed) * 60000.0;
    return FormatDuration(MsToDuration(RoundHalfEven(ms)));
}

class Report {
  public:
    Report& Line(std::string_view text) {
        text_.append(text);
        text_.append("\r\n");
        return *this;
    }
    Report& Value(std::string_view utf8Label, const std::string& value) {
        return Line(Cp(utf8Label) + value);
    }
    Report& Value(std::string_view utf8Label, std::int64_t value) {
        return Value(utf8Label, std::to_string(value));
    }
    Report& Title(std::string_view utf8) { return Line(Rule()).Line(Cp(utf8)).Line(Rule()); }
    std::string Text() && { return std::move(text_); }

  private:
    std::string text_;
};

std::string BookLine(const ReportInputs& in) {
    return in.BookAuthor + ". " + in.BookTitle + ".";
}

// Reports 2 and 3 share their lines.
void Totals(Report& r, std::int64_t letters, std::int64_t speed) {
    r.Value("Средняя скорость чтения:         ", speed);
    r.Value("Прочитано в буквах:              ", letters);
    if (speed > 0) {
        r.Value("Время чтения:                    ", TimeAt(letters, speed));
        r.Value("Средняя скорость в словах:       ", Words(speed));
        r.Value("Прочитано в словах:              ", Words(letters));
    }
}

}  // namespace

std::string DayReportLine(std::string_view date, std::int64_t letters, std::int64_t speed) {
    static const std::string speedLabel = Cp(" Скорость: "), timeLabel = Cp("Время: "),
                             lettersLabel = Cp("Букв: ");
    char speedText[32];
    std::snprintf(speedText, sizeof speedText, "%6lld", static_cast<long long>(speed));
    std::string line;
    line.reserve(date.size() + 64);
    line.append(date).append(speedLabel).append(speedText).append(", ").append(timeLabel);
    line.append(TimeAt(letters, speed)).append(", ").append(lettersLabel);
    line.append(std::to_string(letters)).append("\r\n");
    return line;
}

StatisticTexts BuildReadingStatistics(const ReportInputs& in, Diary diary, const DiaryDate& today) {
    StatisticTexts out;
    {
        Report r;
        r.Line(Rule()).Line(Cp("Статистика чтения открытой книги")).Line(BookLine(in)).Line(Rule());
        r.Value("Средняя скорость чтения:         ", in.Session.Speed);
        r.Value("Скорость на странице:            ", in.LastPageSpeed);
        r.Value("Время чтения:                    ", FormatDuration(in.SessionTime));
        r.Value("Осталось времени:                ", FormatTimeLeft(in.TimeLeft));
        r.Value("Прочитано страниц:               ", in.SessionPages);
        r.Value("Осталось страниц:                ", in.PagesLeft);
        r.Value("Прочитано в буквах:              ", in.Session.Chars);
        r.Value("Осталось в буквах:               ", in.LettersToRead);
        r.Value("Всего букв в тексте:             ", in.TotalLetters);
        out.Report1 = std::move(r).Text();
    }

    EnsureToday(diary, today);
    std::string todayRest = diary.Days.front();
    const std::string todayDate = CutField(todayRest);
    const MergedRecord day = MergeStatistics(todayRest, in.Session);
    {
        Report r;
        r.Title("Общая статистика за сегодня      ");
        Totals(r, day.Letters, day.Speed);
        out.Report2 = std::move(r).Text();
    }
    const std::string todayLine = DayReportLine(todayDate, day.Letters, day.Speed);
    out.SpeedPoints = std::to_string(day.Speed) + "|" + todayDate + "|";
    out.VolumePoints = std::to_string(day.Letters) + "|" + todayDate + "|";

    {
        const MergedRecord all = MergeStatistics(diary.Global, in.Session);
        Report r;
        r.Title("Глобальная статистика            ");
        Totals(r, all.Letters, all.Speed);
        out.Report3 = std::move(r).Text();
    }

    {
        Report r;
        r.Title("Статистика чтения по датам       ");
        std::string text = std::move(r).Text() + todayLine;
        // Older days, newest first in the report; the points end up oldest first, today last.
        std::vector<DayRecord> older;
        for (size_t i = 1; i < diary.Days.size(); ++i) {
            DayRecord day = SplitDayRecord(diary.Days[i]);
            if (day.Speed <= 0) continue;
            text += DayReportLine(day.Date, day.Letters, day.Speed);
            older.push_back(std::move(day));
        }
        std::string speedPoints, volumePoints;
        for (auto p = older.rbegin(); p != older.rend(); ++p) {
            speedPoints.append(std::to_string(p->Speed)).append("|").append(p->Date).append("|");
            volumePoints.append(std::to_string(p->Letters)).append("|").append(p->Date).append("|");
        }
        out.SpeedPoints = speedPoints + out.SpeedPoints;
        out.VolumePoints = volumePoints + out.VolumePoints;
        out.Report4 = std::move(text);
    }

    {
        Report r;
        r.Line(Rule()).Line(Cp("Полная статистика для открытой книги")).Line(BookLine(in));
        r.Line(Rule());
        r.Value("Средняя скорость чтения:         ", in.TextSpeed);
        r.Value("Время чтения:                    ", FormatDuration(in.TextTime));
        r.Value("Осталось времени:                ", FormatTimeLeft(in.TimeLeft));
        r.Value("Прочитано страниц:               ", std::max(in.PageNumber - 1, 0));
        r.Value("Осталось страниц:                ", in.PagesLeft);
        r.Value("Прочитано в буквах:              ", in.LettersBefore);
        r.Value("Осталось в буквах:               ", in.LettersToRead);
        r.Value("Всего букв в тексте:             ", in.TotalLetters);
        r.Line(Rule());
        r.Value("Средняя скорость в словах:       ", Words(in.TextSpeed));
        r.Value("Прочитано в словах:              ", Words(in.LettersBefore));
        r.Value("Осталось в словах:               ", Words(in.LettersToRead));
        r.Value("Всего слов в тексте:             ", Words(in.TotalLetters));
        out.Report5 = std::move(r).Text();
    }
    out.SessionPoints = in.SessionSpeedPoints;
    return out;
}

}  // namespace lectorix
