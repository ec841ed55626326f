#include "tool/bookmarks_command.h"

#include <ostream>

#include "settings/bookmarks.h"
#include "settings/program_settings.h"
#include "tool/stats_command.h"
#include "tool/text_commands.h"

namespace lectorix {

namespace {

constexpr const char* kBookmarksHelp =
    "Usage: lectorix-tool bookmarks [--ini FILE]\n"
    "Prints the bookmarks kept in the settings FILE (without --ini, the settings the program\n"
    "beside this tool uses), newest first, one a line: book, caption, page, speed and file,\n"
    "separated by tabs. Lines that do not read are left out.\n";

int Bookmarks(const ParsedArgs& a, std::ostream& out) {
    ProgramSettings settings;
    settings.SetStore(StoreToRead(a.Text("ini")));
    for (const auto& line : settings.RestoreBookmarks()) {
        const auto r = ParseBookmark(line);
        if (!r) continue;
        out << ForPrinting(r->BookName) << '\t' << ForPrinting(r->Caption) << '\t' << r->PageNumber
            << '\t' << r->SpeedCpm << '\t' << ForPrinting(r->FilePath) << '\n';
    }
    return 0;
}

constexpr OptionSpec kBookmarksOptions[] = {{.Name = "ini", .Type = OptionSpec::kText}};

}  // namespace

const Command kBookmarksCommand{.Name = "bookmarks",
                                .Help = kBookmarksHelp,
                                .Options = kBookmarksOptions,
                                .Files = 0,
                                .Run = Bookmarks};

}  // namespace lectorix
