// The settings dialog wired to the main window and the settings store.
#pragma once

class QWidget;

namespace lectorix {

class ProgramSettings;
class ReadingEngine;
class TFormBook;
class TFormUserSetting;

// Re-reads the dialog's bookmark copy and "PopravkaSpeed", shows the dialog on the values in
// use and returns true when it was closed with OK, after saving and applying them. Any other
// close puts the stored values back into the record and returns false. A save that fails is
// shown; the new values stay in use.
bool ShowUserSettings(TFormUserSetting& dialog, ProgramSettings& settings, ReadingEngine& engine);

// Plugs the dialog and the store into the main window: "Свойства" and the CPU test's result.
void ConnectUserSettings(TFormBook& form, TFormUserSetting& dialog, ProgramSettings& settings);

}  // namespace lectorix
