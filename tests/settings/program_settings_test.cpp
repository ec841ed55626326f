#include "settings/program_settings.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "book/text_loader.h"
#include "settings/bookmarks.h"
#include "stats/reading_diary.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::TempDir;

TEST(ProgramSettings, FromAnEmptyStoreThroughOkToTheHandWrittenFiles) {
    // The empty ini file a first start creates stays empty until the first save.
    TempDir dir;
    const std::string ini = dir.Write("lectorix.ini", "");
    ProgramSettings s;
    s.SetStore({ini, false});

    UserSettings record;
    record.SpeedCpm = 1;
    record.FormatToolEnabled = true;
    double stepOverhead = 0;
    s.LoadUserSettings(record, stepOverhead);
    EXPECT_EQ(record.SpeedCpm, UserSettings().SpeedCpm);
    EXPECT_FALSE(record.FormatToolEnabled);
    EXPECT_EQ(stepOverhead, 0.965);
    EXPECT_EQ(ReadFileBytes(ini), "");
    s.AcceptUserSettings(record, stepOverhead);  // a first OK lays the sections out

    // The CPU test's figure goes through the main window's storage; the dialog reads it when it
    // opens next, and OK writes it back with the changed options.
    s.StoreStepOverhead("0.0123");
    s.RestoreDialogAutoSet();
    SettingsControls& c = s.Controls;
    c.CheckBoxHideLeftLetter = true;
    c.RxSpinEditCountHideLeftLetter = 2;
    c.CheckBoxShowCenterLine = false;
    c.CheckBoxShowTopBar = false;
    c.RxSpinEditCountLetter = 30;
    c.RxSpinEditCountShowOnePage = 3;
    c.RxSpinEditOpenString = 8;
    c.RxSpinEditSpeedWords = 1550;
    c.CheckBoxAutoSpeedPresent = false;
    c.CheckBoxFontStyle = true;
    c.ComboBoxFontName = "Lucida Console";
    c.RxSpinEditBeginSleep = 500;
    c.ComboBoxParagraphs = 1;
    c.CheckBoxNightMode = true;
    s.AcceptUserSettings(record, stepOverhead);
    EXPECT_EQ(ReadFileBytes(ini), test::DataFile("settings/after_ok.ini"));
    EXPECT_EQ(record.SpeedCpm, 1550);
    EXPECT_EQ(stepOverhead, 0.0123);

    // A second copy of the program starts on these values.
    ProgramSettings other;
    other.SetStore({ini, false});
    UserSettings again;
    double againOverhead = 0;
    other.LoadUserSettings(again, againOverhead);
    EXPECT_EQ(again.FontName, "Lucida Console");
    EXPECT_EQ(again.Paragraphs, LineParagraphs::On);
    EXPECT_TRUE(again.NightMode);
    EXPECT_EQ(againOverhead, 0.0123);

    // The contents panel's width, added later, stands at the end of its section; saves of the
    // section by copies that do not know it leave it there.
    EXPECT_EQ(other.RestoreContentsWidth(), 0);
    other.StoreContentsWidth(420);
    EXPECT_NE(ReadFileBytes(ini).find("PopravkaSpeed=0.0123\r\nContentsWidth=420\r\n"),
              std::string::npos);
    s.StoreStepOverhead("0.0123");
    s.AcceptUserSettings(record, stepOverhead);
    EXPECT_EQ(s.RestoreContentsWidth(), 420);
}

TEST(ProgramSettings, AFileFromBeforeTheNightModeReadsAsBeforeAndGetsItsKeyLast) {
    TempDir dir;
    const std::string night = "CheckBoxNightMode_Checked=False\r\n";
    const std::string current = test::DataFile("settings/defaults.ini");
    std::string older = current;
    ASSERT_NE(older.find("ComboBoxParagraphs_ItemIndex=0\r\n" + night), std::string::npos);
    older.erase(older.find(night), night.size());
    const std::string ini = dir.Write("lectorix.ini", older);
    ProgramSettings s;
    s.SetStore({ini, false});
    UserSettings record;
    record.NightMode = true;
    double stepOverhead = 0;
    s.LoadUserSettings(record, stepOverhead);
    EXPECT_FALSE(record.NightMode);
    EXPECT_FALSE(s.Controls.CheckBoxNightMode);
    // OK writes the key after the paragraphs' one, the rest of the file as it was.
    s.Controls.CheckBoxNightMode = true;
    s.AcceptUserSettings(record, stepOverhead);
    EXPECT_TRUE(record.NightMode);
    std::string expected = current;
    expected.replace(expected.find(night), night.size(), "CheckBoxNightMode_Checked=True\r\n");
    EXPECT_EQ(ReadFileBytes(ini), expected);
}

