// The command over the reading diary: stats.
#pragma once

#include "tool/tool_commands.h"

namespace lectorix {

extern const Command kStatsCommand;

}  // namespace lectorix
