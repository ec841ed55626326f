#include "tool/tool_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "book/text_loader.h"
#include "support/test_support.h"
#include "tool/tool_args.h"

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
    // Each command's own limits and files; how options are read is the parser's test.
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {}, {"frobnicate", file}, {"count"}, {"wrap", file}, {"wrap", "--width", "0", file},
        {"pages", "--chars", "0", file}, {"pages", "--lines", "0", file},
        {"pages", "--repeats", "0", file}, {"pages", "--back", "-1", file}, {"format", file},
        {"stats", file},
        {"stats", "--ini", (dir.Path() / "missing.ini").string()}, {"convert", file},
        {"convert", file, file}, {"format", file, file},  // the file read would be lost
        {"format", "--more", file, file + ".lxb"},  // a separator's test without a separator
        {"format", "--separator", "2", "--more", "--equal", file, file + ".lxb"},
    };
    // clang-format on
    for (const auto& args : bad) {
        const ToolRun r = Tool(args);
        EXPECT_TRUE(r.status == 2 && r.out.empty() && r.err.find('\n') == r.err.size() - 1)
            << testing::PrintToString(args) << ": " << r.err;
    }
}

TEST(Tool, HelpCountWrapPagesAndFormatPrintUtf8WithLfEnds) {
    EXPECT_EQ(Tool({"--help"}).status, 0);
    EXPECT_TRUE(Tool({"format", "--help"}).out.starts_with("Usage: lectorix-tool format "));
    test::TempDir dir;
    const std::string file = dir.Write("t.txt", "Жили-были дед\r\nда баба.");
    EXPECT_EQ(Tool({"count", file}).out, "17\n");
    EXPECT_EQ(Tool({"wrap", "--width", "6", file}).out, "Жили-\nбыли \nдед\nда \nбаба.");
    // Every page built is printed, repeats again; the CP1251 byte 0x98 has no character.
    EXPECT_EQ(Tool({"pages", "--repeats", "2", "--chars", "8", dir.Write("u.txt", "x\x98")}).out,
              "page 1 start 0 next 2 letters 2 lines 1 empty 24\n|  x\xEF\xBF\xBD |\n"
              "page 1 start 0 next 2 letters 2 lines 1 empty 24\n|  x\xEF\xBF\xBD |\n");

    // A book made of a text lists its header and contents with the page of every entry.
    const std::string raw =
        dir.Write("raw", "\nГлава первая\nТекст.\n\nГлава вторая\nЕщё текст.\n");
    const std::string book = (dir.Path() / "book.lxb").string();
    ASSERT_EQ(Tool({"format", "--title", "Книга.", "--author", "Автор", raw, book}).err, "");
    EXPECT_EQ(Tool({"book", book}).out,
              "book 1\nauthor Автор\ntitle Книга\nfirstname \nlastname \ngenre \nsubgenre \n"
              "id \ncopyright \nsource \nentries 2\n"
              "entry 0 level 2 page 1 lastlines 2 pos 0 letters 0 node Глава первая  стр.-1-\n"
              "entry 1 level 2 page 2 lastlines 2 pos 27 letters 16 node Глава вторая  стр.-2-\n"
              "totals pos 58 letters 35\n"
              "totalpages 2 totalletters 35\n");
    // Every line of the file ends with CR LF, the last one too, as the tool's window saves it.
    EXPECT_TRUE(ReadFileBytes(book).ends_with("<INFOTEXTEND>\r\n"));
    // The clean-up steps run in the order given: a separator inserted before the empty lines
    // are dropped is dropped with them.
    const std::string wrapped = dir.Write("wrapped", "x\n\n   h\n  p\n");
    const std::string stepped = (dir.Path() / "stepped.lxb").string();
    auto entries = [&](std::vector<std::string> steps) {
        steps.insert(steps.begin(), "format");
        steps.insert(steps.end(), {wrapped, stepped});
        EXPECT_EQ(Tool(steps).status, 0);
        const std::string listed = Tool({"book", stepped}).out;
        return listed.substr(listed.find("entries "), 9);
    };
    EXPECT_EQ(entries({"--drop-empty", "--separator", "2"}), "entries 2");
    EXPECT_EQ(entries({"--separator", "2", "--drop-empty"}), "entries 0");
    // The book's pages start every chapter on a page of its own; a plain text is no book.
    EXPECT_NE(Tool({"pages", book}).out.find("page 2 start 25 next 56 "), std::string::npos);
    EXPECT_TRUE(Tool({"book", raw}).out.starts_with("book 0\n"));
}