// One of the two documents the kill test alternates between, large enough to take a while.
void SaveDocument(const std::string& ini, int i) {
    ProgramSettings s;
    s.SetStore({ini, false});
    s.Bookmarks.assign(2000, std::string(200, i % 2 ? 'b' : 'a'));
    s.StoreStepOverhead(i % 2 ? "0.5" : "0.25");
}

TEST(ProgramSettings, AKilledSaveLeavesTheOldFileOrTheNewOne) {
    TempDir dir;
    const std::string ini = (dir.Path() / "lectorix.ini").string();
    std::string documents[2];
    for (int i = 0; i < 2; ++i) {
        SaveDocument(ini, i);
        documents[i] = ReadFileBytes(ini);
    }
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> wait(0, 20000);
    for (int round = 0; round < 100; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            for (int i = 0;; ++i)
                SaveDocument(ini, i);
        ::usleep(static_cast<useconds_t>(wait(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string bytes = ReadFileBytes(ini);
        ASSERT_TRUE(bytes == documents[0] || bytes == documents[1])
            << "round " << round << ": " << bytes.size() << " bytes";
    }
    // The temporaries the killed savers left are removed by the next save.
    SaveDocument(ini, 1);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"lectorix.ini", "lectorix.ini.lock"}));
}

// Each process records its reading and adds 200 bookmarks of ten books of its own, while
// the other does the same: one lost update would show in the sum or in the list.
TEST(ProgramSettings, TwoProcessesSavingAtOnceLoseNothing) {
    TempDir dir;
    const std::string ini = (dir.Path() / "lectorix.ini").string();
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] != 0) continue;
        ProgramSettings s;
        s.SetStore({ini, false});
        for (int n = 0; n < 200; ++n) {
            RecordReadingStatistics(s, {7, 12, 2026}, {10, 100});
            BookmarkRecord r;
            r.BookName = "book" + std::to_string(i) + "-" + std::to_string(n / 20);
            r.Caption = "Страница " + std::to_string(n % 20 + 1);
            r.FilePath = "/b/" + r.BookName;
            s.AddBookmark(FormatBookmark(r), n == 199 ? std::to_string(i) : "");
        }
        std::_Exit(0);
    }
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ProgramSettings s;
    s.SetStore({ini, false});
    EXPECT_EQ(s.RestoreBookmarks().size(), 400u);  // the two lists fill the limits exactly
    const std::string overhead = s.MainAutoSet.ReadValue("PopravkaSpeed");
    EXPECT_TRUE(overhead == "0" || overhead == "1") << overhead;
    s.FormStorageStatistic.Restore();
    EXPECT_EQ(s.GlobalStatistic, "4000|100|");
    EXPECT_EQ(s.DayStatistic, std::vector<std::string>{"07.12.2026|4000|100|"});
}

TEST(ProgramSettings, AProgramInAFolderTheUserCannotWriteKeepsItsSettingsInTheUserFolder) {
    TempDir dir;
    const auto bin = dir.Path() / "usr" / "bin";
    const auto config = dir.Path() / "config";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(config);
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(bin.c_str(), 0555);
    ::chmod(config.c_str(), 0777);
    const std::string userFile = (config / "Quorvel" / "Lectorix.ini").string();
    // In a child, as a user who cannot write the folders root made, with an environment of its
    // own.
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            std::_Exit(2);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        const SettingsStoreChoice choice = ChooseSettingsStore((bin / "lectorix").string());
        if (!choice.UseRegistry || choice.IniFileName != userFile) std::_Exit(1);
        ProgramSettings s;
        s.SetStore(choice);
        UserSettings record;
        double stepOverhead = 0;
        s.LoadUserSettings(record, stepOverhead);
        s.Controls.RxSpinEditSpeedWords = 1700;
        s.AcceptUserSettings(record, stepOverhead);
        // The next start finds the file with its section and keeps using it.
        const bool kept = ChooseSettingsStore((bin / "lectorix").string()).IniFileName == userFile;
        std::_Exit(kept ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(bin.c_str(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(std::filesystem::exists(bin / "lectorix.ini"));
    EXPECT_NE(ReadFileBytes(userFile).find("RxSpinEditSpeedWords_Value=1700\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace lectorix
