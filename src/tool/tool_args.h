// The command line of one lectorix-tool command: named options and files.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

namespace lectorix {

// The largest value a number option takes; larger ones are surely typing errors.
inline constexpr long long kMaxOptionValue = 1000000;

// One option a command knows, "--name VALUE", "--name=VALUE" or, for a flag, "--name".
struct OptionSpec {
    enum Kind { kNumber, kText, kFlag, kChoice };
    const char* Name;
    Kind Type = kNumber;
    long long Default = 0;  // a number's value when the option is not given
    long long Min = 1;      // a number given must be at least this (and at most kMaxOptionValue)
    bool Required = false;  // an option that must be given
    // A choice's words, "auto|on|off"; the first is its value when the option is not given.
    const char* Choices = nullptr;
    const char* Short = nullptr;  // "-o", the same as "--name"
};

// A bad command line; the message says what is wrong, in the words of the option.
struct UsageError {
    std::string Message;
};

struct ParsedArgs {
    std::map<std::string, long long> Numbers;
    std::map<std::string, std::string> Texts;
    std::map<std::string, bool> Flags;
    std::vector<std::string> Files;
    bool Help = false;  // "--help" or "-h" anywhere: nothing else is checked

    long long Number(const std::string& name) const { return Numbers.at(name); }
    const std::string& Text(const std::string& name) const { return Texts.at(name); }
    bool Flag(const std::string& name) const { return Flags.at(name); }
    const std::string& File() const { return Files.front(); }
};

// Parses `args` (what follows the command's name) for a command taking `options` and exactly
// `fileCount` files (at least that many with `moreFiles`). Every option known starts with its
// default (a text empty, a flag off, a choice its first word; a choice's word is kept in Texts).
// Throws UsageError.
ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> options,
                     size_t fileCount, bool moreFiles = false);

}  // namespace lectorix
