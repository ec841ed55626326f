#include "tool/dict_command.h"

#include <ostream>

#include "book/file_save.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/dictionary_builder.h"
#include "exercises/word_dictionary.h"
#include "tool/text_commands.h"

namespace lectorix {
namespace {

constexpr const char* kDictHelp =
    "Usage: lectorix-tool dict build|check|pick ...\n"
    "  build  make a dictionary of the word exercise from texts\n"
    "  check  check a dictionary's index against its lines\n"
    "  pick   draw words of one length from a dictionary as the exercise does\n"
    "Run 'lectorix-tool dict COMMAND --help' for a command's options.\n";

constexpr const char* kBuildHelp =
    "Usage: lectorix-tool dict build [--min-count N] [--keep-words LIST] [--max-length M]\n"
    "                                [--alphabet] TEXT... -o OUT.dict\n"
    "Makes a dictionary of the words of the texts (lower-cased, punctuation, digits and Latin\n"
    "letters removed): only words of Russian letters, and of two letters or more only those\n"
    "with a vowel, in upper case, sorted in Russian order (Ё after Е), grouped by length and\n"
    "indexed. OUT is CP1251 with CR LF line ends.\n"
    "  --min-count N    only words the texts hold at least N times together (default 1: every\n"
    "                   distinct word)\n"
    "  --keep-words LIST  only words that are a line of LIST as they stand (lower case; a line\n"
    "                   is read up to a '/', so a hunspell .dic file serves as it is)\n"
    "  --max-length M   leave out words longer than M\n"
    "  --alphabet       the words of one letter are the 33 letters of the alphabet\n"
    "  -o, --output OUT the dictionary to write\n"
    "A length up to the longest without a word is refused (the exercise could not draw from\n"
    "it): lower --max-length, or add --alphabet when it is length 1.\n";

constexpr const char* kCheckHelp =
    "Usage: lectorix-tool dict check FILE\n"
    "Reads the dictionary's index as the word exercise does and prints the number of lengths\n"
    "and each length's range of lines (length, first line, last line, words; lines count from\n"
    "0), then every problem found, one a line. Exits with 1 when there is one. The program\n"
    "refuses a dictionary whose index cannot be read or points outside its lines; a word of\n"
    "another length in a section, or an index line labelled with another length, is only\n"
    "reported here.\n";

constexpr const char* kPickHelp =
    "Usage: lectorix-tool dict pick --length N [--count C] [--seed S] FILE\n"
    "Prints C words (default 1) of N characters drawn from the dictionary as the word\n"
    "exercise draws them, in lower case, one a line. The same seed gives the same words;\n"
    "without one they differ from run to run.\n";

// A file that cannot be used: its message (naming it) on one line, status 1.
template <typename Action>
auto OrFileFailure(Action action) {
    try {
        return action();
    } catch (const UserError& e) {
        throw FileFailure{e.what()};
    }
}

int Build(const ParsedArgs& a, std::ostream& /*out*/) {
    const std::string& output = a.Text("output");
    DictionaryBuildOptions options;
    options.MinCount = static_cast<size_t>(a.Number("min-count"));
    options.MaxLength = static_cast<size_t>(a.Number("max-length"));
    options.Alphabet = a.Flag("alphabet");
    const std::string& list = a.Text("keep-words");
    std::vector<std::string> texts;
    OrFileFailure([&] {
        if (!list.empty()) options.KeepWords = ReadWordList(LoadTextFile(list));
        for (const std::string& file : a.Files)
            texts.push_back(LoadTextFile(file));
        return 0;
    });
    std::vector<std::string> lines;
    try {
        lines = BuildDictionary(texts, options);
    } catch (const UserError& e) {
        throw FileFailure{"словарь \"" + output + "\" не записан: " + e.what()};
    }
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    OrFileFailure([&] {
        WriteFileBytes(output, bytes);
        return 0;
    });
    return 0;
}

int Check(const ParsedArgs& a, std::ostream& out) {
    const std::string& path = a.File();
    const std::vector<std::string> lines = OrFileFailure([&] { return ReadDictionaryFile(path); });
    const std::vector<DictionaryProblem> problems = CheckDictionary(lines);
    bool refused = false;
    for (const DictionaryProblem& p : problems)
        refused = refused || p.Refused;
    if (!refused) {
        DictionaryIndex index;
        ParseDictionaryIndex(lines, index);
        out << "lengths " << index.DictLengthCount << '\n';
        for (std::int32_t k = 0; k < index.DictLengthCount; ++k) {
            const auto first = index.DictFirstLine[static_cast<size_t>(k)];
            const auto last = index.DictLastLine[static_cast<size_t>(k)];
            out << k + 1 << ' ' << first << ' ' << last << ' ' << last - first + 1 << '\n';
        }
    }
    for (const DictionaryProblem& p : problems)
        out << path << ": " << p.Text << '\n';
    return problems.empty() ? 0 : 1;
}

int Pick(const ParsedArgs& a, std::ostream& out) {
    WordDictionary dict;
    OrFileFailure([&] {
        OpenDictionaryFile(dict, a.File());
        return 0;
    });
    const long long n = a.Number("length");
    if (n > dict.Index.DictLengthCount)
        throw FileFailure{"в словаре \"" + a.File() + "\" нет слов длины " + std::to_string(n) +
                          ": самые длинные — длины " + std::to_string(dict.Index.DictLengthCount)};
    RandomGenerator random;
    if (a.Number("seed") >= 0)
        random.Seed(static_cast<std::uint64_t>(a.Number("seed")));
    else
        random.SeedFromClock();
    const auto first = dict.Index.DictFirstLine[static_cast<size_t>(n - 1)];
    const auto last = dict.Index.DictLastLine[static_cast<size_t>(n - 1)];
    for (long long i = 0; i < a.Number("count"); ++i)
        out << ForPrinting(PickWord(dict.Lines, first, last, random)) << '\n';
    return 0;
}

int Group(const ParsedArgs& a, std::ostream& /*out*/) {
    if (a.Files.empty()) throw UsageError{"needs a command: build, check or pick"};
    throw UsageError{"unknown command '" + a.Files.front() + "'; try 'lectorix-tool dict --help'"};
}

using O = OptionSpec;

constexpr OptionSpec kBuildOptions[] = {
    {.Name = "min-count", .Default = 1},
    {.Name = "keep-words", .Type = O::kText},
    {.Name = "max-length", .Default = 0},
    {.Name = "alphabet", .Type = O::kFlag},
    {.Name = "output", .Type = O::kText, .Required = true, .Short = "-o"},
};
constexpr OptionSpec kPickOptions[] = {
    {.Name = "length", .Required = true},
    {.Name = "count", .Default = 1},
    {.Name = "seed", .Default = -1, .Min = 0},
};

}  // namespace

const Command kDictBuildCommand{.Name = "dict build",
                                .Help = kBuildHelp,
                                .Options = kBuildOptions,
                                .Run = Build,
                                .MoreFiles = true};
const Command kDictCheckCommand{
    .Name = "dict check", .Help = kCheckHelp, .Options = {}, .Run = Check};
const Command kDictPickCommand{
    .Name = "dict pick", .Help = kPickHelp, .Options = kPickOptions, .Run = Pick};
const Command kDictCommand{
    .Name = "dict", .Help = kDictHelp, .Options = {}, .Files = 0, .Run = Group, .MoreFiles = true};

}  // namespace lectorix
