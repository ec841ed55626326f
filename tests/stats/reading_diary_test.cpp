#include "stats/reading_diary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "book/cp1251.h"
#include "book/text_loader.h"
#include "stats/statistics_reports.h"
#include "stats/table_records.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using test::Utf;

constexpr DiaryDate kDay1{6, 12, 2026};
constexpr DiaryDate kDay2{7, 12, 2026};

TEST(Diary, TwoDaysOfReadingAndTheMerge) {
    Diary d;
    AddSession(d, kDay1, {3000, 600});
    AddSession(d, kDay2, {1000, 500});
    EXPECT_EQ(d.Days, (std::vector<std::string>{"07.12.2026|1000|500|", "06.12.2026|3000|600|"}));
    EXPECT_EQ(d.Global, "4000|571|");  // 4000 letters in 5 + 2 minutes

    // An empty session on a new day still starts the day.
    AddSession(d, {8, 12, 2026}, {});
    EXPECT_EQ(d.Days.front(), "08.12.2026|0|0|");
    EXPECT_EQ(d.Global, "4000|571|");
    // Letters without a speed keep the old minutes; with no minutes at all the speed is 0.
    EXPECT_EQ(MergeStatistics("3000|600|", {600, 0}).Rest, "3600|720|");
    EXPECT_EQ(MergeStatistics("0|0|", {600, 0}).Rest, "600|0|");
}

TEST(Diary, DamagedRecordsReadAsTheirValidFields) {
    for (const char* rest : {"", "|", "abc|12|", "-5|12|", "3000000000|12|", "12|", "1 2|3|"})
        EXPECT_LE(MergeStatistics(rest, {100, 50}).Speed, 100) << rest;
    EXPECT_EQ(MergeStatistics("abc|600|", {100, 50}).Rest, "100|50|");
    EXPECT_EQ(MergeStatistics("99999999999|600|", {0, 0}).Rest, "0|0|");
    // Huge stored letters at a tiny speed: no overflow, the count stops at its limit.
    EXPECT_EQ(MergeStatistics("2147483647|1|", {2147483647, 1}).Letters, 2147483647);

    // A top line whose date does not read is an older day; the new day goes on top of it.
    Diary d{"x|y|", {"31.02.2026|500|100|", "garbage"}};
    AddSession(d, kDay2, {1000, 500});
    ASSERT_EQ(d.Days.size(), 3u);
    EXPECT_EQ(d.Days.front(), "07.12.2026|1000|500|");
    EXPECT_EQ(d.Global, "1000|500|");
}

TEST(Diary, DatesAreWrittenAndReadAsDayMonthYear) {
    EXPECT_EQ(FormatDiaryDate({5, 3, 2026}), "05.03.2026");
    EXPECT_EQ(ParseDiaryDate("05.03.2026"), (DiaryDate{5, 3, 2026}));
    EXPECT_EQ(ParseDiaryDate("5.3.2026"), (DiaryDate{5, 3, 2026}));
    EXPECT_EQ(ParseDiaryDate("29.02.2024"), (DiaryDate{29, 2, 2024}));
    for (const char* bad :
         {"29.02.2026", "00.01.2026", "01.13.2026", "01.01.26", "01/01/2026", "01.01.2026 ", ""})
        EXPECT_FALSE(ParseDiaryDate(bad)) << bad;
}

// The lines of a report, as UTF-8, from `first` on (3: below its heading).
std::vector<std::string> Lines(const std::string& cp1251, size_t first = 3) {
    std::vector<std::string> lines;
    const std::string text = Utf(cp1251);
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size()) << "the last line is not ended";
    lines.erase(lines.begin(), lines.begin() + std::min(first, lines.size()));
    return lines;
}

TEST(Reports, TodayGlobalAndByDate) {
    Diary d{"4000|571|", {"06.12.2026|12345|987|", "05.12.2026|500|0|", "04.12.2026|3000|600|"}};
    ReportInputs in;
    const StatisticTexts t = BuildReadingStatistics(in, d, kDay2);
    // Today is listed at speed 0, older days only when they have a speed.
    EXPECT_EQ(Lines(t.Report4), (std::vector<std::string>{
                                    "07.12.2026 Скорость:      0, Время: 0:00:00, Букв: 0",
                                    "06.12.2026 Скорость:    987, Время: 0:12:30, Букв: 12345",
                                    "04.12.2026 Скорость:    600, Время: 0:05:00, Букв: 3000",
                                }));
    EXPECT_EQ(t.SpeedPoints, "600|04.12.2026|987|06.12.2026|0|07.12.2026|");
    EXPECT_EQ(t.VolumePoints, "3000|04.12.2026|12345|06.12.2026|0|07.12.2026|");
    EXPECT_EQ(Lines(t.Report2).size(), 2u);  // today at speed 0 has no time or words

    // 12345 letters at 987 a minute: 750,456 ms shown as 0:12:30, 157 and 1960 words.
    in.Session = {12345, 987};
    const StatisticTexts s = BuildReadingStatistics(in, {}, kDay2);
    EXPECT_EQ(Lines(s.Report2), (std::vector<std::string>{
                                    "Средняя скорость чтения:         987",
                                    "Прочитано в буквах:              12345",
                                    "Время чтения:                    0:12:30",
                                    "Средняя скорость в словах:       157",
                                    "Прочитано в словах:              1960",
                                }));
    EXPECT_EQ(Lines(s.Report3)[0], "Средняя скорость чтения:         987");
    // The first day: one point each, so the charts stay empty.
    EXPECT_EQ(s.SpeedPoints, "987|07.12.2026|");
    // A speed wider than its column is written whole.
    EXPECT_EQ(Lines(DayReportLine("01.01.2027", 5, 12345678), 0)[0],
              "01.01.2027 Скорость: 12345678, Время: 0:00:00, Букв: 5");
}

