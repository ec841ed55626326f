#include "tool/tool_args.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "book/text_helpers.h"

namespace lectorix {

namespace {

const OptionSpec* Find(std::span<const OptionSpec> options, const std::string& name) {
    for (const OptionSpec& o : options)
        if (name == o.Name) return &o;
    return nullptr;
}

long long NumberOf(const OptionSpec& o, const std::string& value) {
    const std::string name = o.Name;
    const auto number = ParseWholeNumber<long long>(value);
    if (!number)
        throw UsageError{"option '--" + name + "' needs a whole number, not '" + value + "'"};
    const long long v = *number;
    if (v < o.Min)
        throw UsageError{"option '--" + name + "' must be at least " + std::to_string(o.Min)};
    if (v > kMaxOptionValue)
        throw UsageError{"option '--" + name + "' must be at most " +
                         std::to_string(kMaxOptionValue)};
    return v;
}

std::vector<std::string> ChoicesOf(const OptionSpec& o) {
    std::vector<std::string> words;
    const std::string_view all = o.Choices != nullptr ? o.Choices : "";
    for (size_t at = 0; at <= all.size();) {
        const size_t bar = std::min(all.find('|', at), all.size());
        words.emplace_back(all.substr(at, bar - at));
        at = bar + 1;
    }
    return words;
}

std::string ChoiceOf(const OptionSpec& o, const std::string& value) {
    const std::vector<std::string> words = ChoicesOf(o);
    if (std::find(words.begin(), words.end(), value) != words.end()) return value;
    std::string list;
    for (const std::string& w : words)
        list += (list.empty() ? "" : ", ") + w;
    throw UsageError{"option '--" + std::string(o.Name) + "' must be one of " + list + ", not '" +
                     value + "'"};
}

}  // namespace

ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> options,
                     size_t fileCount, bool moreFiles) {
    ParsedArgs parsed;
    for (const OptionSpec& o : options) {
        if (o.Type == OptionSpec::kNumber) parsed.Numbers[o.Name] = o.Default;
        if (o.Type == OptionSpec::kText) parsed.Texts[o.Name];
        if (o.Type == OptionSpec::kFlag) parsed.Flags[o.Name] = false;
        if (o.Type == OptionSpec::kChoice) parsed.Texts[o.Name] = ChoicesOf(o).front();
    }
    std::map<std::string, bool> given;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        for (const OptionSpec& o : options)
            if (o.Short != nullptr && arg == o.Short) arg = std::string("--") + o.Name;
        if (arg == "--help" || arg == "-h") {
            parsed.Help = true;
            continue;
        }
        if (arg.starts_with("--") && arg.size() > 2) {
            std::string name = arg.substr(2);
            std::optional<std::string> value;
            if (const size_t eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
            }
            const OptionSpec* o = Find(options, name);
            if (o == nullptr) throw UsageError{"unknown option '--" + name + "'"};
            if (o->Type == OptionSpec::kFlag) {
                if (value) throw UsageError{"option '--" + name + "' takes no value"};
                parsed.Flags[name] = true;
                continue;
            }
            if (!value) {
                if (i + 1 >= args.size()) throw UsageError{"option '--" + name + "' needs a value"};
                value = args[++i];
            }
            if (o->Type == OptionSpec::kText)
                parsed.Texts[name] = *value;
            else if (o->Type == OptionSpec::kChoice)
                parsed.Texts[name] = ChoiceOf(*o, *value);
            else
                parsed.Numbers[name] = NumberOf(*o, *value);
            given[name] = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') throw UsageError{"unknown option '" + arg + "'"};
        if (parsed.Files.size() == fileCount && !moreFiles)
            throw UsageError{"too many files: '" + arg + "' is one more than " +
                             std::to_string(fileCount)};
        parsed.Files.push_back(arg);
    }
    if (parsed.Help) return parsed;
    if (parsed.Files.size() < fileCount)
        throw UsageError{fileCount == 1 ? "no file given"
                                        : "needs " + std::to_string(fileCount) + " files"};
    for (const OptionSpec& o : options)
        if (o.Required && !given.contains(o.Name))
            throw UsageError{"option '--" + std::string(o.Name) + "' is required"};
    return parsed;
}

}  // namespace lectorix
