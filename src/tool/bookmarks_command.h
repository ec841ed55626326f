// The command over the stored bookmarks: bookmarks.
#pragma once

#include "tool/tool_commands.h"

namespace lectorix {

extern const Command kBookmarksCommand;

}  // namespace lectorix
