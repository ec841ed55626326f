#include "tool/tool_commands.h"

#include <ostream>

#include "book/text_loader.h"
#include "tool/bookmarks_command.h"
#include "tool/dict_command.h"
#include "tool/stats_command.h"
#include "tool/text_commands.h"

namespace lectorix {

namespace {

constexpr const char* kUsage =
    "Usage: lectorix-tool COMMAND [OPTIONS] FILE\n"
    "\n"
    "Commands:\n"
    "  count   print the number of letters of a text\n"
    "  wrap    wrap a text with the reader's own word wrap\n"
    "  pages   lay a text out into the reader's pages\n"
    "  book    print the header and contents of a book\n"
    "  format  make a book of a text\n"
    "  convert write an FB2 or EPUB book as the reader's book file\n"
    "  stats   print the reading diary\n"
    "  bookmarks  print the stored bookmarks\n"
    "  dict    build, check and draw from word dictionaries (dict build|check|pick)\n"
    "\n"
    "Run 'lectorix-tool COMMAND --help' for a command's options.\n";

const Command* const kCommands[] = {&kCountCommand, &kWrapCommand,     &kPagesCommand,
                                    &kBookCommand,  &kFormatCommand,   &kConvertCommand,
                                    &kStatsCommand, &kBookmarksCommand};
// Commands named by two words ("dict build"), and the group's own entry for anything else.
const Command* const kSubcommands[] = {&kDictBuildCommand, &kDictCheckCommand, &kDictPickCommand,
                                       &kDictCommand};

const Command* FindCommand(const std::string& name) {
    for (const Command* c : kCommands)
        if (name == c->Name) return c;
    for (const Command* c : kSubcommands)
        if (name == c->Name) return c;
    return nullptr;
}

}  // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "lectorix-tool: no command given; try 'lectorix-tool --help'\n";
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage;
        return 0;
    }
    const Command* cmd = args.size() > 1 ? FindCommand(args[0] + " " + args[1]) : nullptr;
    const size_t words = cmd != nullptr ? 2 : 1;
    if (cmd == nullptr) cmd = FindCommand(args[0]);
    if (cmd == nullptr) {
        err << "lectorix-tool: unknown command '" << args[0] << "'; try 'lectorix-tool --help'\n";
        return 2;
    }
    try {
        const ParsedArgs parsed =
            ParseArgs(std::span(args).subspan(words), cmd->Options, cmd->Files, cmd->MoreFiles);
        if (parsed.Help) {
            out << cmd->Help;
            return 0;
        }
        return cmd->Run(parsed, out);
    } catch (const UsageError& e) {
        err << "lectorix-tool " << args[0] << ": " << e.Message << '\n';
        return 2;
    } catch (const FileFailure& e) {
        err << "lectorix-tool " << args[0] << ": " << e.Message << '\n';
        return 1;
    } catch (const NotTextError& e) {
        err << "lectorix-tool " << args[0] << ": " << e.what() << '\n';
        return 1;
    } catch (const UserError& e) {
        err << "lectorix-tool " << args[0] << ": " << e.what() << '\n';
        return 2;
    }
}

}  // namespace lectorix
