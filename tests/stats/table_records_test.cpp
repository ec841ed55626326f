#include "stats/table_records.h"

#include <gtest/gtest.h>

#include "book/cp1251.h"
#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

constexpr DiaryDate kDay1{6, 12, 2026};
constexpr DiaryDate kDay2{7, 12, 2026};

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
