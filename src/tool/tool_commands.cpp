#include "tool/tool_commands.h"

#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <ostream>

#include "book/cp1251.h"
#include "book/page_builder.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book/text_wrap.h"

namespace lectorix {
namespace {

constexpr const char* kUsage =
    "Usage: lectorix-tool COMMAND [OPTIONS] FILE\n"
    "\n"
    "Commands:\n"
    "  count   print the number of letters of a text\n"
    "  wrap    wrap a text with the reader's own word wrap\n"
    "  pages   lay a text out into the reader's pages\n"
    "\n"
    "Run 'lectorix-tool COMMAND --help' for a command's options.\n";

constexpr const char* kCountHelp =
    "Usage: lectorix-tool count FILE\n"
    "Prints the letters of FILE: every character except line breaks, blanks and , . ! \" : ; ? ( ) "
    "- _ tab.\n";

constexpr const char* kWrapHelp =
    "Usage: lectorix-tool wrap --width N FILE\n"
    "Prints FILE wrapped at N columns with the wrap that books are laid out with.\n";

constexpr const char* kPagesHelp =
    "Usage: lectorix-tool pages [--chars N] [--lines N] [--repeats N] [--back K] FILE\n"
    "Lays FILE out into pages as the reader does and prints every page built.\n"
    "  --chars N    characters per line (default 22)\n"
    "  --lines N    lines per page (default 25)\n"
    "  --repeats N  times each page is shown (default 1)\n"
    "  --back K     afterwards, build up to K pages backwards (default 0)\n";

// The largest value an option takes; larger ones are surely typing errors.
constexpr long long kMaxOptionValue = 1000000;

struct UsageError {
    std::string message;
};

// Options of one subcommand: the named integer options it knows and one file.
struct ParsedArgs {
    std::map<std::string, long long> values;
    std::string file;
    bool help = false;
};

ParsedArgs ParseArgs(const std::vector<std::string>& args, size_t first,
                     const std::map<std::string, long long>& known) {
    ParsedArgs parsed;
    parsed.values = known;
    bool haveFile = false;
    for (size_t i = first; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (arg.starts_with("--") && arg.size() > 2) {
            std::string name = arg.substr(2);
            std::optional<std::string> value;
            if (const size_t eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
            }
            const auto it = parsed.values.find(name);
            if (it == parsed.values.end()) throw UsageError{"unknown option '--" + name + "'"};
            if (!value) {
                if (i + 1 >= args.size()) throw UsageError{"option '--" + name + "' needs a value"};
                value = args[++i];
            }
            long long v = 0;
            const char* b = value->data();
            const char* e = b + value->size();
            const auto [ptr, ec] = std::from_chars(b, e, v);
            if (ec != std::errc() || ptr != e || value->empty())
                throw UsageError{"option '--" + name + "' needs a whole number, not '" + *value +
                                 "'"};
            const long long minimum = name == "back" ? 0 : 1;
            if (v < minimum)
                throw UsageError{"option '--" + name + "' must be at least " +
                                 std::to_string(minimum)};
            if (v > kMaxOptionValue)
                throw UsageError{"option '--" + name + "' must be at most " +
                                 std::to_string(kMaxOptionValue)};
            it->second = v;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') throw UsageError{"unknown option '" + arg + "'"};
        if (haveFile) throw UsageError{"only one file can be given, got '" + arg + "' as well"};
        parsed.file = arg;
        haveFile = true;
    }
    if (!parsed.help && !haveFile) throw UsageError{"no file given"};
    return parsed;
}

// CP1251 with CR LF -> UTF-8 with LF.
std::string ForPrinting(std::string_view text) {
    std::string s = Cp1251ToUtf8(text);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out.push_back(s[i]);
    }
    return out;
}

int Count(const ParsedArgs& a, std::ostream& out) {
    out << CountLetters(LoadTextFile(a.file)) << '\n';
    return 0;
}

int Wrap(const ParsedArgs& a, std::ostream& out) {
    out << ForPrinting(WrapBookText(LoadTextFile(a.file), static_cast<int>(a.values.at("width"))));
    return 0;
}

void PrintPage(std::ostream& out, const char* word, const PageState& st, const PageMemo& memo) {
    out << word << ' ' << st.PageNumber << " start " << st.PageStart << " next " << st.TextPos
        << " letters " << st.LettersOnPage << " lines " << memo.Lines.size() << " empty "
        << st.EmptyLinesOnPage << '\n';
    for (const auto& line : memo.Lines)
        out << '|' << ForPrinting(line) << "|\n";
}

// What the reader does after each build before the page is shown.
void ApplyPageNumberRule(PageState& st) {
    if (st.PageStart <= 0 || st.PageNumber < 1) st.PageNumber = 1;
}

int Pages(const ParsedArgs& a, std::ostream& out) {
    UserSettings settings;
    settings.CharsPerLine = static_cast<int>(a.values.at("chars"));
    settings.LinesPerPage = static_cast<int>(a.values.at("lines"));
    settings.PageRepeats = static_cast<int>(a.values.at("repeats"));
    const long long back = a.values.at("back");

    const SourceText source(LoadTextFile(a.file));
    PageState st;
    PageMemo memo;
    while (BuildPage(st, memo, source, settings)) {
        ApplyPageNumberRule(st);
        PrintPage(out, "page", st, memo);
    }
    for (long long k = 0; k < back; ++k) {
        st.PageRepeatsLeft = 0;
        st.ReadForward = false;
        st.TextPos = st.PageStart;
        const bool built = BuildPage(st, memo, source, settings);
        st.ReadForward = true;
        if (!built) break;
        ApplyPageNumberRule(st);
        PrintPage(out, "back", st, memo);
        if (st.PageNumber == 1) break;
    }
    return 0;
}

struct Command {
    const char* help;
    std::map<std::string, long long> options;
    std::function<int(const ParsedArgs&, std::ostream&)> run;
    std::vector<std::string> required;
};

}  // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::map<std::string, Command> commands = {
        {"count", {kCountHelp, {}, Count, {}}},
        {"wrap", {kWrapHelp, {{"width", 0}}, Wrap, {"width"}}},
        {"pages",
         {kPagesHelp, {{"chars", 22}, {"lines", 25}, {"repeats", 1}, {"back", 0}}, Pages, {}}},
    };
    if (args.empty()) {
        err << "lectorix-tool: no command given; try 'lectorix-tool --help'\n";
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage;
        return 0;
    }
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        err << "lectorix-tool: unknown command '" << args[0] << "'; try 'lectorix-tool --help'\n";
        return 2;
    }
    const Command& cmd = it->second;
    try {
        const ParsedArgs parsed = ParseArgs(args, 1, cmd.options);
        if (parsed.help) {
            out << cmd.help;
            return 0;
        }
        for (const auto& name : cmd.required) {
            if (parsed.values.at(name) < 1) throw UsageError{"option '--" + name + "' is required"};
        }
        return cmd.run(parsed, out);
    } catch (const UsageError& e) {
        err << "lectorix-tool " << args[0] << ": " << e.message << '\n';
        return 2;
    } catch (const UserError& e) {
        err << "lectorix-tool " << args[0] << ": " << e.what() << '\n';
        return 2;
    }
}

}  // namespace lectorix
