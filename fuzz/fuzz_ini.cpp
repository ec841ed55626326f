// Reads any bytes as the settings file and restores the program's three storages from it, in
// the ini file's way and in the user file's. Nothing may crash or allocate without bound, and
// saving what was restored and restoring that again must give the same values.
#include <cstdint>
#include <string>
#include <vector>

#include "book/cp1251.h"
#include "fuzz_checks.h"
#include "settings/settings_storages.h"

using namespace lectorix;

namespace {

struct Values {
    SettingsControls controls;
    std::vector<std::string> bookmarks, days;
    std::string global;
    std::string access, popravka;

    bool operator==(const Values& o) const {
        const SettingsControls &a = controls, &b = o.controls;
        return a.CheckBoxHideLeftLetter == b.CheckBoxHideLeftLetter &&
               a.CheckBoxHideRightLetter == b.CheckBoxHideRightLetter &&
               a.CheckBoxShowBottomBar == b.CheckBoxShowBottomBar &&
               a.CheckBoxShowCenterLine == b.CheckBoxShowCenterLine &&
               a.CheckBoxShowTopBar == b.CheckBoxShowTopBar &&
               a.RxSpinEditCountHideLeftLetter == b.RxSpinEditCountHideLeftLetter &&
               a.RxSpinEditCountHideRightLetter == b.RxSpinEditCountHideRightLetter &&
               a.RxSpinEditCountLetter == b.RxSpinEditCountLetter &&
               a.RxSpinEditCountShowOnePage == b.RxSpinEditCountShowOnePage &&
               a.RxSpinEditCountString == b.RxSpinEditCountString &&
               a.RxSpinEditOpenString == b.RxSpinEditOpenString &&
               a.RxSpinEditSpeedWords == b.RxSpinEditSpeedWords &&
               a.CheckBoxTransparentBar == b.CheckBoxTransparentBar &&
               a.CheckBoxAutoSpeedPresent == b.CheckBoxAutoSpeedPresent &&
               a.CheckBoxTimeFracAVG == b.CheckBoxTimeFracAVG &&
               a.CheckBoxFontStyle == b.CheckBoxFontStyle &&
               a.ComboBoxFontSize == b.ComboBoxFontSize &&
               a.ComboBoxFontName == b.ComboBoxFontName &&
               a.RxSpinEditBeginSleep == b.RxSpinEditBeginSleep && bookmarks == o.bookmarks &&
               days == o.days && global == o.global && access == o.access && popravka == o.popravka;
    }
};

// The three storages over one set of values, restored from the defaults.
struct Storages {
    Values v;
    TFormStorage s1 = MakeFormStorage1(v.controls);
    TFormStorage autoSet = MakeFormStorageAutoSet(v.bookmarks);
    TFormStorage statistic = MakeFormStorageStatistic(v.global, v.days);

    explicit Storages(const SettingsStore& store) {
        s1.RestoreFrom(store);
        autoSet.RestoreFrom(store);
        statistic.RestoreFrom(store);
        v.access = s1.ReadValue("Access");
        v.popravka = autoSet.ReadValue("PopravkaSpeed");
        FUZZ_CHECK(v.bookmarks.size() <= size_t{TFormStorage::kMaxListLines}, "%zu bookmarks",
                   v.bookmarks.size());
        FUZZ_CHECK(v.days.size() <= size_t{TFormStorage::kMaxListLines}, "%zu days", v.days.size());
        FUZZ_CHECK(v.controls.RxSpinEditOpenString >= 2 && v.controls.RxSpinEditOpenString <= 20,
                   "open lines %d", v.controls.RxSpinEditOpenString);
    }
    void SaveTo(SettingsStore& store) const {
        s1.SaveTo(store);
        autoSet.SaveTo(store);
        statistic.SaveTo(store);
    }
};

template <class Store>
void CheckRoundTrip(const IniDocument& doc) {
    Store first("", true);
    first.SetDocument(doc);
    const Storages restored(first);
    // Saved over the same document, as the program saves over the file it read.
    restored.SaveTo(first);
    const std::string bytes = first.Document().Serialize();
    // CP1251 that happens to be valid UTF-8 is read as UTF-8: the file cannot tell the two.
    std::string unused;
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (TryUtf8ToCp1251(bytes, unused)) return;
            break;
        }
    Store second("", true);
    second.SetDocument(IniDocument::Parse(bytes));
    const Storages again(second);
    FUZZ_CHECK(again.v == restored.v, "values changed after a save and a restore (%zu bytes)",
               bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const IniDocument doc =
        IniDocument::Parse(std::string(reinterpret_cast<const char*>(data), size));
    CheckRoundTrip<IniFileStore>(doc);
    CheckRoundTrip<UserFileStore>(doc);
    return 0;
}
