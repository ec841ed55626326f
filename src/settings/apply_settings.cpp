#include "settings/apply_settings.h"

#include <algorithm>
#include <string>

#include "book/text_helpers.h"

namespace lectorix {
namespace {

// A number kept as text, blanks around it allowed; anything else leaves `value` as it was.
template <typename Number>
void ReadNumber(std::string_view text, Number& value) {
    if (const auto v = ParseWholeNumber<Number>(Trim(text), PlusSign::Allowed)) value = *v;
}

}  // namespace

void ApplyUserSettings(const SettingsControls& c, std::string_view popravkaSpeed,
                       std::string_view access, UserSettings& s, double& stepOverhead) {
    s.SpeedCpm = c.RxSpinEditSpeedWords;
    s.ShowTopBar = c.CheckBoxShowTopBar;
    s.ShowBottomBar = c.CheckBoxShowBottomBar;
    s.ShowCenterLine = c.CheckBoxShowCenterLine;
    s.OpenLines = c.RxSpinEditOpenString;
    s.CharsPerLine = c.RxSpinEditCountLetter;
    s.LinesPerPage = c.RxSpinEditCountString;
    s.HideLeft = c.CheckBoxHideLeftLetter;
    s.HideRight = c.CheckBoxHideRightLetter;
    s.HideLeftCount = c.RxSpinEditCountHideLeftLetter;
    s.HideRightCount = c.RxSpinEditCountHideRightLetter;
    s.PageRepeats = c.RxSpinEditCountShowOnePage;
    s.TransparentBar = c.CheckBoxTransparentBar;
    s.AutoSpeedIncrease = c.CheckBoxAutoSpeedPresent;
    s.RemainByAverage = c.CheckBoxTimeFracAVG;
    ReadNumber(popravkaSpeed, stepOverhead);
    s.FormatToolEnabled = access == kFormatToolCode;
    s.FontName = c.ComboBoxFontName;
    ReadNumber(c.ComboBoxFontSize, s.FontSize);
    s.FontBold = c.CheckBoxFontStyle;
    s.PageStartDelayMs = c.RxSpinEditBeginSleep;
    s.Paragraphs = static_cast<LineParagraphs>(std::clamp(c.ComboBoxParagraphs, 0, 2));
    s.NightMode = c.CheckBoxNightMode;
}

void FillSettingsControls(const UserSettings& s, SettingsControls& c) {
    c.RxSpinEditSpeedWords = s.SpeedCpm;
    c.CheckBoxShowTopBar = s.ShowTopBar;
    c.CheckBoxShowBottomBar = s.ShowBottomBar;
    c.CheckBoxShowCenterLine = s.ShowCenterLine;
    c.RxSpinEditOpenString = s.OpenLines;
    c.RxSpinEditCountLetter = s.CharsPerLine;
    c.RxSpinEditCountString = s.LinesPerPage;
    c.CheckBoxHideLeftLetter = s.HideLeft;
    c.CheckBoxHideRightLetter = s.HideRight;
    c.RxSpinEditCountHideLeftLetter = s.HideLeftCount;
    c.RxSpinEditCountHideRightLetter = s.HideRightCount;
    c.RxSpinEditCountShowOnePage = s.PageRepeats;
    c.CheckBoxTransparentBar = s.TransparentBar;
    c.CheckBoxAutoSpeedPresent = s.AutoSpeedIncrease;
    c.CheckBoxTimeFracAVG = s.RemainByAverage;
    c.ComboBoxFontName = s.FontName;
    c.ComboBoxFontSize = std::to_string(s.FontSize);
    c.CheckBoxFontStyle = s.FontBold;
    c.RxSpinEditBeginSleep = s.PageStartDelayMs;
    c.ComboBoxParagraphs = static_cast<int>(s.Paragraphs);
    c.CheckBoxNightMode = s.NightMode;
}

}  // namespace lectorix
