#include "app/user_settings_window.h"

#include "app/form_book.h"
#include "gui/dialogs.h"
#include "settings/form_user_setting.h"
#include "settings/program_settings.h"

namespace lectorix {

bool ShowUserSettings(TFormUserSetting& dialog, ProgramSettings& settings, ReadingEngine& engine) {
    settings.RestoreDialogAutoSet();
    // The speed keys change the speed in use without the dialog; it opens on that speed, so
    // OK keeps it. The other options change only here, so the controls hold them already.
    SettingsControls shown = settings.Controls;
    shown.RxSpinEditSpeedWords = engine.Settings.SpeedCpm;
    dialog.WriteControls(shown);
    if (dialog.exec() == QDialog::Accepted) {
        dialog.ReadControls(settings.Controls);
        ReportUserError(dialog.parentWidget(),
                        [&] { settings.AcceptUserSettings(engine.Settings, engine.StepOverhead); });
        return true;
    }
    // Restoring never fails: an unreadable store leaves the values as they are.
    settings.LoadUserSettings(engine.Settings, engine.StepOverhead);
    return false;
}

void ConnectUserSettings(TFormBook& form, TFormUserSetting& dialog, ProgramSettings& settings) {
    form.Seams.ShowUserSettings = [&form, &dialog, &settings] {
        return ShowUserSettings(dialog, settings, form.Engine());
    };
    form.Seams.StoreStepOverhead = [&form, &settings](const std::string& stepOverhead) {
        ReportUserError(&form, [&] { settings.StoreStepOverhead(stepOverhead); });
    };
    form.Seams.RestoreContentsWidth = [&settings] { return settings.RestoreContentsWidth(); };
    form.Seams.StoreContentsWidth = [&form, &settings](int width) {
        ReportUserError(&form, [&] { settings.StoreContentsWidth(width); });
    };
}

}  // namespace lectorix
