// The command over the reading diary: stats.
#pragma once

#include <string>

#include "settings/ini_store.h"
#include "tool/tool_commands.h"

namespace lectorix {

extern const Command kStatsCommand;

// The settings a command that only reads uses: FILE of --ini (which must exist), else those of
// the program beside the tool. Throws UserError when the file is no settings file. Reading them
// creates nothing: no lock file, no temporary.
SettingsStoreChoice StoreToRead(const std::string& ini);

}  // namespace lectorix
