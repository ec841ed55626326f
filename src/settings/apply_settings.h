// From the settings dialog's controls to the settings record the reader reads.
#pragma once

#include <string_view>

#include "settings/settings_storages.h"
#include "settings/user_settings.h"

namespace lectorix {

// The access code that shows the formatting tool, compared exactly.
inline constexpr std::string_view kFormatToolCode = "KORVAN";

// Copies the controls into the record in the dialog's order, takes StepOverhead from the stored
// "PopravkaSpeed" and the formatting tool's switch from "Access" (as restored, unscrambled). A
// "PopravkaSpeed" or font size that is not a number keeps the value the field had.
void ApplyUserSettings(const SettingsControls& controls, std::string_view popravkaSpeed,
                       std::string_view access, UserSettings& settings, double& stepOverhead);

// The other way, for a dialog that opens on the values in use.
void FillSettingsControls(const UserSettings& settings, SettingsControls& controls);

}  // namespace lectorix