TEST(Tool, AStoryOneParagraphALineGivesTheSamePagesInEitherCodingAndBack) {
    const std::string story = test::DataPath("texts/chekhov_khameleon.");
    const std::string pages = Tool({"pages", story + "utf8.txt"}).out;
    // The title, the author, each line of speech: 31 lines, 31 paragraph starts.
    EXPECT_TRUE(
        pages.starts_with("page 1 start 0 next 444 letters 356 lines 25 empty 0\n"
                          "|  Антон Чехов |\n|  ХАМЕЛЕОН |\n|  Через       базарную |\n"))
        << pages.substr(0, 300);
    size_t starts = 0;
    for (size_t at = pages.find("\n|  "); at != std::string::npos; at = pages.find("\n|  ", at + 1))
        starts += pages.compare(at + 4, 2, "  ") != 0;
    EXPECT_EQ(starts, 31u);
    EXPECT_EQ(Tool({"pages", "--line-paragraphs=on", story + "utf8.txt"}).out, pages);
    // Off, the story reads as it always did: one paragraph.
    EXPECT_EQ(Tool({"pages", "--line-paragraphs", "off", story + "utf8.txt"}).out,
              test::DataFile("texts/chekhov_khameleon.indent_pages.txt"));
    // After the last page come the pages back, the last of them page 1.
    const std::string out = Tool({"pages", "--back", "100000", story + "utf8.txt"}).out;
    EXPECT_TRUE(out == Tool({"pages", "--back", "100000", story + "cp1251.txt"}).out);
    EXPECT_TRUE(out.starts_with(pages));
    ASSERT_NE(out.find("\nback "), std::string::npos);
    EXPECT_EQ(out.rfind("\nback "), out.rfind("\nback 1 start "));
}

