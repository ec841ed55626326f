#include "tool/tool_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.h"

namespace lectorix {
namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun Tool(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = RunTool(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(Tool, BadArgumentsGiveOneLineOnStderrAndStatus2) {
    test::TempDir dir;
    const std::string file = dir.Write("t.txt", "a b c");
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate", file},
        {"count"},
        {"count", file, file},
        {"count", "--bogus", file},
        {"wrap", file},
        {"wrap", "--width", "0", file},
        {"wrap", "--width", "x", file},
        {"wrap", "--width"},
        {"pages", "--chars", "0", file},
        {"pages", "--lines=-3", file},
        {"pages", "--repeats", "0", file},
        {"pages", "--back", "-1", file},
        {"pages", "--chars", "99999999999999999999", file},
        {"pages", (dir.Path() / "missing.txt").string()},
        {"count", dir.Path().string()},
        {"stats", "--ini", (dir.Path() / "missing.ini").string()},
        {"stats", "--csv=yes"},
        {"stats", file},
    };
    for (const auto& args : bad) {
        const ToolRun r = Tool(args);
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.status, 2) << joined;
        EXPECT_TRUE(r.out.empty()) << joined;
        ASSERT_FALSE(r.err.empty()) << joined;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << joined << ": " << r.err;
    }
}

TEST(Tool, EveryCommandHasHelp) {
    for (const char* cmd : {"count", "wrap", "pages"}) {
        const ToolRun r = Tool({cmd, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("Usage: lectorix-tool " + std::string(cmd)), std::string::npos);
    }
    EXPECT_EQ(Tool({"--help"}).status, 0);
}

TEST(Tool, CountAndWrapPrintUtf8WithLfEnds) {
    test::TempDir dir;
    const std::string file = dir.Write("t.txt", "Жили-были дед\r\nда баба.");
    EXPECT_EQ(Tool({"count", file}).out, "17\n");
    EXPECT_EQ(Tool({"wrap", "--width", "6", file}).out, "Жили-\nбыли \nдед\nда \nбаба.");
    EXPECT_EQ(Tool({"wrap", "--width=30", file}).out, "Жили-были дед\nда баба.");
}

TEST(Tool, PagesPrintsEveryPageWithItsPlaceAndLines) {
    test::TempDir dir;
    const std::string file = dir.Write("t.txt", "a b c");
    EXPECT_EQ(Tool({"pages", file}).out,
              "page 1 start 0 next 5 letters 3 lines 1 empty 24\n"
              "|  a        b         c |\n");
    // Repeats print the page again; the CP1251 byte 0x98 has no character.
    const std::string other = dir.Write("u.txt", "x\x98");
    EXPECT_EQ(Tool({"pages", "--repeats", "2", "--chars", "8", other}).out,
              "page 1 start 0 next 2 letters 2 lines 1 empty 24\n|  x\xEF\xBF\xBD |\n"
              "page 1 start 0 next 2 letters 2 lines 1 empty 24\n|  x\xEF\xBF\xBD |\n");
}

TEST(Tool, Utf8AndCp1251CopiesOfAStoryGiveTheSamePages) {
    const ToolRun utf8 = Tool({"pages", test::DataPath("texts/chekhov_khameleon.utf8.txt")});
    const ToolRun cp = Tool({"pages", test::DataPath("texts/chekhov_khameleon.cp1251.txt")});
    ASSERT_EQ(utf8.status, 0);
    EXPECT_TRUE(utf8.out == cp.out);
    EXPECT_NE(utf8.out.find("|  Антон Чехов ХАМЕЛЕОН |"), std::string::npos);
}

TEST(Tool, BackWalksToPageOneWithDecreasingStarts) {
    const ToolRun r =
        Tool({"pages", "--back", "100000", test::DataPath("texts/chekhov_khameleon.utf8.txt")});
    std::istringstream in(r.out);
    std::string line;
    int forward = 0, lastNumber = 0;
    long long lastStart = -1;
    std::vector<std::pair<int, long long>> back;
    while (std::getline(in, line)) {
        if (line.starts_with("page ")) ++forward;
        if (!line.starts_with("back ")) continue;
        int number = 0;
        long long start = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "back %d start %lld", &number, &start), 2) << line;
        back.emplace_back(number, start);
    }
    ASSERT_EQ(static_cast<int>(back.size()), forward - 1);
    for (const auto& [number, start] : back) {
        if (lastStart >= 0) {
            EXPECT_LT(start, lastStart);
            EXPECT_EQ(number, lastNumber - 1);
        }
        lastStart = start;
        lastNumber = number;
    }
    EXPECT_EQ(back.back().first, 1);
}

