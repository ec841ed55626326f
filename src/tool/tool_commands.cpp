#include "tool/tool_commands.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>

#include "book/book_trailer.h"
#include "book/chapter_cursor.h"
#include "book/cp1251.h"
#include "book/page_builder.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book/text_wrap.h"
#include "formatter/book_writer.h"
#include "settings/program_settings.h"
#include "stats/reading_diary.h"
#include "stats/statistics_reports.h"

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
    "  stats   print the reading diary\n"
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

constexpr const char* kBookHelp =
    "Usage: lectorix-tool book [--chars N] [--lines N] FILE\n"
    "Prints the header and the contents of a book with the page of every entry.\n"
    "  --chars N    characters per line (default 22)\n"
    "  --lines N    lines per page (default 25)\n";

constexpr const char* kFormatHelp =
    "Usage: lectorix-tool format [--author A] [--title T] [--first-name F] [--last-name L]\n"
    "                            [--genre G] [--subgenre S] [--id I] [--copyright C]\n"
    "                            [--source S] IN OUT\n"
    "Makes a book of the text IN: every line after blank lines becomes a contents entry.\n"
    "OUT is written in code page 1251 with CR LF line ends.\n";

constexpr const char* kStatsHelp =
    "Usage: lectorix-tool stats [--ini FILE] [--csv]\n"
    "Prints today's, the global and the by-date reports of the reading diary kept in the\n"
    "settings FILE (without --ini, the settings the program beside this tool uses).\n"
    "With --csv, prints the days oldest first as date,letters,speed,minutes instead.\n";

// The largest value an option takes; larger ones are surely typing errors.
constexpr long long kMaxOptionValue = 1000000;

struct UsageError {
    std::string message;
};

// Options of one subcommand: the named integer options it knows and one file.
struct ParsedArgs {
    std::map<std::string, long long> values;
    std::map<std::string, std::string> texts;
    std::vector<std::string> files;
    std::map<std::string, bool> flags;
    bool help = false;
    const std::string& file() const { return files.front(); }
};

ParsedArgs ParseArgs(const std::vector<std::string>& args, size_t first,
                     const std::map<std::string, long long>& known,
                     const std::map<std::string, std::string>& knownTexts, size_t fileCount,
                     const std::map<std::string, bool>& knownFlags) {
    ParsedArgs parsed;
    parsed.values = known;
    parsed.texts = knownTexts;
    parsed.flags = knownFlags;
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
            if (const auto flag = parsed.flags.find(name); flag != parsed.flags.end()) {
                if (value) throw UsageError{"option '--" + name + "' takes no value"};
                flag->second = true;
                continue;
            }
            const auto it = parsed.values.find(name);
            const auto textIt = parsed.texts.find(name);
            if (it == parsed.values.end() && textIt == parsed.texts.end())
                throw UsageError{"unknown option '--" + name + "'"};
            if (!value) {
                if (i + 1 >= args.size()) throw UsageError{"option '--" + name + "' needs a value"};
                value = args[++i];
            }
            if (textIt != parsed.texts.end()) {
                textIt->second = *value;
                continue;
            }
            const auto number = ParseWholeNumber<long long>(*value);
            if (!number)
                throw UsageError{"option '--" + name + "' needs a whole number, not '" + *value +
                                 "'"};
            const long long v = *number;
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
        if (parsed.files.size() == fileCount)
            throw UsageError{"too many files: '" + arg + "' is one more than " +
                             std::to_string(fileCount)};
        parsed.files.push_back(arg);
    }
    if (!parsed.help && parsed.files.size() < fileCount)
        throw UsageError{fileCount == 1 ? "no file given"
                                        : "needs " + std::to_string(fileCount) + " files"};
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
    out << CountLetters(LoadTextFile(a.file())) << '\n';
    return 0;
}

int Wrap(const ParsedArgs& a, std::ostream& out) {
    out << ForPrinting(
        WrapBookText(LoadTextFile(a.file()), static_cast<int>(a.values.at("width"))));
    return 0;
}

