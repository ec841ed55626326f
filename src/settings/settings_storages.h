// The program's form storages: which properties of which controls stand in which section.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "settings/form_storage.h"

namespace lectorix {

// Section names, in CP1251 as they stand in the file.
const std::string& UserSettingSection();  // "UserSetting"
const std::string& AutoSetSection();    // "Расщитанные параметры" (spelled so)
const std::string& StatisticSection();  // "Статистика чтения"

inline constexpr const char* kDefaultPopravkaSpeed = "0.965";

// One stored property of the settings dialog; both bounds 0 means a spin edit without range.
struct StoredProperty {
    const char* Name;  // "Component.Property"
    StoredKind Kind;
    double Min = 0;
    double Max = 0;
};

// The properties of FormStorage1, in the order they are stored.
std::span<const StoredProperty> FormStorage1Properties();

// The dialog's controls as plain values, with their design-time contents.
struct SettingsControls {
    bool CheckBoxHideLeftLetter = false;
    bool CheckBoxHideRightLetter = false;
    bool CheckBoxShowBottomBar = true;
    bool CheckBoxShowCenterLine = true;
    bool CheckBoxShowTopBar = true;
    int RxSpinEditCountHideLeftLetter = 0;
    int RxSpinEditCountHideRightLetter = 0;
    int RxSpinEditCountLetter = 22;
    int RxSpinEditCountShowOnePage = 1;
    int RxSpinEditCountString = 25;
    int RxSpinEditOpenString = 6;
    int RxSpinEditSpeedWords = 1000;
    bool CheckBoxTransparentBar = true;
    bool CheckBoxAutoSpeedPresent = true;
    bool CheckBoxTimeFracAVG = true;
    bool CheckBoxFontStyle = false;
    std::string ComboBoxFontSize = "10";
    std::string ComboBoxFontName = "Courier New";
    int RxSpinEditBeginSleep = 1000;
    int ComboBoxParagraphs = 0;  // its ItemIndex: by the text, every line, indents and blank lines
    bool CheckBoxNightMode = false;
};

// "UserSetting": the properties above, the scrambled named value "Access" (empty) and, added
// later and so stored last, ComboBoxParagraphs.ItemIndex and CheckBoxNightMode.Checked (older
// files, which lack them, read as before). The storage keeps references to `controls`.
TFormStorage MakeFormStorage1(SettingsControls& controls);
// "Расщитанные параметры": ListBoxZakladka.Items and "PopravkaSpeed" ("0.965").
TFormStorage MakeFormStorageAutoSet(std::vector<std::string>& bookmarks);
// "Статистика чтения": EditGlobalStatistic.Text and ListBoxDataStatistic.Items.
TFormStorage MakeFormStorageStatistic(std::string& globalRecord,
                                      std::vector<std::string>& dayRecords);

}  // namespace lectorix