TEST(Tool, ConvertWritesTheBookTheReaderReadsOrSaysWhyNot) {
    test::TempDir dir;
    const std::string fb2 = dir.Write(
        "book.fb2",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FictionBook><description><title-info>"
        "<author><first-name>Антон</first-name><last-name>Чехов</last-name></author>"
        "<book-title>Рассказы</book-title></title-info></description><body>"
        "<section><title><p>Хамелеон</p></title><p>Через базарную площадь…</p></section>"
        "<section><title><p>Толстый и тонкий</p></title><p>На вокзале встретились.</p>"
        "<section><title><p>II</p></title><p>Толстый только что пообедал.</p></section>"
        "</section></body></FictionBook>\n");
    const std::string lxb = (dir.Path() / "book.lxb").string();
    const ToolRun converted = Tool({"convert", fb2, lxb});
    EXPECT_TRUE(converted.status == 0 && converted.out.empty() && converted.err.empty())
        << converted.err;
    const std::string bytes = ReadFileBytes(lxb);
    EXPECT_NE(bytes.find(test::Cp("   Толстый и тонкий\r\n")), std::string::npos);
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);
    // Reopened, the file is the same book with the same pages.
    const std::string listing = Tool({"book", lxb}).out;
    EXPECT_NE(listing.find("\nentries 3\n"), std::string::npos) << listing;
    EXPECT_EQ(listing, Tool({"book", fb2}).out);
    EXPECT_EQ(Tool({"pages", "--chars", "16", lxb}).out, Tool({"pages", "--chars", "16", fb2}).out);

    // A book without text, a plain text, a book that lost its end and a folder to write to: one
    // line naming the file and why, status 1, and nothing written.
    const std::string empty = dir.Write("empty.fb2", "<FictionBook><body></body></FictionBook>");
    const std::string text = dir.Write("story.txt", "Хамелеон\nЧерез базарную площадь.\n");
    const std::string out = (dir.Path() / "out.lxb").string();
    const std::string cut = dir.Write("cut.lxb", bytes.substr(0, bytes.size() - 20));
    for (const auto& [in, to, says] :
         {std::tuple(empty, out, empty + "\""), std::tuple(text, out, text + "\" не книга"),
          std::tuple(cut, out, cut + "\" — книга, у"),
          std::tuple(fb2, dir.Path().string(), dir.Path().string())}) {
        const ToolRun r = Tool({"convert", in, to});
        EXPECT_TRUE(r.status == 1 && r.out.empty() && r.err.find('\n') == r.err.size() - 1)
            << r.err;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Files the commands cannot use exit with 1 and one line naming the file: `count /dev/zero` grew
// without end, a pipe blocked for ever, a missing file or a damaged book said 2 (the usage
// status), the book's message named no file and was half English, an empty file counted 0.
TEST(Tool, ABookWithoutContentsIsPagedFromItsBodyAndFilesItCannotUseExitWith1) {
    // The story has no blank line, so its book has no contents entry.
    test::TempDir dir;
    const std::string book = (dir.Path() / "story.lxb").string();
    const std::string story = test::DataPath("texts/chekhov_khameleon.cp1251.txt");
    ASSERT_EQ(Tool({"format", story, book}).status, 0);
    const std::string pages = Tool({"pages", book}).out;
    EXPECT_TRUE(pages.starts_with("page 1 start 0 ")) << pages.substr(0, 200);
    EXPECT_NE(pages.find("\npage 2 start 452 "), std::string::npos);
    EXPECT_NE(Tool({"book", book}).out.find("\nentries 0\n"), std::string::npos);

    // A text of blank lines made a "book" that opened as its own trailer.
    const ToolRun blank = Tool({"format", dir.Write("blank.txt", "\n \n"), book});
    EXPECT_TRUE(blank.status == 1 && blank.err.find("blank.txt") != std::string::npos) << blank.err;

    std::string damaged = ReadFileBytes(book);
    damaged.insert(damaged.find("<INFOTEXTlen>|") + 14, "x");
    const std::string fifo = (dir.Path() / "pipe.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = (dir.Path() / "gone.txt").string();
    const std::string odd = dir.Write("a\nb\xFF.txt", "");
    const std::tuple<std::string, std::string, std::string> refused[] = {
        {dir.Write("zeros.txt", std::string(1000, '\0')), "", ": не текстовый файл"},
        {dir.Write("empty.txt", ""), "", ": пустой файл"},
        {odd, dir.Path().string() + "/a\\nb\\xFF.txt", ": пустой файл"},
        {missing, "", ": файл не найден"},
        {dir.Path().string(), "", ": это папка, а не файл"},
        {"/dev/zero", "", ": не обычный файл (устройство)"},
        {fifo, "", ": не обычный файл (канал)"},
        {dir.Write("damaged.lxb", damaged), "",
         ": Содержание книги повреждено: в строке 33 (строка итогов) «x5924» — не число"},
    };
    for (const std::string cmd : {"count", "pages", "book"}) {
        for (const auto& [file, shown, says] : refused) {
            if (cmd == "count" && file.ends_with(".lxb")) continue;  // count reads no contents
            const ToolRun r = Tool({cmd, file});
            EXPECT_TRUE(r.status == 1 && r.out.empty() && r.err.find('\n') == r.err.size() - 1)
                << cmd << ' ' << file << ": " << r.err;
            EXPECT_NE(r.err.find('"' + (shown.empty() ? file : shown) + '"' + says),
                      std::string::npos)
                << r.err;
        }
    }
    EXPECT_EQ(Tool({"format", missing, book}).status, 1);
}

// `stats --ini` printed an empty diary with status 0 for anything it could not read, and left
// FILE.lock beside any file it read.
TEST(Tool, StatsPrintsTheDiaryAsReportsOrCsvOrSaysWhatIsWrongAndCreatesNothing) {
    test::TempDir dir;
    const std::string ini = dir.Write(
        "lectorix.ini", test::Cp("[Статистика чтения]\r\nEditGlobalStatistic_Text=4000|571|\r\n"
                                 "[Статистика чтения.ListBoxDataStatistic_Items]\r\n"
                                 "Count=3\r\nItem0=06.12.2026|1000|500|\r\n"
                                 "Item1=05,12|7|0|\r\nItem2=04.12.2026|3000|600|\r\n"
                                 "[Таблицы Тарвина.ListBoxTables_Items]\r\nCount=2\r\n"
                                 "Item0=06.12.2026|35.2|40.0|\r\nItem1=05.12.2026|41.5|\r\n"));
    const ToolRun csv = Tool({"stats", "--ini", ini, "--csv"});
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out,
              "date,letters,speed,minutes\n04.12.2026,3000,600,5.00\n\"05,12\",7,0,0.00\n"
              "06.12.2026,1000,500,2.00\n");
    // The reports themselves are the statistics' test; here they are UTF-8 with LF ends.
    const ToolRun reports = Tool({"stats", "--ini", ini});
    EXPECT_EQ(reports.status, 0) << reports.err;
    EXPECT_NE(reports.out.find("06.12.2026 Скорость:    500, Время: 0:02:00"), std::string::npos)
        << reports.out;
    EXPECT_EQ(reports.out.find('\r'), std::string::npos);
    // The number tables per day, oldest first.
    const ToolRun tables = Tool({"stats", "--ini", ini, "--tables", "--csv"});
    EXPECT_EQ(tables.out,
              "date,tables,best,mean\n05.12.2026,1,41.5,41.5\n06.12.2026,2,35.2,37.6\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    std::string utf16;
    for (const char c : std::string("[S]\r\nk=v\r\n"))
        utf16 += std::string{c, '\0'};
    const std::string zip = dir.Write("diary.zip", std::string("PK\x03\x04\x14\0\0\0\x08\0", 10));
    for (const std::string& bad : {dir.Path().string(), zip, dir.Write("utf16.ini", utf16),
                                   dir.Write("notes.ini", "notes")}) {
        const ToolRun r = Tool({"stats", "--ini", bad});
        EXPECT_TRUE(r.status == 2 && r.out.empty()) << bad;
        EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}),
              4);  // the four files, nothing beside them
}

