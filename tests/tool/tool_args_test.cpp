#include "tool/tool_args.h"

#include <gtest/gtest.h>

namespace lectorix {
namespace {

constexpr OptionSpec kOptions[] = {
    {.Name = "width", .Required = true},
    {.Name = "back", .Default = 0, .Min = 0},
    {.Name = "title", .Type = OptionSpec::kText},
    {.Name = "csv", .Type = OptionSpec::kFlag},
    {.Name = "mode", .Type = OptionSpec::kChoice, .Choices = "auto|on|off"},
};

struct Parsed {
    std::vector<std::string> args;
    size_t files;
    long long width, back;
    std::string title;
    bool csv;
    std::vector<std::string> fileNames;
    std::string mode = "auto";  // a choice not given is its first word
};

struct Refused {
    std::vector<std::string> args;
    size_t files;
    std::string message;
};

TEST(ParseArgs, TakesOptionsAndFilesOrSaysWhatIsWrong) {
    const std::vector<Parsed> good = {
        {{"--width", "7", "a"}, 1, 7, 0, "", false, {"a"}},
        {{"a", "--width=7", "--back=0", "--csv", "--title", "-x-"}, 1, 7, 0, "-x-", true, {"a"}},
        {{"--width", "1000000", "--title=", "a", "b"}, 2, 1000000, 0, "", false, {"a", "b"}},
        {{"--width", "3", "-"}, 1, 3, 0, "", false, {"-"}},  // "-" is a file name
        {{"--mode", "off", "--width=3", "a", "--mode=on"}, 1, 3, 0, "", false, {"a"}, "on"},
    };
    for (const Parsed& c : good) {
        const std::string what = testing::PrintToString(c.args);
        try {
            const ParsedArgs p = ParseArgs(c.args, kOptions, c.files);
            EXPECT_EQ(p.Number("width"), c.width) << what;
            EXPECT_EQ(p.Number("back"), c.back) << what;
            EXPECT_EQ(p.Text("title"), c.title) << what;
            EXPECT_EQ(p.Flag("csv"), c.csv) << what;
            EXPECT_EQ(p.Files, c.fileNames) << what;
            EXPECT_EQ(p.Text("mode"), c.mode) << what;
        } catch (const UsageError& e) {
            ADD_FAILURE() << what << ": " << e.Message;
        }
    }
    const std::vector<Refused> bad = {
        {{"a"}, 1, "option '--width' is required"},
        {{"--width", "0", "a"}, 1, "option '--width' must be at least 1"},
        {{"--width", "1000001", "a"}, 1, "option '--width' must be at most 1000000"},
        {{"--back", "-1", "--width", "1", "a"}, 1, "option '--back' must be at least 0"},
        {{"--width", "x", "a"}, 1, "option '--width' needs a whole number, not 'x'"},
        {{"a", "--width"}, 1, "option '--width' needs a value"},
        {{"--csv=yes", "--width", "1", "a"}, 1, "option '--csv' takes no value"},
        {{"--colour", "a"}, 1, "unknown option '--colour'"},
        {{"--mode", "On", "--width", "1", "a"},
         1,
         "option '--mode' must be one of auto, on, off, not 'On'"},
        {{"--mode=", "--width", "1", "a"},
         1,
         "option '--mode' must be one of auto, on, off, not ''"},
        {{"-v", "a"}, 1, "unknown option '-v'"},
        {{"--width", "1", "a", "b"}, 1, "too many files: 'b' is one more than 1"},
        {{"--width", "1"}, 1, "no file given"},
        {{"--width", "1", "a"}, 2, "needs 2 files"},
    };
    for (const Refused& c : bad) {
        try {
            ParseArgs(c.args, kOptions, c.files);
            ADD_FAILURE() << testing::PrintToString(c.args) << " parsed";
        } catch (const UsageError& e) {
            EXPECT_EQ(e.Message, c.message) << testing::PrintToString(c.args);
        }
    }
    // Help stops every other check.
    EXPECT_TRUE(ParseArgs(std::vector<std::string>{"-h"}, kOptions, 2).Help);
    EXPECT_TRUE(ParseArgs(std::vector<std::string>{"--help"}, kOptions, 1).Help);  // no --width
}

}  // namespace
}  // namespace lectorix
