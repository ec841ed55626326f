#include "settings/ini_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using test::TempDir;

size_t EntriesIn(const std::filesystem::path& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(IniDocument, ReadsHandEditedFiles) {
    const IniDocument doc = IniDocument::Parse(
        "\xEF\xBB\xBF"
        "[A]\r\n  k = v1  \nbroken line\r[B\rk2=x\r\n"
        "[a]\nK=second\nk3='q'\n=empty key\n[Раздел]\nключ=значение\n");
    ASSERT_EQ(doc.SectionCount(), 2u);     // "[B" opens nothing, "[a]" continues "[A]"
    EXPECT_EQ(*doc.Find("a", "K"), "v1");  // the first of two equal keys wins
    EXPECT_EQ(*doc.Find("A", "k2"), "x");
    EXPECT_EQ(*doc.Find("A", "k3"), "'q'");  // the document keeps the quotes
    // Valid UTF-8 with Cyrillic is taken as edited by a UTF-8 editor.
    EXPECT_EQ(*doc.Find(Cp("Раздел"), Cp("ключ")), Cp("значение"));
    EXPECT_EQ(doc.Find("A", "nothing"), std::nullopt);
    // CP1251 bytes stay as they are.
    EXPECT_EQ(*IniDocument::Parse(Cp("[Р]\nк=д")).Find(Cp("р"), Cp("К")), Cp("д"));
}

TEST(IniDocument, KeepsOrderReplacingInPlaceAndMovingErasedSections) {
    IniDocument doc;
    doc.Set("S", "a", "1");
    doc.Set("L", "Count", "1");
    doc.Set("S", "b", "2");
    doc.Set("s", "A", "3");
    doc.EraseSection("l");
    doc.Set("L", "Count", "2");
    EXPECT_EQ(doc.Serialize(), "[S]\r\na=3\r\nb=2\r\n\r\n[L]\r\nCount=2\r\n");
    EXPECT_EQ(IniDocument().Serialize(), "");
}

// A large section is looked into through an index of its keys, which must agree with the scan
// of a small one: the first of two equal keys, any letter case, values set in place.
TEST(IniDocument, ALargeSectionReadsAndWritesAsASmallOne) {
    std::string text = "[Big]\r\n";
    for (int i = 0; i < 2000; ++i)
        text += "Item" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    text += "item7=again\r\n[Other]\r\nx=1\r\n[big]\r\nLate=yes\r\n";
    IniDocument doc = IniDocument::Parse(text);
    EXPECT_EQ(doc.SectionCount(), 2u);
    EXPECT_EQ(*doc.Find("BIG", "ITEM7"), "7");
    EXPECT_EQ(*doc.Find("big", "late"), "yes");
    EXPECT_EQ(doc.Find("big", "Item2000"), std::nullopt);
    size_t keys = 0;
    doc.ForEachKey("Big", [&keys](std::string_view) { ++keys; });
    EXPECT_EQ(keys, 2001u);
    doc.Set("big", "item1999", "changed");
    doc.Set("Big", "New", "n");
    const std::string saved = doc.Serialize();
    EXPECT_EQ(saved.find("item7=again"), std::string::npos);
    EXPECT_NE(saved.find("Item1999=changed\r\nLate=yes\r\nNew=n\r\n\r\n[Other]"),
              std::string::npos);
    EXPECT_EQ(*IniDocument::Parse(saved).Find("big", "item1999"), "changed");
}

TEST(FileStores, QuotingAndTheCutApplyToTheIniFileOnly) {
    TempDir dir;
    const std::string ini = (dir.Path() / "a.ini").string();
    const std::string user = (dir.Path() / "sub" / "user.ini").string();
    const std::string longValue(3000, 'x');
    struct Row {
        const char *key, *value, *iniLine;
    };
    const Row rows[] = {{"single", "'quoted'", "single=\"'quoted'\"\r\n"},
                        {"double", "\"both\"", "double=\"\"both\"\"\r\n"},
                        {"lone", "\"", "lone=\"\r\n"}};
    for (const std::string& path : {ini, user}) {
        const auto store = OpenSettingsStore(path, path == user, false);
        for (const Row& r : rows)
            store->Write("S", r.key, r.value);
        store->Write("S", "long", longValue);
        store->Save();  // the user file's folder is created
    }
    const IniFileStore iniStore(ini, false);
    const UserFileStore userStore(user, false);
    for (const Row& r : rows) {
        EXPECT_NE(ReadFileBytes(ini).find(r.iniLine), std::string::npos) << r.key;
        EXPECT_EQ(iniStore.Read("S", r.key), r.value);
        EXPECT_EQ(userStore.Read("S", r.key), r.value);
    }
    EXPECT_NE(ReadFileBytes(user).find("single='quoted'\r\n"), std::string::npos);
    EXPECT_EQ(iniStore.Read("S", "long")->size(), 2047u);
    EXPECT_EQ(iniStore.Read("S", "missing"), std::nullopt);
    EXPECT_EQ(userStore.Read("S", "long"), longValue);
    // A hand-quoted value in the user file is not unquoted either.
    EXPECT_EQ(UserFileStore(dir.Write("u.ini", "[S]\nv=\"x\"\n"), false).Read("S", "v"), "\"x\"");
}

// A UTF-16 file once lost its values to a save and became a mix of both encodings.
TEST(FileStores, AFileThatIsNoSettingsIsSetAsideNotOverwritten) {
    EXPECT_TRUE(IsSettingsText(""));  // the empty file of a first start
    EXPECT_TRUE(IsSettingsText(Cp("[Статистика чтения]\nk=v\tw\n")));
    EXPECT_FALSE(IsSettingsText(std::string("[\0U\0]\0", 6)));       // UTF-16
    EXPECT_FALSE(IsSettingsText("PK\x03\x04\x14\x00\x08"));          // an archive
    EXPECT_FALSE(IsSettingsText("just a note\r\nno sections\r\n"));  // not the layout
    EXPECT_FALSE(IsSettingsText("[S]\x01\x02\x03\x04\x05\x06\x07"));

    TempDir dir;
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("[S]\r\nEditGlobalStatistic_Text=5000|1000|\r\n"))
        utf16 += std::string{c, '\0'};
    const std::string ini = dir.Write("Lectorix.ini", utf16);

    // Reading leaves it alone and finds nothing in it.
    EXPECT_FALSE(IniFileStore(ini, true).HasSection("S"));
    EXPECT_EQ(ReadFileBytes(ini), utf16);
    // A file that cannot be read (a folder) is not overwritten by a save either.
    EXPECT_THROW(IniFileStore(dir.Path().string(), false), UserError);
    EXPECT_NO_THROW(IniFileStore(dir.Path().string(), true));

    // A save puts it aside, writes a fresh file and then tells, naming both files.
    IniFileStore store(ini, false);
    store.Write("S", "k", "v");
    try {
        store.Save();
        FAIL() << "the user was not told";
    } catch (const UserError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("«" + ini + "»"), std::string::npos) << message;
        EXPECT_NE(message.find("«" + ini + ".damaged»"), std::string::npos) << message;
    }
    EXPECT_EQ(ReadFileBytes(ini + ".damaged"), utf16);
    EXPECT_EQ(ReadFileBytes(ini), "[S]\r\nk=v\r\n");
    // Once only: the fresh file is the settings now.
    IniFileStore again(ini, false);
    EXPECT_NO_THROW(again.Save());
    EXPECT_EQ(SetAsideDamagedSettings(ini), "");

    // At the start the program sets it aside before anything reads it.
    dir.Write("Lectorix.ini", utf16);
    EXPECT_NE(SetAsideDamagedSettings(ini).find(ini + ".damaged"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(ini));
}

