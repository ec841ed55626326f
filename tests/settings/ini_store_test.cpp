#include "settings/ini_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "book/text_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

using test::Cp;
using test::TempDir;

TEST(IniDocument, ReadsHandEditedFiles) {
    const IniDocument doc = IniDocument::Parse(
        "\xEF\xBB\xBF"
        "[A]\r\n  k = v1  \nbroken line\r[B\rk2=x\r\n"
        "[a]\nK=second\nk3='q'\n=empty key\n[Раздел]\nключ=значение\n");
    ASSERT_EQ(doc.Sections().size(), 2u);  // "[B" opens nothing, "[a]" continues "[A]"
    EXPECT_EQ(*doc.Find("a", "K"), "v1");  // the first of two equal keys wins
    EXPECT_EQ(*doc.Find("A", "k2"), "x");
    EXPECT_EQ(*doc.Find("A", "k3"), "'q'");  // the document keeps the quotes
    // Valid UTF-8 with Cyrillic is taken as edited by a UTF-8 editor.
    EXPECT_EQ(*doc.Find(Cp("Раздел"), Cp("ключ")), Cp("значение"));
    EXPECT_EQ(doc.Find("A", "nothing"), nullptr);
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
