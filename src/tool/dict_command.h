// The commands over word dictionaries: dict build, dict check and dict pick.
#pragma once

#include "tool/tool_commands.h"

namespace lectorix {

extern const Command kDictBuildCommand;
extern const Command kDictCheckCommand;
extern const Command kDictPickCommand;
// "dict" alone or with another word: says which commands there are.
extern const Command kDictCommand;

}  // namespace lectorix
