// The command-line companion: shows the text core's work to users and to scripts.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lectorix {

// Runs `lectorix-tool` with `args` (without the program name). Returns the exit status:
// 0 on success, 2 on bad arguments or an unreadable file.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lectorix
