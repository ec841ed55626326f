#include "settings/form_storage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "book/text_loader.h"
#include "settings/apply_settings.h"
#include "settings/settings_storages.h"
#include "support/failing_writer.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using test::TempDir;

// A fresh ini file in a temporary folder and the three storages over plain values.
struct Fixture {
    TempDir dir;
    std::string ini = (dir.Path() / "lectorix.ini").string();
    SettingsControls controls;
    std::vector<std::string> bookmarks, days;
    std::string global;
    TFormStorage storage1 = MakeFormStorage1(controls);
    TFormStorage autoSet = MakeFormStorageAutoSet(bookmarks);
    TFormStorage statistic = MakeFormStorageStatistic(global, days);

    Fixture() {
        for (TFormStorage* s : {&storage1, &autoSet, &statistic})
            s->SetStore({ini, false});
    }
    void WriteIni(std::string_view cp1251) { WriteFileBytes(ini, cp1251); }
    std::string Bytes() const { return ReadFileBytes(ini); }
};

TEST(FormStorage, SavesTheDefaultsInTheLayoutOfTheFile) {
    Fixture f;
    f.global = "5400|1150|";
    f.days = {"12.03.2024|2400|1100|", "13.03.2024|3000|1200|"};
    f.storage1.Save();
    f.autoSet.Save();
    f.statistic.Save();
    EXPECT_EQ(f.Bytes(), test::DataFile("settings/defaults.ini"));
}

TEST(FormStorage, RestoresOnlyWhatItUnderstands) {
    Fixture f;
    f.controls.CheckBoxShowBottomBar = false;
    f.WriteIni(
        "[UserSetting]\r\nRxSpinEditOpenString_Value=50\r\nRxSpinEditSpeedWords_Value=-5\r\n"
        "RxSpinEditCountLetter_Value=2.5\r\nRxSpinEditBeginSleep_Value=12.5\r\n"
        "RxSpinEditCountString_Value=abc\r\nCheckBoxShowTopBar_Checked= true \r\n"
        "CheckBoxShowCenterLine_Checked=yes\r\nCheckBoxTransparentBar_Checked=FALSE\r\n"
        "ComboBoxFontName_Text=  Lucida Console  \r\n");
    f.storage1.Restore();
    const SettingsControls& c = f.controls;
    EXPECT_EQ(c.RxSpinEditOpenString, 20);
    EXPECT_EQ(c.RxSpinEditSpeedWords, -5);
    EXPECT_EQ(c.RxSpinEditCountLetter, 8);   // 2.5 rounds to 2, then the range
    EXPECT_EQ(c.RxSpinEditBeginSleep, 12);   // halves go to even
    EXPECT_EQ(c.RxSpinEditCountString, 25);  // not a number
    EXPECT_TRUE(c.CheckBoxShowTopBar);
    EXPECT_TRUE(c.CheckBoxShowCenterLine);  // "yes" leaves it
    EXPECT_FALSE(c.CheckBoxTransparentBar);
    EXPECT_FALSE(c.CheckBoxShowBottomBar);  // missing key
    EXPECT_EQ(c.ComboBoxFontName, "Lucida Console");

    // A negative version restores nothing.
    f.WriteIni("[UserSetting]\r\nFormVersion=-1\r\nRxSpinEditSpeedWords_Value=700\r\n");
    f.storage1.Restore();
    EXPECT_EQ(c.RxSpinEditSpeedWords, -5);
}

TEST(FormStorage, StringListsAreRewrittenAndRestoredWithCare) {
    Fixture f;
    const std::string listSection = Cp("[Расщитанные параметры.ListBoxZakladka_Items]");
    f.bookmarks = {"first", "second"};
    f.autoSet.Save();
    f.bookmarks = {"only"};
    f.autoSet.Save();  // no line of the longer list survives
    EXPECT_EQ(f.Bytes().find("Item1="), std::string::npos);
    f.bookmarks.clear();
    f.autoSet.Restore();
    EXPECT_EQ(f.bookmarks, std::vector<std::string>{"only"});
    f.bookmarks.clear();
    f.autoSet.Save();  // an empty list removes its section
    EXPECT_EQ(f.Bytes().find(listSection), std::string::npos);

    const std::vector<std::string> kept = {"kept"};
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"Count=0\r\nItem0=a\r\n", kept},
        {"Item0=a\r\n", kept},
        {"Count=-1\r\nItem0=a\r\n", kept},
        {"Count=x\r\nItem0=a\r\n", kept},
        {"Count=3\r\nItem0=a\r\nItem2=c\r\n", {"a", "", "c"}},
        // A huge count reads the lines present, in the order of their numbers.
        {"Count=2000000000\r\nItem0=a\r\nitem250000=z\r\nItem9=x\r\n", {"a", "x", "z"}},
        // So does one line far below the cap: a hundred thousand empty lines made the saves and
        // the reports crawl.
        {"Count=1096071208\r\nItem0=a\r\nItem99999=z\r\n", {"a", "z"}}};
    for (const auto& [body, expected] : rows) {
        f.WriteIni(listSection + "\r\n" + body);
        f.bookmarks = kept;
        f.autoSet.Restore();
        EXPECT_EQ(f.bookmarks, expected) << body;
    }
}