void PrintPage(std::ostream& out, const char* word, const PageState& st, const PageMemo& memo) {
    out << word << ' ' << st.PageNumber << " start " << st.PageStart << " next " << st.TextPos
        << " letters " << st.LettersOnPage << " lines " << memo.Lines.size() << " empty "
        << st.EmptyLinesOnPage << '\n';
    for (const auto& line : memo.Lines)
        out << '|' << ForPrinting(line) << "|\n";
}

PageLayout PageSettings(const ParsedArgs& a) {
    PageLayout settings;
    settings.CharsPerLine = static_cast<int>(a.values.at("chars"));
    settings.LinesPerPage = static_cast<int>(a.values.at("lines"));
    if (a.values.count("repeats")) settings.PageRepeats = static_cast<int>(a.values.at("repeats"));
    return settings;
}

int Pages(const ParsedArgs& a, std::ostream& out) {
    const PageLayout settings = PageSettings(a);
    const long long back = a.values.at("back");

    std::string text = LoadTextFile(a.file());
    BookContents book;
    const bool bookMode = ParseBookTrailer(text, book);
    const SourceText source(std::move(text));
    BookChapterCursor cursor(book, settings.CharsPerLine, settings.LinesPerPage);
    PageState st;
    PageMemo memo;
    if (bookMode) {
        ComputeChapterPages(book, settings.CharsPerLine, settings.LinesPerPage);
        st.BookMode = true;
        // The first page is the jump to the first contents entry.
        cursor.EnterEntry(0);
        st.TextPos = book.ContentsEntries.front().Pos;
        st.PageNumber = book.ContentsEntries.front().Page - 1;
    }
    ChapterCursor* chapters = bookMode ? &cursor : nullptr;
    while (BuildPage(st, memo, source, settings, chapters)) {
        ApplyPageNumberRule(st);
        PrintPage(out, "page", st, memo);
    }
    for (long long k = 0; k < back; ++k) {
        st.PageRepeatsLeft = 0;
        st.ReadForward = false;
        st.TextPos = st.PageStart;
        const bool built = BuildPage(st, memo, source, settings, chapters);
        st.ReadForward = true;
        if (!built) break;
        ApplyPageNumberRule(st);
        PrintPage(out, "back", st, memo);
        if (st.PageNumber == 1) break;
    }
    return 0;
}

int Book(const ParsedArgs& a, std::ostream& out) {
    const PageLayout settings = PageSettings(a);
    std::string text = LoadTextFile(a.file());
    BookContents book;
    const bool isBook = ParseBookTrailer(text, book);
    const BookHeader& h = book.Header;
    out << "book " << (isBook ? 1 : 0) << '\n';
    const std::pair<const char*, const std::string*> fields[] = {
        {"author", &h.BookAuthor},
        {"title", &h.BookTitle},
        {"firstname", &h.BookAuthorFirstName},
        {"lastname", &h.BookAuthorLastName},
        {"genre", &h.BookGenre},
        {"subgenre", &h.BookSubgenre},
        {"id", &h.BookId},
        {"copyright", &h.BookCopyright},
        {"source", &h.BookSource}};
    for (const auto& [name, value] : fields)
        out << name << ' ' << ForPrinting(*value) << '\n';
    if (!isBook) return 0;
    const int totalPages = ComputeChapterPages(book, settings.CharsPerLine, settings.LinesPerPage);
    out << "entries " << book.ContentsCount << '\n';
    for (int i = 0; i < book.ContentsCount; ++i) {
        const ContentsEntry& e = book.ContentsEntries[static_cast<size_t>(i)];
        const ContentsNode& n = book.Nodes[static_cast<size_t>(i)];
        out << "entry " << i << " level " << n.Level << " page " << e.Page << " lastlines "
            << e.LastPageLines << " pos " << e.Pos << " letters " << e.Letters << " node "
            << ForPrinting(n.Text) << '\n';
    }
    const ContentsEntry& totals = book.ContentsEntries.back();
    out << "totals pos " << totals.Pos << " letters " << totals.Letters << '\n';
    out << "totalpages " << totalPages << " totalletters " << totals.Letters << '\n';
    return 0;
}

// Command-line values come as UTF-8; the book keeps CP1251.
std::string HeaderValue(const std::string& value) {
    return IsValidUtf8(value) ? Utf8ToCp1251(value) : value;
}

