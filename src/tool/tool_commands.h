// The command-line companion: shows the text core's work to users and to scripts.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "tool/tool_args.h"

namespace lectorix {

// One command of the tool: what it is called, what its --help prints, what it takes and what
// runs it. `Run` returns the exit status and throws UserError for an unreadable file.
struct Command {
    const char* Name;
    const char* Help;
    std::span<const OptionSpec> Options;
    size_t Files = 1;
    int (*Run)(const ParsedArgs& args, std::ostream& out) = nullptr;
    bool MoreFiles = false;  // Files is the least number of files
};

// A file a command was given could not be made into what it makes; the message names the file
// and the reason. The status is 1, as for a file without text.
struct FileFailure {
    std::string Message;
};

// Runs `lectorix-tool` with `args` (without the program name). Returns the exit status:
// 0 on success, 2 on bad arguments or an unreadable file, 1 for a file without text or one that
// could not be converted.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lectorix