// `format IN link` replaced the link with a file, and as root `format IN /dev/full` replaced the
// device with a file: the book goes where the link leads, a folder is refused.
TEST(Tool, FormatWritesThroughLinksAndNeverOverAFolder) {
    test::TempDir dir;
    const std::string text = dir.Write("t.txt", "\nГлава\nТекст.\n");
    const std::string real = dir.Write("real.lxb", "old");
    const std::string link = (dir.Path() / "link.lxb").string();
    std::filesystem::create_symlink("real.lxb", link);
    ASSERT_EQ(Tool({"format", text, link}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(Tool({"book", real}).out.starts_with("book 1\n"));

    const ToolRun folder = Tool({"format", text, dir.Path().string()});
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.err.find("это папка"), std::string::npos) << folder.err;
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));

    // Nor through a link into another user's file, as root (which once rewrote it) or not.
    if (::geteuid() != 0) return;
    const std::string fb2 =
        dir.Write("b.fb2",
                  "<FictionBook><body><section><title><p>Глава</p></title><p>Текст.</p></section>"
                  "</body></FictionBook>");
    for (const uid_t me : {uid_t{0}, test::kPlainUser}) {
        const auto mine = dir.Path() / ("mine" + std::to_string(me));
        std::filesystem::create_directory(mine);
        ::chmod(mine.c_str(), 0777);
        test::GiveTo(mine, me);
        const std::string their = dir.Write(mine.filename().string() + "/their.lxb", "theirs");
        ::chmod(their.c_str(), 0666);
        test::GiveTo(their, test::kOtherUser);
        const std::string toTheirs = (mine / "out.lxb").string();
        std::filesystem::create_symlink("their.lxb", toTheirs);
        test::GiveTo(toTheirs, me);
        const test::AsUser as(me);
        for (const std::string command : {"format", "convert"}) {
            const ToolRun r = Tool({command, command == "format" ? text : fb2, toTheirs});
            EXPECT_NE(r.status, 0) << command;
            EXPECT_NE(r.err.find("ссылка ведёт к файлу другого пользователя"), std::string::npos)
                << r.err;
        }
        EXPECT_EQ(ReadFileBytes(their), "theirs");
    }
}

