#include "settings/settings_storages.h"

#include <array>
#include <iterator>

#include "book/cp1251.h"

namespace lectorix {

namespace {

using K = StoredKind;

// Ranges as the dialog's spin edits have them.
constexpr std::array<StoredProperty, 21> kFormStorage1{{
    {"CheckBoxHideLeftLetter.Checked", K::Boolean},
    {"CheckBoxHideRightLetter.Checked", K::Boolean},
    {"CheckBoxShowBottomBar.Checked", K::Boolean},
    {"CheckBoxShowCenterLine.Checked", K::Boolean},
    {"CheckBoxShowTopBar.Checked", K::Boolean},
    {"RxSpinEditCountHideLeftLetter.Value", K::Spin},
    {"RxSpinEditCountHideRightLetter.Value", K::Spin},
    {"RxSpinEditCountLetter.Value", K::Spin, 8, 80},
    {"RxSpinEditCountShowOnePage.Value", K::Spin, 1, 20},
    {"RxSpinEditCountString.Value", K::Spin, 4, 25},
    {"RxSpinEditOpenString.Value", K::Spin, 2, 20},
    {"RxSpinEditSpeedWords.Value", K::Spin},
    {"CheckBoxTransparentBar.Checked", K::Boolean},
    {"CheckBoxAutoSpeedPresent.Checked", K::Boolean},
    {"CheckBoxTimeFracAVG.Checked", K::Boolean},
    {"CheckBoxFontStyle.Checked", K::Boolean},
    {"ComboBoxFontSize.Text", K::Text},
    {"ComboBoxFontName.Text", K::Text},
    {"RxSpinEditBeginSleep.Value", K::Spin, 10, 3000},
    {"ComboBoxParagraphs.ItemIndex", K::Spin, 0, 2},  // after "Access"
    {"CheckBoxNightMode.Checked", K::Boolean},
}};

// The properties stored in front of "Access".
constexpr size_t kBeforeAccess = 19;

}  // namespace

const std::string& UserSettingSection() {
    static const std::string name = "UserSetting";
    return name;
}

const std::string& AutoSetSection() {
    static const std::string name = Utf8ToCp1251("Расщитанные параметры");
    return name;
}

const std::string& StatisticSection() {
    static const std::string name = Utf8ToCp1251("Статистика чтения");
    return name;
}

std::span<const StoredProperty> FormStorage1Properties() {
    return kFormStorage1;
}

TFormStorage MakeFormStorage1(SettingsControls& c) {
    // In the order of kFormStorage1.
    struct Field {
        bool* Flag;
        int* Number;
        std::string* Text;
    };
    const Field fields[] = {
        {&c.CheckBoxHideLeftLetter, nullptr, nullptr},
        {&c.CheckBoxHideRightLetter, nullptr, nullptr},
        {&c.CheckBoxShowBottomBar, nullptr, nullptr},
        {&c.CheckBoxShowCenterLine, nullptr, nullptr},
        {&c.CheckBoxShowTopBar, nullptr, nullptr},
        {nullptr, &c.RxSpinEditCountHideLeftLetter, nullptr},
        {nullptr, &c.RxSpinEditCountHideRightLetter, nullptr},
        {nullptr, &c.RxSpinEditCountLetter, nullptr},
        {nullptr, &c.RxSpinEditCountShowOnePage, nullptr},
        {nullptr, &c.RxSpinEditCountString, nullptr},
        {nullptr, &c.RxSpinEditOpenString, nullptr},
        {nullptr, &c.RxSpinEditSpeedWords, nullptr},
        {&c.CheckBoxTransparentBar, nullptr, nullptr},
        {&c.CheckBoxAutoSpeedPresent, nullptr, nullptr},
        {&c.CheckBoxTimeFracAVG, nullptr, nullptr},
        {&c.CheckBoxFontStyle, nullptr, nullptr},
        {nullptr, nullptr, &c.ComboBoxFontSize},
        {nullptr, nullptr, &c.ComboBoxFontName},
        {nullptr, &c.RxSpinEditBeginSleep, nullptr},
        {nullptr, &c.ComboBoxParagraphs, nullptr},
        {&c.CheckBoxNightMode, nullptr, nullptr},
    };
    static_assert(std::size(fields) == kFormStorage1.size());
    TFormStorage storage(UserSettingSection());
    for (size_t i = 0; i < kFormStorage1.size(); ++i) {
        if (i == kBeforeAccess) storage.AddNamedValue("Access", "", true);
        const StoredProperty& p = kFormStorage1[i];
        const Field& f = fields[i];
        if (f.Flag != nullptr)
            storage.AddBoolean(p.Name, *f.Flag);
        else if (f.Number != nullptr)
            storage.AddSpin(p.Name, *f.Number, p.Min, p.Max);
        else
            storage.AddText(p.Name, *f.Text);
    }
    return storage;
}

TFormStorage MakeFormStorageAutoSet(std::vector<std::string>& bookmarks) {
    TFormStorage storage(AutoSetSection());
    storage.AddStringList("ListBoxZakladka.Items", bookmarks);
    storage.AddNamedValue("PopravkaSpeed", kDefaultPopravkaSpeed);
    return storage;
}

TFormStorage MakeFormStorageStatistic(std::string& globalRecord,
                                      std::vector<std::string>& dayRecords) {
    TFormStorage storage(StatisticSection());
    storage.AddText("EditGlobalStatistic.Text", globalRecord);
    storage.AddStringList("ListBoxDataStatistic.Items", dayRecords);
    return storage;
}

}  // namespace lectorix
