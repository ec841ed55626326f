// From the dialog's controls to the settings record.
#include "settings/apply_settings.h"

#include <gtest/gtest.h>

namespace lectorix {
namespace {

TEST(ApplyUserSettings, DesignValuesGiveExactlyTheDefaultRecord) {
    const SettingsControls controls;
    UserSettings s;
    s.SpeedCpm = 7;  // every field is overwritten
    s.FontName = "x";
    s.Paragraphs = LineParagraphs::Off;
    double overhead = 5;
    ApplyUserSettings(controls, kDefaultPopravkaSpeed, "", s, overhead);
    const UserSettings defaults;
    EXPECT_EQ(s.SpeedCpm, defaults.SpeedCpm);
    EXPECT_EQ(s.OpenLines, defaults.OpenLines);
    EXPECT_EQ(s.CharsPerLine, defaults.CharsPerLine);
    EXPECT_EQ(s.LinesPerPage, defaults.LinesPerPage);
    EXPECT_EQ(s.PageRepeats, defaults.PageRepeats);
    EXPECT_EQ(s.PageStartDelayMs, defaults.PageStartDelayMs);
    EXPECT_EQ(s.ShowTopBar, defaults.ShowTopBar);
    EXPECT_EQ(s.ShowBottomBar, defaults.ShowBottomBar);
    EXPECT_EQ(s.ShowCenterLine, defaults.ShowCenterLine);
    EXPECT_EQ(s.TransparentBar, defaults.TransparentBar);
    EXPECT_EQ(s.AutoSpeedIncrease, defaults.AutoSpeedIncrease);
    EXPECT_EQ(s.RemainByAverage, defaults.RemainByAverage);
    EXPECT_EQ(s.HideLeft, defaults.HideLeft);
    EXPECT_EQ(s.HideRight, defaults.HideRight);
    EXPECT_EQ(s.HideLeftCount, defaults.HideLeftCount);
    EXPECT_EQ(s.HideRightCount, defaults.HideRightCount);
    EXPECT_EQ(s.FontName, defaults.FontName);
    EXPECT_EQ(s.FontSize, defaults.FontSize);
    EXPECT_EQ(s.FontBold, defaults.FontBold);
    EXPECT_EQ(s.Paragraphs, defaults.Paragraphs);
    EXPECT_FALSE(s.FormatToolEnabled);
    EXPECT_EQ(overhead, kDefaultStepOverhead);

    // And back: the record fills the controls with the same values.
    SettingsControls filled;
    filled.RxSpinEditSpeedWords = 1;
    FillSettingsControls(s, filled);
    UserSettings again;
    ApplyUserSettings(filled, "0.965", "", again, overhead);
    EXPECT_EQ(again.SpeedCpm, s.SpeedCpm);
    EXPECT_EQ(filled.ComboBoxFontSize, "10");
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
    ApplyUserSettings(c, "0,97", "", s, overhead);
    EXPECT_EQ(overhead, 1.5);
    EXPECT_EQ(s.FontSize, 14);
    ApplyUserSettings(c, "", "", s, overhead);
    EXPECT_EQ(overhead, 1.5);
    c.ComboBoxFontSize = " 12 ";
    ApplyUserSettings(c, " 0.8 ", "", s, overhead);
    EXPECT_EQ(s.FontSize, 12);
    EXPECT_EQ(overhead, 0.8);
}

}  // namespace
}  // namespace lectorix
