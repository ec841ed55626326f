#include "settings/program_settings.h"

#include <exception>

#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "settings/apply_settings.h"
#include "settings/bookmarks.h"

namespace lectorix {
namespace {

// Added after the section's other values, so older files read as before.
constexpr const char* kContentsWidth = "ContentsWidth";

}  // namespace

ProgramSettings::ProgramSettings()
    : FormStorage1(MakeFormStorage1(Controls)),
      DialogAutoSet(MakeFormStorageAutoSet(DialogBookmarks)),
      MainAutoSet(MakeFormStorageAutoSet(Bookmarks)),
      FormStorageStatistic(MakeFormStorageStatistic(GlobalStatistic, DayStatistic)) {}

void ProgramSettings::SetStore(const SettingsStoreChoice& store) {
    store_ = store;
    FormStorage1.SetStore(store);
    DialogAutoSet.SetStore(store);
    FormStorageStatistic.SetStore(store);
}

void ProgramSettings::Apply(UserSettings& settings, double& stepOverhead) const {
    ApplyUserSettings(Controls, DialogAutoSet.ReadValue("PopravkaSpeed"),
                      FormStorage1.ReadValue("Access"), settings, stepOverhead);
}

void ProgramSettings::LoadUserSettings(UserSettings& settings, double& stepOverhead) {
    {
        const StoreLock lock(store_.IniFileName, StoreLock::kRead);
        const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, true);
        FormStorage1.RestoreFrom(*store);
        DialogAutoSet.RestoreFrom(*store);
    }
    Apply(settings, stepOverhead);
}

void ProgramSettings::RestoreDialogAutoSet() {
    DialogAutoSet.Restore();
}

void ProgramSettings::AcceptUserSettings(UserSettings& settings, double& stepOverhead) {
    std::exception_ptr failure;
    try {
        // Both sections in one write: the file holds either all of OK's values or none.
        const StoreLock lock(store_.IniFileName);
        const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, false);
        FormStorage1.SaveTo(*store);
        DialogAutoSet.SaveTo(*store);
        store->Save();
    } catch (const UserError&) {
        failure = std::current_exception();
    }
    Apply(settings, stepOverhead);
    if (failure) std::rethrow_exception(failure);
}

void ProgramSettings::StoreStepOverhead(const std::string& stepOverhead) {
    MainAutoSet.SetStore(store_);
    const StoreLock lock(store_.IniFileName);
    const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, false);
    MainAutoSet.RestoreFrom(*store);
    MainAutoSet.WriteValue("PopravkaSpeed", stepOverhead);
    MainAutoSet.SaveTo(*store);
    store->Save();
}

int ProgramSettings::RestoreContentsWidth() {
    const StoreLock lock(store_.IniFileName, StoreLock::kRead);
    const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, true);
    const auto text = store->Read(AutoSetSection(), kContentsWidth);
    const auto width = text ? ParseWholeNumber<int>(Trim(*text)) : std::nullopt;
    return width && *width > 0 ? *width : 0;
}

void ProgramSettings::StoreContentsWidth(int width) {
    MainAutoSet.SetStore(store_);
    const StoreLock lock(store_.IniFileName);
    const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, false);
    MainAutoSet.RestoreFrom(*store);
    MainAutoSet.WriteValue(kContentsWidth, std::to_string(width));
    MainAutoSet.SaveTo(*store);
    store->Save();
}

std::vector<std::string> ProgramSettings::RestoreBookmarks() {
    MainAutoSet.SetStore(store_);
    const StoreLock lock(store_.IniFileName, StoreLock::kRead);
    const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, true);
    MainAutoSet.RestoreFrom(*store);
    return Bookmarks;
}

void ProgramSettings::AddBookmark(const std::string& line, const std::string& tickOverhead) {
    MainAutoSet.SetStore(store_);
    const StoreLock lock(store_.IniFileName);
    const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, false);
    MainAutoSet.RestoreFrom(*store);
    AddBookmarkLine(Bookmarks, line);
    if (!tickOverhead.empty()) MainAutoSet.WriteValue("PopravkaSpeed", tickOverhead);
    MainAutoSet.SaveTo(*store);
    store->Save();
}

std::vector<std::string> ProgramSettings::DropDeadBookmarks(
    const std::function<bool(const std::string& path)>& fileExists) {
    MainAutoSet.SetStore(store_);
    const StoreLock lock(store_.IniFileName);
    const auto store = OpenSettingsStore(store_.IniFileName, store_.UseRegistry, false);
    MainAutoSet.RestoreFrom(*store);
    if (lectorix::DropDeadBookmarks(Bookmarks, fileExists)) {
        MainAutoSet.SaveTo(*store);
        store->Save();
    }
    return Bookmarks;
}

}  // namespace lectorix
