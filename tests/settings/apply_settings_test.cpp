// From the dialog's controls to the settings record.
#include "settings/apply_settings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace lectorix {
namespace {

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