// A damaged Count with one line near its end once became a megabyte of empty lines, the real
// line lost: the lines there are come back, and exactly those are written.
TEST(FormStorage, AHugeCountWithOneLineKeepsTheFileItsSize) {
    Fixture f;
    const std::string file =
        Cp("[Статистика чтения]\r\nFormVersion=0\r\nEditGlobalStatistic_Text=5000|1000|\r\n"
           "\r\n[Статистика чтения.ListBoxDataStatistic_Items]\r\n"
           "Count=2000000000\r\nItem1999999999=06.12.2026|1000|500|\r\n");
    f.WriteIni(file);
    f.statistic.Restore();
    EXPECT_EQ(f.days, std::vector<std::string>{"06.12.2026|1000|500|"});
    f.statistic.Save();
    EXPECT_EQ(f.Bytes(), Cp("[Статистика чтения]\r\nFormVersion=0\r\n"
                            "EditGlobalStatistic_Text=5000|1000|\r\n"
                            "\r\n[Статистика чтения.ListBoxDataStatistic_Items]\r\n"
                            "Count=1\r\nItem0=06.12.2026|1000|500|\r\n"));
}

TEST(FormStorage, AFailedSaveThrowsAndLeavesTheOldFileWhole) {
    Fixture f;
    f.WriteIni("[UserSetting]\r\nFormVersion=0\r\n");
    IniFileStore store(f.ini, false);
    f.storage1.SaveTo(store);
    test::FailingWriter full(64);  // the disk fills after 64 bytes
    store.SetWriter(full);
    EXPECT_THROW(store.Save(), UserError);
    EXPECT_EQ(f.Bytes(), "[UserSetting]\r\nFormVersion=0\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.Path()), {}), 1);
}

// From the dialog's controls to the settings record.
// Every field of the record, so one left out or copied into another's place shows.
auto Fields(const UserSettings& s) {
    return std::tie(s.SpeedCpm, s.OpenLines, s.CharsPerLine, s.LinesPerPage, s.PageRepeats,
                    s.PageStartDelayMs, s.ShowTopBar, s.ShowBottomBar, s.ShowCenterLine,
                    s.TransparentBar, s.AutoSpeedIncrease, s.RemainByAverage, s.HideLeft,
                    s.HideRight, s.HideLeftCount, s.HideRightCount, s.FontName, s.FontSize,
                    s.FontBold, s.FormatToolEnabled, s.Paragraphs, s.NightMode);
}

TEST(ApplyUserSettings, DesignValuesGiveTheDefaultRecordAndEveryFieldComesBack) {
    // clang-format off
    const UserSettings changed{
        .SpeedCpm = 1550, .OpenLines = 8, .CharsPerLine = 30, .LinesPerPage = 20, .PageRepeats = 3,
        .PageStartDelayMs = 500, .ShowTopBar = false, .ShowBottomBar = false,
        .ShowCenterLine = false, .TransparentBar = false, .AutoSpeedIncrease = false,
        .RemainByAverage = false, .HideLeft = true, .HideRight = true, .HideLeftCount = 2,
        .HideRightCount = 4, .FontName = "Lucida Console", .FontSize = 14, .FontBold = true,
        .FormatToolEnabled = false, .Paragraphs = LineParagraphs::Off, .NightMode = true};
    // clang-format on
    UserSettings s = changed;
    double overhead = 5;
    ApplyUserSettings(SettingsControls{}, kDefaultPopravkaSpeed, "", s, overhead);
    const UserSettings defaults;
    EXPECT_EQ(Fields(s), Fields(defaults));
    EXPECT_EQ(overhead, kDefaultStepOverhead);

    SettingsControls filled;
    FillSettingsControls(changed, filled);
    ApplyUserSettings(filled, "0.965", "", s, overhead);
    EXPECT_EQ(Fields(s), Fields(changed));
}

TEST(ApplyUserSettings, TheAccessCodeAndNumbersThatAreNotNumbers) {
    SettingsControls c;
    UserSettings s;
    double overhead = 0.5;
    ApplyUserSettings(c, "1.234567", "KORVAN", s, overhead);
    EXPECT_TRUE(s.FormatToolEnabled);
    EXPECT_EQ(overhead, 1.234567);
    ApplyUserSettings(c, "1.5", "korvan", s, overhead);  // letter case counts
    EXPECT_FALSE(s.FormatToolEnabled);
    // A stored correction or font size that is no number keeps the previous value.
    c.ComboBoxFontSize = "крупный";
    s.FontSize = 14;
    for (const char* bad : {"0,97", ""}) {
        ApplyUserSettings(c, bad, "", s, overhead);
        EXPECT_EQ(overhead, 1.5) << bad;
        EXPECT_EQ(s.FontSize, 14);
    }
    c.ComboBoxFontSize = " 12 ";
    ApplyUserSettings(c, " 0.8 ", "", s, overhead);
    EXPECT_EQ(s.FontSize, 12);
    EXPECT_EQ(overhead, 0.8);
}

}  // namespace
}  // namespace lectorix