int Format(const ParsedArgs& a, std::ostream& /*out*/) {
    BookHeader h;
    h.BookAuthor = HeaderValue(a.texts.at("author"));
    h.BookTitle = HeaderValue(a.texts.at("title"));
    h.BookAuthorFirstName = HeaderValue(a.texts.at("first-name"));
    h.BookAuthorLastName = HeaderValue(a.texts.at("last-name"));
    h.BookGenre = HeaderValue(a.texts.at("genre"));
    h.BookSubgenre = HeaderValue(a.texts.at("subgenre"));
    h.BookId = HeaderValue(a.texts.at("id"));
    h.BookCopyright = HeaderValue(a.texts.at("copyright"));
    h.BookSource = HeaderValue(a.texts.at("source"));
    std::string book = BuildBookStructure(LoadTextFile(a.files[0]), h);
    ComputeBookLineCounts(book);
    WriteFileBytes(a.files[1], book);
    return 0;
}

// The store the program beside this tool would choose, found without creating anything.
SettingsStoreChoice ProgramStore() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string program = (self.parent_path() / "lectorix").string();
    StoreProbe probe;
    probe.CreateEmpty = [](const std::string& path) {
        const auto folder = std::filesystem::path(path).parent_path();
        return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
    };
    return ChooseSettingsStore(program, probe);
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

int Stats(const ParsedArgs& a, std::ostream& out) {
    const std::string& ini = a.texts.at("ini");
    ProgramSettings settings;
    settings.SetStore(ini.empty() ? ProgramStore() : SettingsStoreChoice{ini, false});
    if (!ini.empty() && !std::filesystem::exists(ini))
        throw UserError("Файл настроек «" + ini + "» не найден.");
    const Diary diary = RestoreDiary(settings);
    if (a.flags.at("csv")) {
        out << "date,letters,speed,minutes\n";
        for (auto day = diary.Days.rbegin(); day != diary.Days.rend(); ++day) {
            const DayRecord record = SplitDayRecord(*day);
            const std::string date = Cp1251ToUtf8(record.Date);
            const std::int64_t letters = record.Letters;
            const std::int64_t speed = record.Speed;
            char minutes[32];
            std::snprintf(
                minutes, sizeof minutes, "%.2f",
                speed > 0 ? static_cast<double>(letters) / static_cast<double>(speed) : 0.0);
            out << CsvField(date) << ',' << letters << ',' << speed << ',' << minutes << '\n';
        }
        return 0;
    }
    const StatisticTexts t = BuildReadingStatistics({}, diary, LocalToday());
    out << ForPrinting(t.Report2) << '\n'
        << ForPrinting(t.Report3) << '\n'
        << ForPrinting(t.Report4);
    return 0;
}

struct Command {
    const char* help;
    std::map<std::string, long long> options;
    std::function<int(const ParsedArgs&, std::ostream&)> run;
    std::vector<std::string> required;
    std::map<std::string, std::string> texts;
    size_t files = 1;
    std::map<std::string, bool> flags;
};

}  // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::map<std::string, Command> commands = {
        {"count", {kCountHelp, {}, Count, {}, {}, 1, {}}},
        {"wrap", {kWrapHelp, {{"width", 0}}, Wrap, {"width"}, {}, 1, {}}},
        {"pages",
         {kPagesHelp,
          {{"chars", 22}, {"lines", 25}, {"repeats", 1}, {"back", 0}},
          Pages,
          {},
          {},
          1,
          {}}},
        {"book", {kBookHelp, {{"chars", 22}, {"lines", 25}}, Book, {}, {}, 1, {}}},
        {"format",
         {kFormatHelp,
          {},
          Format,
          {},
          {{"author", ""},
           {"title", ""},
           {"first-name", ""},
           {"last-name", ""},
           {"genre", ""},
           {"subgenre", ""},
           {"id", ""},
           {"copyright", ""},
           {"source", ""}},
          2,
          {}}},
        {"stats", {kStatsHelp, {}, Stats, {}, {{"ini", ""}}, 0, {{"csv", false}}}},
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
        const ParsedArgs parsed = ParseArgs(args, 1, cmd.options, cmd.texts, cmd.files, cmd.flags);
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
