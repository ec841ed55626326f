#include "tool/text_commands.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "book/chapter_cursor.h"
#include "book/cp1251.h"
#include "book/file_save.h"
#include "book/page_builder.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "book/text_wrap.h"
#include "formatter/book_writer.h"
#include "formatter/document_loader.h"

namespace lectorix {

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

namespace {

constexpr const char* kCountHelp =
    "Usage: lectorix-tool count FILE\n"
    "Prints the letters of FILE: every character except line breaks, blanks and , . ! \" : ; ? ( ) "
    "- _ tab.\n";

constexpr const char* kWrapHelp =
    "Usage: lectorix-tool wrap --width N FILE\n"
    "Prints FILE wrapped at N columns with the wrap that books are laid out with.\n";

constexpr const char* kPagesHelp =
    "Usage: lectorix-tool pages [--chars N] [--lines N] [--repeats N] [--back K]\n"
    "                           [--line-paragraphs auto|on|off] FILE\n"
    "Lays FILE out into pages as the reader does and prints every page built.\n"
    "  --chars N    characters per line (default 22)\n"
    "  --lines N    lines per page (default 25)\n"
    "  --repeats N  times each page is shown (default 1)\n"
    "  --back K     afterwards, build up to K pages backwards (default 0)\n"
    "  --line-paragraphs auto|on|off\n"
    "               whether every line of a plain text is a paragraph: as its long lines\n"
    "               show (auto, the default), always, or never (only indents and blank\n"
    "               lines open a paragraph)\n";

constexpr const char* kBookHelp =
    "Usage: lectorix-tool book [--chars N] [--lines N] FILE\n"
    "Prints the header and the contents of a book with the page of every entry.\n"
    "  --chars N    characters per line (default 22)\n"
    "  --lines N    lines per page (default 25)\n";

constexpr const char* kConvertHelp =
    "Usage: lectorix-tool convert IN OUT\n"
    "Writes the book the reader makes of the FB2 or EPUB book IN (an FB2 in a zip too) to OUT,\n"
    "a book file (.lxb) in code page 1251 with CR LF line ends. A plain text is refused:\n"
    "'lectorix-tool format' makes a book of a text.\n";

constexpr const char* kFormatHelp =
    "Usage: lectorix-tool format [--author A] [--title T] [--first-name F] [--last-name L]\n"
    "                            [--genre G] [--subgenre S] [--id I] [--copyright C]\n"
    "                            [--source S] [--auto-headings] [--join] [--drop-empty]\n"
    "                            [--separator N [--more|--equal]] IN OUT\n"
    "Makes a book of the text IN: every line after blank lines becomes a contents entry, and so\n"
    "does the first line when there are any. OUT is written in code page 1251 with CR LF line\n"
    "ends. The clean-up operations of the formatting tool run first, in the order given:\n"
    "  --auto-headings  find the headings (parts, chapters, numbers, * * *) and give the\n"
    "                   contents their levels; other blank lines go (\"Автооглавление\")\n"
    "  --join           join the lines of paragraphs wrapped by hand (\"Выпрямить\")\n"
    "  --drop-empty     remove the empty lines (\"Enter\")\n"
    "  --separator N    an empty line before the lines indented by more than N blanks, or\n"
    "                   with --equal by exactly N (\"разделитель\")\n";

// The failure of a command as one line for stderr, with status 1.
FileFailure OneLineFailure(std::string message) {
    std::replace_if(
        message.begin(), message.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return FileFailure{std::move(message)};
}

// A file that cannot be read, or gives no text, is the file's failure (status 1), not a usage
// error: the message names it and says why.
std::string OpenDocument(const std::string& path) {
    try {
        return LoadDocument(path);
    } catch (const UserError& e) {
        throw OneLineFailure(e.what());
    }
}

// A damaged book is named too: the trailer's own words do not say which file.
bool ReadBookTrailer(std::string& text, BookContents& book, const std::string& path) {
    try {
        return ParseBookTrailer(text, book);
    } catch (const UserError& e) {
        throw OneLineFailure("Файл " + QuotedFileName(path) + ": " + e.what());
    }
}

int Count(const ParsedArgs& a, std::ostream& out) {
    out << CountLetters(OpenDocument(a.File())) << '\n';
    return 0;
}

int Wrap(const ParsedArgs& a, std::ostream& out) {
    out << ForPrinting(WrapBookText(OpenDocument(a.File()), static_cast<int>(a.Number("width"))));
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
    settings.CharsPerLine = static_cast<int>(a.Number("chars"));
    settings.LinesPerPage = static_cast<int>(a.Number("lines"));
    if (a.Numbers.contains("repeats")) settings.PageRepeats = static_cast<int>(a.Number("repeats"));
    if (a.Texts.contains("line-paragraphs")) {
        const std::string& mode = a.Text("line-paragraphs");
        settings.Paragraphs = mode == "on"    ? LineParagraphs::On
                              : mode == "off" ? LineParagraphs::Off
                                              : LineParagraphs::Auto;
    }
    return settings;
}

int Pages(const ParsedArgs& a, std::ostream& out) {
    const PageLayout settings = PageSettings(a);
    const long long back = a.Number("back");

    std::string text = OpenDocument(a.File());
    BookContents book;
    // A book without chapters reads as a plain text of its body, as the reader reads it.
    const bool isBook = ReadBookTrailer(text, book, a.File());
    const bool bookMode = isBook && book.ContentsCount > 0;
    const SourceText source(std::move(text), isBook);
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
    std::string text = OpenDocument(a.File());
    BookContents book;
    const bool isBook = ReadBookTrailer(text, book, a.File());
    const BookHeader& h = book.Header;
    out << "book " << (isBook ? 1 : 0) << '\n';
    for (const HeaderField& f : kHeaderFields)
        out << f.Listed << ' ' << ForPrinting(h.*f.Value) << '\n';
    if (!isBook) return 0;
    const int totalPages = ComputeChapterPages(book, settings.CharsPerLine, settings.LinesPerPage);
    out << "entries " << book.ContentsCount << '\n';
    for (int i = 0; i < book.ContentsCount; ++i) {
        const ContentsEntry& e = book.ContentsEntries[static_cast<size_t>(i)];
        const ContentsNode& n = book.Nodes[static_cast<size_t>(i)];
        out << "entry " << i << " level " << n.Level << " page " << e.Page << " lastlines "
            << e.LastPageLines << " pos " << e.Pos << " letters " << e.Letters << " node "
            << ForPrinting(ContentsNodeText(book, static_cast<size_t>(i))) << '\n';
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

// Writing over the file read would lose it: the text or the book it came from.
void RefuseWritingOverInput(const ParsedArgs& a) {
    std::error_code error;
    if (std::filesystem::equivalent(a.Files[0], a.Files[1], error))
        throw UsageError{"IN and OUT are the same file: '" + a.Files[1] + "'"};
}

// The clean-up steps of the command line, in the order given.
FormatSteps StepsOf(const ParsedArgs& a) {
    if (a.Flag("more") && a.Flag("equal"))
        throw UsageError{"options '--more' and '--equal' exclude each other"};
    if ((a.Flag("more") || a.Flag("equal")) &&
        std::find(a.Given.begin(), a.Given.end(), "separator") == a.Given.end())
        throw UsageError{"options '--more' and '--equal' go with '--separator'"};
    FormatSteps steps;
    steps.Separator = {.Indent = static_cast<int>(a.Number("separator")),
                       .More = !a.Flag("equal"),
                       .Equal = a.Flag("equal")};
    for (const std::string& name : a.Given) {
        if (name == "auto-headings") steps.Steps.push_back(CleanupStep::AutoHeadings);
        if (name == "join") steps.Steps.push_back(CleanupStep::Join);
        if (name == "drop-empty") steps.Steps.push_back(CleanupStep::DropEmpty);
        if (name == "separator") steps.Steps.push_back(CleanupStep::Separator);
    }
    return steps;
}

int Format(const ParsedArgs& a, std::ostream& /*out*/) {
    RefuseWritingOverInput(a);
    BookHeader h;
    for (const HeaderField& f : kHeaderFields)
        h.*f.Value = HeaderValue(a.Text(f.Option));
    std::string text;
    try {
        text = LoadTextFile(a.Files[0]);
    } catch (const UserError& e) {
        throw OneLineFailure(e.what());
    }
    std::string book;
    try {
        book = FormatBook(std::move(text), h, StepsOf(a));
    } catch (const UserError& e) {
        throw OneLineFailure("Файл " + QuotedFileName(a.Files[0]) + ": " + e.what());
    }
    WriteFileBytes(a.Files[1], book);
    return 0;
}

int Convert(const ParsedArgs& a, std::ostream& /*out*/) {
    RefuseWritingOverInput(a);
    const std::string& in = a.Files[0];
    std::string book;
    try {
        book = LoadDocument(in);
        std::string body = book;
        BookContents contents;
        if (!ParseBookTrailer(body, contents)) {
            // A book cut off inside its contents is damaged rather than a text: say so.
            throw UserError("Файл " + QuotedFileName(in) + " " +
                            (contents.Warning.empty()
                                 ? "не книга, а текст: книгу из текста делает lectorix-tool format."
                                 : "— книга, у которой потерян конец с содержанием."));
        }
    } catch (const UserError& e) {
        // Every reason names the file, also one from inside a book (a damaged trailer).
        const std::string why = e.what();
        throw OneLineFailure(why.find(QuotedFileName(in)) != std::string::npos
                                 ? why
                                 : "Файл " + QuotedFileName(in) + ": " + why);
    }
    try {
        WriteFileBytes(a.Files[1], book);
    } catch (const UserError& e) {
        throw OneLineFailure(e.what());
    }
    return 0;
}

using O = OptionSpec;

constexpr OptionSpec kWrapOptions[] = {{.Name = "width", .Required = true}};
constexpr OptionSpec kPagesOptions[] = {
    {.Name = "chars", .Default = 22},
    {.Name = "lines", .Default = 25},
    {.Name = "repeats", .Default = 1},
    {.Name = "back", .Default = 0, .Min = 0},
    {.Name = "line-paragraphs", .Type = O::kChoice, .Choices = "auto|on|off"},
};
constexpr OptionSpec kBookOptions[] = {{.Name = "chars", .Default = 22},
                                       {.Name = "lines", .Default = 25}};
constexpr auto kFormatOptions = [] {
    std::array<OptionSpec, kHeaderFields.size() + 6> options{};
    for (size_t i = 0; i < kHeaderFields.size(); ++i)
        options[i] = {.Name = kHeaderFields[i].Option, .Type = O::kText};
    size_t i = kHeaderFields.size();
    for (const char* flag : {"auto-headings", "join", "drop-empty", "more", "equal"})
        options[i++] = {.Name = flag, .Type = O::kFlag};
    options[i] = {.Name = "separator", .Default = 2, .Min = 0};
    return options;
}();

}  // namespace

const Command kCountCommand{.Name = "count", .Help = kCountHelp, .Options = {}, .Run = Count};
const Command kWrapCommand{.Name = "wrap", .Help = kWrapHelp, .Options = kWrapOptions, .Run = Wrap};
const Command kPagesCommand{
    .Name = "pages", .Help = kPagesHelp, .Options = kPagesOptions, .Run = Pages};
const Command kBookCommand{.Name = "book", .Help = kBookHelp, .Options = kBookOptions, .Run = Book};
const Command kConvertCommand{
    .Name = "convert", .Help = kConvertHelp, .Options = {}, .Files = 2, .Run = Convert};
const Command kFormatCommand{
    .Name = "format", .Help = kFormatHelp, .Options = kFormatOptions, .Files = 2, .Run = Format};

}  // namespace lectorix