TEST(Tool, BookmarksListsTheStoredOnesNewestFirstAndSkipsDamagedLines) {
    test::TempDir dir;
    const std::string ini = dir.Write(
        "Lectorix.ini",
        test::Cp(
            "[Расщитанные параметры.ListBoxZakladka_Items]\r\nCount=3\r\n"
            "Item0=Страница 7|Толстой. Анна Каренина.|/книги/anna.lxb|-100|0|0|0|0|0|0|0|7|0|0|"
            "1400|0|0|0|0|0|0|0|0|0.005|0.025|0|\r\nItem1=damaged|\r\n"
            "Item2=Страница "
            "2|a.txt|/a.txt|-100|0|0|0|0|0|0|0|2|0|0|900|0|0|0|0|0|0|0|0|0.005|0.025|0|"
            "\r\n"));
    const ToolRun r = Tool({"bookmarks", "--ini", ini});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Толстой. Анна Каренина.\tСтраница 7\t7\t1400\t/книги/anna.lxb\n"
              "a.txt\tСтраница 2\t2\t900\t/a.txt\n");
}

TEST(Tool, DictBuildWritesWhatCheckPassesAndPickDrawsFrom) {
    test::TempDir dir;
    const std::string text = dir.Write("t.txt", "Мы шли, шли и шли.\nЁлка и ель.\n");
    const std::string dict = (dir.Path() / "out.dict").string();
    ASSERT_EQ(Tool({"dict", "build", "--alphabet", text, text, "-o", dict}).status, 0);
    EXPECT_TRUE(Tool({"dict", "check", dict}).out.starts_with("lengths 4\n1 1 33 33\n2 35 35 1\n"));
    const ToolRun picked =
        Tool({"dict", "pick", "--length", "3", "--count", "4", "--seed", "5", dict});
    EXPECT_EQ(picked.out.size(), 4 * std::string("шли\n").size());
    EXPECT_EQ(Tool({"dict", "pick", "--length", "3", "--count", "4", "--seed", "5", dict}).out,
              picked.out);

    // A damaged index: every problem listed and status 1; pick refuses it naming the file.
    const std::string damaged = dir.Write(
        "bad.dict", test::Cp("<WORDSLENGTH1>\r\nА\r\n<WORDSLENGTH1>|0|9|\r\n<WORDSMENU>|1|"));
    const ToolRun checked = Tool({"dict", "check", damaged});
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.out, damaged + ": строка 3: у длины 1 начало 0 меньше 1\n" + damaged +
                               ": строка 3: у длины 1 конец 9 за последней строкой словаря, 3\n");
    const ToolRun refused = Tool({"dict", "pick", "--length", "1", damaged});
    EXPECT_TRUE(refused.status == 1 && refused.err.find(damaged) != std::string::npos);
    EXPECT_EQ(Tool({"dict", "pick", "--length", "5", dict}).status, 1);  // no such length
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"dict"},
                                                {"dict", "frob"},
                                                {"dict", "build", text},
                                                {"dict", "pick", dict}})
        EXPECT_EQ(Tool(bad).status, 2) << testing::PrintToString(bad);
}

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
