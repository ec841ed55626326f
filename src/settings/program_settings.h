// The settings the program keeps: the dialog's controls and hidden lists, the main window's
// bookmark list and the reading diary, each bound to its form storage, all on one store.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "settings/form_storage.h"
#include "settings/settings_storages.h"
#include "settings/user_settings.h"

namespace lectorix {

class ProgramSettings {
  public:
    ProgramSettings();
    ProgramSettings(const ProgramSettings&) = delete;
    ProgramSettings& operator=(const ProgramSettings&) = delete;

    // Points the dialog's two storages and the diary at the store; the main window's bookmark
    // storage gets it before each of its saves and restores.
    void SetStore(const SettingsStoreChoice& store);
    const SettingsStoreChoice& Store() const { return store_; }

    // Restores FormStorage1 and the dialog's FormStorageAutoSet, then applies them.
    void LoadUserSettings(UserSettings& settings, double& stepOverhead);
    // Re-reads what the dialog keeps besides its controls (its bookmark list and
    // "PopravkaSpeed"), when it opens.
    void RestoreDialogAutoSet();
    // After OK: saves FormStorage1 and the dialog's FormStorageAutoSet, then applies them. The
    // record is applied even when the save fails; the UserError is thrown afterwards.
    void AcceptUserSettings(UserSettings& settings, double& stepOverhead);
    // The CPU test's result into "PopravkaSpeed" of the main window's FormStorageAutoSet:
    // restored, changed and saved under the store's lock. Throws UserError when the save fails.
    void StoreStepOverhead(const std::string& stepOverhead);

    // The bookmark list of the main window, each operation a restore, change and save under the
    // store's lock, so two copies of the program adding bookmarks at once lose none.
    // RestoreBookmarks only reads (and creates nothing).
    std::vector<std::string> RestoreBookmarks();
    // Adds the bookmark at the top (AddBookmarkLine) and stores `tickOverhead` as
    // "PopravkaSpeed" unless it is empty. Throws UserError when the save fails.
    void AddBookmark(const std::string& line, const std::string& tickOverhead);
    // Drops the bookmarks that do not read or whose file is gone, saving only when some went;
    // returns the list as it now stands.
    std::vector<std::string> DropDeadBookmarks(
        const std::function<bool(const std::string& path)>& fileExists);

    // The main window's contents panel width as the user left it ("ContentsWidth" at the end of
    // "Расщитанные параметры"); 0 when it was never stored or does not read. Storing throws
    // UserError when the save fails.
    int RestoreContentsWidth();
    void StoreContentsWidth(int width);

    // Bound to the storages below; change them only between a restore and a save.
    SettingsControls Controls;
    std::vector<std::string> DialogBookmarks;  // the dialog's hidden copy of the bookmark list
    std::vector<std::string> Bookmarks;        // the main window's bookmark list
    std::string GlobalStatistic;
    std::vector<std::string> DayStatistic;

    TFormStorage FormStorage1;
    TFormStorage DialogAutoSet;
    TFormStorage MainAutoSet;
    TFormStorage FormStorageStatistic;

  private:
    void Apply(UserSettings& settings, double& stepOverhead) const;
    SettingsStoreChoice store_;
};

}  // namespace lectorix