// The settings file beside the program as a link to another user's file: the file it led to
// was renamed "<it>.damaged" and a world-readable one made in its place (as root, over a system
// file), or, holding settings, rewritten; a dangling one had the file made through it. As root
// and as an ordinary user, the link itself is set aside and a private file of the user's starts.
TEST(FileStores, ALinkToAnotherUsersFileIsSetAsideItselfAndTheFileLeftAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make files of other users";
    namespace fs = std::filesystem;
    for (const uid_t me : {uid_t{0}, test::kPlainUser}) {
        TempDir dir;
        const fs::path program = dir.Path() / "program", theirs = dir.Path() / "theirs";
        for (const auto& [folder, owner] : {std::pair{program, me}, {theirs, test::kOtherUser}}) {
            fs::create_directory(folder);
            ::chmod(folder.c_str(), 0777);
            test::GiveTo(folder, owner);
        }
        const std::string exe = (program / "lectorix").string();
        const std::string ini = exe + ".ini";
        const auto theirFile = [&](const char* name, const char* bytes) {
            const std::string path = dir.Write(std::string("theirs/") + name, bytes);
            ::chmod(path.c_str(), 0666);
            test::GiveTo(path, test::kOtherUser);
            return path;
        };
        const auto linkTo = [&](const std::string& target) {
            fs::remove(ini);
            fs::create_symlink(target, ini);
            test::GiveTo(ini, me);
        };
        const std::string text = theirFile("notes.txt", "not settings");
        const std::string settings = theirFile("their.ini", "[UserSetting]\r\nk=theirs\r\n");
        const test::AsUser as(me);

        // A dangling link: nothing is created through it, at the choice nor by the lock.
        linkTo((theirs / "new.ini").string());
        fs::create_symlink(theirs / "lock", ini + ".lock");
        EXPECT_EQ(ChooseSettingsStore(exe).IniFileName, ini);
        { const StoreLock lock(ini); }
        EXPECT_EQ(EntriesIn(theirs), 2u);

        // At the start the link to a file of no settings is set aside, not the file.
        linkTo(text);
        const std::string told = SetAsideDamagedSettings(ini);
        EXPECT_NE(told.find("«" + ini + ".damaged»"), std::string::npos) << told;
        EXPECT_TRUE(fs::is_symlink(ini + ".damaged"));
        EXPECT_FALSE(fs::is_symlink(ini) || fs::exists(ini));
        EXPECT_EQ(ReadFileBytes(text), "not settings");

        // Their settings are neither read nor rewritten; the first save starts a file of mine.
        linkTo(settings);
        EXPECT_FALSE(IniFileStore(ini, true).HasSection("UserSetting"));
        IniFileStore store(ini, false);
        store.Write("S", "k", "mine");
        EXPECT_THROW(store.Save(), UserError);  // the notice, after the save
        EXPECT_EQ(ReadFileBytes(settings), "[UserSetting]\r\nk=theirs\r\n");
        struct stat info {};
        ASSERT_EQ(::lstat(ini.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_uid == me) << info.st_uid;
        EXPECT_EQ(info.st_mode & 07777, 0600u);  // the diary and the books read are private
        EXPECT_EQ(EntriesIn(theirs), 2u);
    }
}

// A settings file of 100 MB took 760 MB and 15 s to start with: one past the limit is set aside
// unread, with the notice of a damaged file, and read as no settings meanwhile; and no save
// makes a file that the next start would set aside.
TEST(FileStores, AFileBeyondTheLimitIsSetAsideUnread) {
    TempDir dir;
    std::string big = "[UserSetting]\r\nk=";
    big.resize(kMaxSettingsFileSize + 1, 'x');
    const std::string ini = dir.Write("Lectorix.ini", big);
    EXPECT_FALSE(IniFileStore(ini, true).HasSection("UserSetting"));
    const std::string told = SetAsideDamagedSettings(ini);
    EXPECT_NE(told.find("больше 16 МБ"), std::string::npos) << told;
    EXPECT_EQ(std::filesystem::file_size(ini + ".damaged"), big.size());
    big.resize(kMaxSettingsFileSize);
    dir.Write("Lectorix.ini", big);
    IniFileStore store(ini, false);
    EXPECT_TRUE(store.HasSection("UserSetting"));  // the limit itself reads
    // A save that would write past the limit (a file of LF ends grows) leaves it as it was,
    // rather than have it set aside at the next start.
    store.Write("UserSetting", "more", "x");
    try {
        store.Save();
        FAIL() << "saved past the limit";
    } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find("больше 16 МБ"), std::string::npos) << e.what();
    }
    EXPECT_EQ(std::filesystem::file_size(ini), big.size());
}

