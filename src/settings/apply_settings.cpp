#include "settings/apply_settings.h"

#include <charconv>
#include <string>

#include "book/text_helpers.h"

namespace lectorix {
namespace {

// A whole decimal text, blanks around it allowed; false for anything else.
bool ParseInt(std::string_view text, int& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
    value = v;
    return true;
}

// A decimal number with "." whatever the locale; false for anything else.
bool ParseDouble(std::string_view text, double& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
    value = v;
    return true;
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
    ParseDouble(popravkaSpeed, stepOverhead);
    s.FormatToolEnabled = access == kFormatToolCode;
    s.FontName = c.ComboBoxFontName;
    ParseInt(c.ComboBoxFontSize, s.FontSize);
    s.FontBold = c.CheckBoxFontStyle;
    s.PageStartDelayMs = c.RxSpinEditBeginSleep;
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
}

}  // namespace lectorix