TEST(Reports, TheOpenBookAndItsSession) {
    // Five minutes read of a session, an hour and a half left of the book.
    // clang-format off
    const ReportInputs in{
        .Session = {4400, 880}, .SessionTime = 5.0 / 1440, .SessionPages = 8, .LastPageSpeed = 910,
        .SessionSpeedPoints = "850|1|910|2|", .TotalLetters = 63000, .LettersBefore = 6300,
        .LettersToRead = 56700, .PageNumber = 12, .TextSpeed = 630, .TimeLeft = 90.0 / 1440,
        .PagesLeft = 100, .BookAuthor = Cp("Пушкин А. С."), .BookTitle = Cp("Евгений Онегин")};
    // clang-format on
    const StatisticTexts t = BuildReadingStatistics(in, {}, kDay2);
    const auto r1 = Lines(t.Report1, 0);
    ASSERT_EQ(r1.size(), 13u);
    EXPECT_EQ(r1[2], "Пушкин А. С.. Евгений Онегин.");
    EXPECT_EQ(r1[6], "Время чтения:                    0:05:00");
    EXPECT_EQ(r1[7], "Осталось времени:                1:30:00");
    const auto r5 = Lines(t.Report5, 0);
    ASSERT_EQ(r5.size(), 17u);
    EXPECT_EQ(r5[7], "Прочитано страниц:               11");
    EXPECT_EQ(r5[14], "Прочитано в словах:              1000");
    EXPECT_EQ(r5[16], "Всего слов в тексте:             10000");
    // Every value stands in the 34th column.
    for (const std::string* report : {&t.Report1, &t.Report2, &t.Report3, &t.Report5})
        for (const std::string& line : Lines(*report, 0)) {
            const std::string cp = Utf8ToCp1251(line);
            if (cp.find(':') < 33) {
                EXPECT_TRUE(cp.size() > 33 && cp[32] == ' ' && cp[33] != ' ') << line;
            }
        }
}

TEST(TableRecords, TimesGoToTodaysLineAndDaysReadOldestFirst) {
    std::vector<std::string> lines;
    AddTableTime(lines, kDay1, 41.26);
    AddTableTime(lines, kDay2, 37.4);
    AddTableTime(lines, kDay2, 29.96);
    EXPECT_EQ(lines, (std::vector<std::string>{"07.12.2026|37.4|30.0|", "06.12.2026|41.3|"}));

    // A full line starts another of the same date; both count as one day.
    for (int i = 0; i < kTableTimesPerLine; ++i)
        AddTableTime(lines, kDay2, 20);
    ASSERT_EQ(lines.size(), 3u);
    const std::vector<TableDay> days = TableDays(lines);
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].Date, kDay1);
    EXPECT_EQ(days[1].Tables, kTableTimesPerLine + 2);
    EXPECT_DOUBLE_EQ(days[1].Best, 20);
    EXPECT_NEAR(days[1].Mean, (37.4 + 30.0 + 20 * kTableTimesPerLine) / days[1].Tables, 1e-9);
}

TEST(TableRecords, HandEditedLinesKeepWhatReads) {
    const std::vector<std::string> lines = {"07.12.2026|abc|-3|0|25.5|", "31.02.2026|10|",
                                            "garbage", "06.12.2026|x|", "05.12.2026|1e400|12|"};
    const std::vector<TableDay> days = TableDays(lines);
    ASSERT_EQ(days.size(), 2u);  // the 6th has no time, the 31st of February no date
    EXPECT_EQ(days[0].Date, (DiaryDate{5, 12, 2026}));
    EXPECT_EQ(days[0].Tables, 1);
    EXPECT_EQ(days[1].Tables, 1);
    EXPECT_DOUBLE_EQ(days[1].Mean, 25.5);
}

TEST(TableRecords, RecordedInASectionAfterTheOthersWhichStayAsTheyWere) {
    test::TempDir dir;
    const std::string before = "[UserSetting]\r\nFormVersion=0\r\n\r\n[" +
                               Utf8ToCp1251("Статистика чтения") +
                               "]\r\nFormVersion=0\r\nEditGlobalStatistic_Text=1|2|\r\n";
    const std::string ini = dir.Write("lectorix.ini", before);
    const SettingsStoreChoice store{ini, false};
    RecordTableTime(store, kDay1, 40);
    RecordTableTime(store, kDay2, 35.25);
    const std::string after = ReadFileBytes(ini);
    EXPECT_TRUE(after.starts_with(before)) << after;
    const std::string list = "[" + TablesSection() + ".ListBoxTables_Items]\r\n";
    EXPECT_NE(after.find(list + "Count=2\r\nItem0=07.12.2026|35.2|\r\nItem1=06.12.2026|40.0|"),
              std::string::npos)
        << after;
    EXPECT_EQ(RestoreTableRecords(store).size(), 2u);
    // Reading a store that is not there creates nothing.
    EXPECT_TRUE(RestoreTableRecords({(dir.Path() / "none.ini").string(), false}).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "none.ini"));
}

}  // namespace
}  // namespace lectorix