TEST(Tool, FormatWritesABookThatBookLists) {
    test::TempDir dir;
    const std::string raw =
        dir.Write("raw.txt", "\nГлава первая\nТекст.\n\nГлава вторая\nЕщё текст.\n");
    const std::string out = (dir.Path() / "book.lxb").string();
    const ToolRun f = Tool({"format", "--title", "Книга.", "--author", "Автор", raw, out});
    ASSERT_EQ(f.status, 0) << f.err;
    const ToolRun b = Tool({"book", out});
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.out,
              "book 1\nauthor Автор\ntitle Книга\nfirstname \nlastname \ngenre \nsubgenre \n"
              "id \ncopyright \nsource \nentries 2\n"
              "entry 0 level 2 page 1 lastlines 2 pos 0 letters 0 node Глава первая  стр.-1-\n"
              "entry 1 level 2 page 2 lastlines 2 pos 27 letters 16 node Глава вторая  стр.-2-\n"
              "totals pos 58 letters 35\n"
              "totalpages 2 totalletters 35\n");
    // The book's pages start every chapter on a page of its own.
    const ToolRun p = Tool({"pages", out});
    EXPECT_NE(p.out.find("page 2 start 25 next 56 "), std::string::npos) << p.out;
    // A plain text is no book.
    EXPECT_EQ(Tool({"book", raw}).out.substr(0, 7), "book 0\n");
    EXPECT_EQ(Tool({"format", raw}).status, 2);
    EXPECT_EQ(Tool({"format", "--titel", "x", raw, out}).status, 2);
}

TEST(Tool, CountOfAStorySavedAsRtfIsThatOfItsText) {
    const ToolRun text = Tool({"count", test::DataPath("texts/chekhov_khameleon.utf8.txt")});
    for (const char* writer : {"abiword", "libreoffice", "pandoc"}) {
        const std::string rtf =
            test::SharedDataPath(std::string("rtf/chekhov_khameleon.") + writer + ".rtf");
        if (rtf.empty()) GTEST_SKIP() << "the shared test files are not beside the repository";
        EXPECT_EQ(Tool({"count", rtf}).out, text.out) << writer;
    }
}

TEST(Tool, StatsPrintsTheDiaryAsReportsOrCsv) {
    test::TempDir dir;
    const std::string ini = dir.Write(
        "lectorix.ini", test::Cp("[Статистика чтения]\r\nEditGlobalStatistic_Text=4000|571|\r\n"
                                 "[Статистика чтения.ListBoxDataStatistic_Items]\r\n"
                                 "Count=3\r\nItem0=06.12.2026|1000|500|\r\n"
                                 "Item1=05,12|7|0|\r\nItem2=04.12.2026|3000|600|\r\n"));
    const ToolRun csv = Tool({"stats", "--ini", ini, "--csv"});
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out,
              "date,letters,speed,minutes\n04.12.2026,3000,600,5.00\n\"05,12\",7,0,0.00\n"
              "06.12.2026,1000,500,2.00\n");
    const ToolRun reports = Tool({"stats", "--ini", ini});
    EXPECT_EQ(reports.status, 0) << reports.err;
    for (const char* line :
         {"Глобальная статистика            \n", "Средняя скорость чтения:         571\n",
          "06.12.2026 Скорость:    500, Время: 0:02:00, Букв: 1000\n"})
        EXPECT_NE(reports.out.find(line), std::string::npos) << line << reports.out;
    EXPECT_EQ(reports.out.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace lectorix
