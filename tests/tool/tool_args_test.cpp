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

TEST(ParseArgs, TakesOptionsAndFilesOrSaysWhatIsWrong) {
    using Args = std::vector<std::string>;
    // Options before, between and after files; a value starting with '-'; "-" as a file name;
    // a choice not given is its first word, the last one given wins.
    const ParsedArgs p = ParseArgs(
        Args{"a", "--width=7", "--csv", "--title", "-x-", "--mode", "off", "-", "--mode=on"},
        kOptions, 2);
    EXPECT_EQ(p.Number("width"), 7);
    EXPECT_EQ(p.Number("back"), 0);
    EXPECT_EQ(p.Text("title"), "-x-");
    EXPECT_TRUE(p.Flag("csv"));
    EXPECT_EQ(p.Files, (Args{"a", "-"}));
    EXPECT_EQ(p.Text("mode"), "on");
    const ParsedArgs q = ParseArgs(Args{"--width", "1000000", "--title=", "a"}, kOptions, 1);
    EXPECT_EQ(q.Number("width"), 1000000);
    EXPECT_FALSE(q.Flag("csv"));
    EXPECT_EQ(q.Text("mode"), "auto");

    const std::pair<Args, std::string> bad[] = {
        {{"a"}, "option '--width' is required"},
        {{"--width", "0", "a"}, "option '--width' must be at least 1"},
        {{"--width", "1000001", "a"}, "option '--width' must be at most 1000000"},
        {{"--width", "x", "a"}, "option '--width' needs a whole number, not 'x'"},
        {{"a", "--width"}, "option '--width' needs a value"},
        {{"--csv=yes", "--width", "1", "a"}, "option '--csv' takes no value"},
        {{"--colour", "a"}, "unknown option '--colour'"},
        {{"--mode", "On", "--width", "1", "a"},
         "option '--mode' must be one of auto, on, off, not 'On'"},
        {{"-v", "a"}, "unknown option '-v'"},
        {{"--width", "1", "a", "b"}, "too many files: 'b' is one more than 1"},
        {{"--width", "1"}, "no file given"},
    };
    for (const auto& [args, message] : bad) {
        try {
            ParseArgs(args, kOptions, 1);
            ADD_FAILURE() << testing::PrintToString(args) << " parsed";
        } catch (const UsageError& e) {
            EXPECT_EQ(e.Message, message) << testing::PrintToString(args);
        }
    }
    EXPECT_THROW(ParseArgs(Args{"--width", "1", "a"}, kOptions, 2), UsageError);
    // Help stops every other check.
    EXPECT_TRUE(ParseArgs(Args{"-h"}, kOptions, 2).Help);
    EXPECT_TRUE(ParseArgs(Args{"--help"}, kOptions, 1).Help);  // no --width
}

}  // namespace
}  // namespace lectorix
