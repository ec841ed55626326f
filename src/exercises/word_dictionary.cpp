#include "exercises/word_dictionary.h"

#include <algorithm>
#include <optional>

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/program_resources.h"
#include "exercises/russian_order.h"

namespace lectorix {
namespace {

std::optional<std::int32_t> ToInt(const std::string& field) {
    return ParseWholeNumber<std::int32_t>(Trim(field), PlusSign::Allowed);
}

// The toolkit's own words for a failed conversion.
std::string NotAnInteger(const std::string& field) {
    return "'" + Cp1251ToUtf8(field) + "' is not a valid integer value";
}

std::int32_t IntOrThrow(const std::string& field) {
    const auto v = ToInt(field);
    if (!v) throw UserError(NotAnInteger(field));
    return *v;
}

// "строка", "строки", "строк" after a number.
std::string Counted(std::int64_t n, const char* one, const char* few, const char* many) {
    const std::int64_t tens = n % 100, units = n % 10;
    const char* word = (tens >= 11 && tens <= 14)   ? many
                       : units == 1                 ? one
                       : (units >= 2 && units <= 4) ? few
                                                    : many;
    return std::to_string(n) + " " + word;
}

std::string At(std::int64_t line) {
    return "строка " + std::to_string(line + 1) + ": ";
}

std::string TooManyLengths(std::int64_t menuLine, std::int32_t count) {
    return At(menuLine) + "<WORDSMENU> называет " + Counted(count, "длину", "длины", "длин") +
           ", а над ней " + Counted(menuLine, "строка", "строки", "строк");
}

// The last line holding the menu, or -1.
std::int64_t FindMenuLine(const std::vector<std::string>& lines) {
    for (size_t i = lines.size(); i-- > 0;)
        if (lines[i].find(kWordsMenu) != std::string::npos) return static_cast<std::int64_t>(i);
    return -1;
}

// Dictionaries are CP1251 or UTF-8. The text loader's guess at KOI8-R is for prose, which is
// mostly lower case: an upper-case CP1251 word list would pass for it and come out garbled.
std::string DecodeDictionary(std::string bytes, const std::string& name) {
    if (IsBinaryData(bytes))
        throw NotTextError("Не удалось открыть файл \"" + name + "\": не текстовый файл");
    const std::string_view view = bytes;
    if (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF"))
        return DecodeText(std::move(bytes));
    if (view.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    Utf8ToCp1251InPlace(bytes);
    return NormalizeLineEnds(std::move(bytes));
}

}  // namespace

void ParseDictionaryIndex(const std::vector<std::string>& lines, DictionaryIndex& index) {
    const std::int64_t menu = FindMenuLine(lines);
    if (menu < 0) return;
    std::string record = lines[static_cast<size_t>(menu)];
    CutField(record);
    const std::int32_t count = IntOrThrow(CutField(record));
    if (count <= 0) return;
    if (count > menu) throw UserError(TooManyLengths(menu, count));
    index.DictLengthCount = count;
    index.DictFirstLine.assign(static_cast<size_t>(count), 0);
    index.DictLastLine.assign(static_cast<size_t>(count), 0);
    for (std::int32_t j = 0; j < count; ++j) {
        record = lines[static_cast<size_t>(menu - count + j)];
        CutField(record);
        index.DictFirstLine[static_cast<size_t>(j)] = IntOrThrow(CutField(record));
        index.DictLastLine[static_cast<size_t>(j)] = IntOrThrow(CutField(record));
    }
}

std::vector<DictionaryProblem> CheckDictionary(const std::vector<std::string>& lines) {
    std::vector<DictionaryProblem> problems;
    auto report = [&](std::int64_t line, std::string text, bool refused = true) {
        problems.push_back({line, std::move(text), refused});
    };
    const std::int64_t menu = FindMenuLine(lines);
    if (menu < 0) {
        report(-1, "нет строки <WORDSMENU>");
        return problems;
    }
    std::string record = lines[static_cast<size_t>(menu)];
    CutField(record);
    const std::string countField = CutField(record);
    const auto count = ToInt(countField);
    if (!count) {
        report(menu, At(menu) + NotAnInteger(countField));
        return problems;
    }
    if (*count < 1) {
        report(menu, At(menu) + "число длин " + std::to_string(*count) + " меньше 1");
        return problems;
    }
    if (*count > menu) {
        report(menu, TooManyLengths(menu, *count));
        return problems;
    }
    const auto size = static_cast<std::int64_t>(lines.size());
    for (std::int32_t j = 0; j < *count; ++j) {
        const std::int64_t at = menu - *count + j;
        const std::int32_t n = j + 1;
        record = lines[static_cast<size_t>(at)];
        const std::string header = CutField(record);
        const std::string firstField = CutField(record), lastField = CutField(record);
        const auto first = ToInt(firstField), last = ToInt(lastField);
        if (!first) report(at, At(at) + NotAnInteger(firstField));
        if (!last) report(at, At(at) + NotAnInteger(lastField));
        if (!first || !last) continue;
        const std::string length = "у длины " + std::to_string(n) + " ";
        const size_t before = problems.size();
        if (*first < 1)
            report(at, At(at) + length + "начало " + std::to_string(*first) + " меньше 1");
        if (*first > *last)
            report(at, At(at) + length + "начало " + std::to_string(*first) + " больше конца " +
                           std::to_string(*last));
        if (*last >= size)
            report(at, At(at) + length + "конец " + std::to_string(*last) +
                           " за последней строкой словаря, " + std::to_string(size - 1));
        if (problems.size() != before) continue;

        // What the program accepts but a person would want to know.
        if (header != std::string(kWordsLengthHeader) + std::to_string(n) + ">")
            report(at,
                   At(at) + "указатель длины " + std::to_string(n) + " подписан «" +
                       Cp1251ToUtf8(header) + "»",
                   false);
        std::int64_t odd = 0, firstOdd = -1;
        for (std::int64_t i = *first; i <= *last; ++i) {
            if (lines[static_cast<size_t>(i)].size() == static_cast<size_t>(n)) continue;
            if (odd++ == 0) firstOdd = i;
        }
        if (odd > 0)
            report(firstOdd,
                   "длина " + std::to_string(n) + ": " + Counted(odd, "строка", "строки", "строк") +
                       " другой длины, первая — " + "строка " + std::to_string(firstOdd + 1) +
                       " «" + Cp1251ToUtf8(lines[static_cast<size_t>(firstOdd)]) + "»",
                   false);
    }
    std::stable_sort(problems.begin(), problems.end(),
                     [](const auto& a, const auto& b) { return a.Line < b.Line; });
    return problems;
}

void LoadDictionaryResource(WordDictionary& dict, std::string_view resType,
                            std::string_view resName) {
    const auto bytes = FindProgramResource(resType, resName);
    if (!bytes) throw UserError("Resource " + std::string(resName) + " not found");
    dict.Lines = SplitLines(DecodeDictionary(std::string(*bytes), std::string(resName)));
}

std::vector<std::string> ReadDictionaryFile(const std::string& path) {
    return SplitLines(DecodeDictionary(ReadFileBytes(path), path));
}

void OpenDictionaryFile(WordDictionary& dict, const std::string& path) {
    WordDictionary opened;
    opened.Lines = ReadDictionaryFile(path);
    for (const DictionaryProblem& p : CheckDictionary(opened.Lines))
        if (p.Refused) throw UserError("Словарь \"" + path + "\" не открыт: " + p.Text);
    ParseDictionaryIndex(opened.Lines, opened.Index);
    dict = std::move(opened);
}

std::string PickWord(const std::vector<std::string>& lines, std::int32_t first, std::int32_t last,
                     RandomGenerator& random) {
    if (first < 0 || last < first || static_cast<size_t>(last) >= lines.size()) return {};
    const std::int64_t r = random.Uniform(std::int64_t{last} - first + 1);
    return LowerCase(lines[static_cast<size_t>(first + r)]);
}

}  // namespace lectorix