TEST(ChooseSettingsStore, PicksTheIniFileOrTheUserFile) {
    EXPECT_EQ(IniFileNameFor("/opt/READER.EXE"), "/opt/READER.ini");
    EXPECT_EQ(IniFileNameFor("/a.Exe/b.exe"), "/a.ini/b.ini");
    TempDir dir;
    const std::string exe = (dir.Path() / "lectorix").string();
    const std::string ini = exe + ".ini";
    StoreProbe probe;
    probe.UserFilePath = (dir.Path() / "config" / "Lectorix.ini").string();

    // A first start creates an empty ini file.
    auto choice = ChooseSettingsStore(exe, probe);
    EXPECT_EQ(choice.IniFileName, ini);
    EXPECT_EQ(ReadFileBytes(ini), "");

    // A read-only ini file (asked through the probe: root may write anything).
    probe.IsWritable = [&](const std::string& path) { return path != ini; };
    choice = ChooseSettingsStore(exe, probe);
    EXPECT_TRUE(choice.UseRegistry);
    EXPECT_EQ(choice.IniFileName, probe.UserFilePath);
    probe.IsWritable = nullptr;

    // An ini file that cannot be created.
    std::filesystem::remove(ini);
    probe.CreateEmpty = [](const std::string&) { return false; };
    EXPECT_TRUE(ChooseSettingsStore(exe, probe).UseRegistry);
    // Installed by a package and run as root, where everything is writable: it made
    // /usr/bin/lectorix.ini, a file no package owns.
    probe.CreateEmpty = [](const std::string& path) -> bool {
        ADD_FAILURE() << "created " << path;
        return true;
    };
    EXPECT_TRUE(ChooseSettingsStore("/usr/bin/lectorix", probe).UseRegistry);
    probe.CreateEmpty = nullptr;

    // A user file without "UserSetting" does not count; one with it wins over a writable ini.
    std::filesystem::create_directories(dir.Path() / "config");
    dir.Write("config/Lectorix.ini", "[Other]\r\nk=v\r\n");
    EXPECT_FALSE(ChooseSettingsStore(exe, probe).UseRegistry);
    dir.Write("config/Lectorix.ini", "[usersetting]\r\nFormVersion=0\r\n");
    EXPECT_TRUE(ChooseSettingsStore(exe, probe).UseRegistry);
    probe.IsWritable = [&](const std::string& path) { return path != probe.UserFilePath; };
    EXPECT_FALSE(ChooseSettingsStore(exe, probe).UseRegistry);

    // A writable file in a folder the user cannot write could never be saved: every save
    // failed and the session was lost. The user file it is, as for a read-only file.
    dir.Write("config/Lectorix.ini", "[Other]\r\nk=v\r\n");
    const std::string folder = dir.Path().string();
    probe.IsWritable = [&](const std::string& path) { return path != folder; };
    EXPECT_TRUE(ChooseSettingsStore(exe, probe).UseRegistry);
    dir.Write("config/Lectorix.ini", "[UserSetting]\r\nFormVersion=0\r\n");
    // The same for the user file, which then gives way to the ini file.
    probe.IsWritable = [&](const std::string& path) { return path != dir.Path() / "config"; };
    EXPECT_FALSE(ChooseSettingsStore(exe, probe).UseRegistry);
}

}  // namespace
}  // namespace lectorix
