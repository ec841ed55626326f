#include "book/file_save.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "book/text_loader.h"
#include "support/failing_writer.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode;
}

std::string Refusal(const std::string& path, const std::string& bytes) {
    try {
        WriteFileBytes(path, bytes);
    } catch (const UserError& e) {
        return e.what();
    }
    return "(written)";
}

size_t EntriesIn(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(WriteFileBytes, SavesThroughLinksAndKeepsTheMode) {
    TempDir dir;
    fs::create_directory(dir.Path() / "real");
    const std::string real = dir.Write("real/settings.ini", "old");
    ::chmod(real.c_str(), 0600);
    // A relative link in another folder, and a link to that link.
    const std::string link = (dir.Path() / "link.ini").string();
    fs::create_symlink("real/settings.ini", link);
    const std::string link2 = (dir.Path() / "link2.ini").string();
    fs::create_symlink(link, link2);

    WriteFileBytes(link2, "new");
    EXPECT_TRUE(fs::is_symlink(link) && fs::is_symlink(link2));
    EXPECT_EQ(ReadFileBytes(real), "new");
    EXPECT_EQ(ModeOf(real) & 07777, 0600u);  // a private file stays private
    ::chmod(real.c_str(), 0640);
    WriteFileBytes(real, "again");
    EXPECT_EQ(ModeOf(real) & 07777, 0640u);
    EXPECT_EQ(EntriesIn(dir.Path() / "real"), 1u);  // no temporary left
    // Root saving another user's file leaves it theirs.
    if (::geteuid() == 0 && ::chown(real.c_str(), 4321, 4321) == 0) {
        WriteFileBytes(real, "theirs");
        struct stat info {};
        ASSERT_EQ(::stat(real.c_str(), &info), 0);
        EXPECT_TRUE(info.st_uid == 4321 && info.st_gid == 4321 && (info.st_mode & 07777) == 0640);
    }

    // A link to a file not there yet creates that file, and a new file gets the usual mode.
    const std::string dangling = (dir.Path() / "dangling.ini").string();
    const std::string later = (dir.Path() / "real/later.ini").string();
    fs::create_symlink("real/later.ini", dangling);
    WriteFileBytes(dangling, "x");
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadFileBytes(later), "x");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(ModeOf(later) & 07777, 0666u & ~mask);

    // Links in a circle are refused with a reason.
    fs::create_symlink("b", dir.Path() / "a");
    fs::create_symlink("a", dir.Path() / "b");
    EXPECT_NE(Refusal((dir.Path() / "a").string(), "x"), "(written)");
}

// A save through a link followed it into another user's file (as root even keeping its owner,
// so a link to a system file replaced it) or made a file in another user's folder. As root and
// as an ordinary user, every such save is refused and leaves everything as it was.
TEST(WriteFileBytes, NeverFollowsALinkIntoAnotherUsersFileOrFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make files of other users";
    for (const uid_t me : {uid_t{0}, test::kPlainUser}) {
        TempDir dir;
        // Both folders writable by all, so that only the rules stop a save.
        const fs::path mine = dir.Path() / "mine", theirs = dir.Path() / "theirs";
        for (const auto& [folder, owner] : {std::pair{mine, me}, {theirs, test::kOtherUser}}) {
            fs::create_directory(folder);
            ::chmod(folder.c_str(), 0777);
            test::GiveTo(folder, owner);
        }
        const auto file = [&](const fs::path& path, uid_t owner) {
            const std::string p = dir.Write(fs::relative(path, dir.Path()).string(), "[S]\r\n");
            ::chmod(p.c_str(), 0666);
            test::GiveTo(p, owner);
            return p;
        };
        const auto link = [&](const std::string& name, const std::string& to, uid_t owner) {
            const fs::path l = mine / name;
            fs::create_symlink(to, l);
            test::GiveTo(l, owner);
            return l.string();
        };
        const std::string their = file(theirs / "their.ini", test::kOtherUser);
        const std::string mineInTheirs = file(theirs / "mine.ini", me);
        const std::string own = file(mine / "own.ini", me);
        const std::string toTheirs = link("a", their, me);
        const std::string toTheirFolder = link("b", (theirs / "new.ini").string(), me);
        const std::string toMineInTheirs = link("c", mineInTheirs, me);
        const std::string theirLink = link("d", own, test::kOtherUser);
        const std::string toOwn = link("e", "own.ini", me);

        const test::AsUser as(me);
        EXPECT_NE(Refusal(toTheirs, "x").find("ведёт к файлу другого пользователя «" + their),
                  std::string::npos);
        EXPECT_NE(Refusal(toTheirFolder, "x").find("ведёт в папку другого пользователя"),
                  std::string::npos);
        EXPECT_NE(Refusal(toMineInTheirs, "x").find("ведёт в папку другого пользователя"),
                  std::string::npos);
        EXPECT_NE(Refusal(theirLink, "x").find("принадлежит другому пользователю"),
                  std::string::npos);
        for (const std::string& kept : {their, mineInTheirs, own})
            EXPECT_EQ(ReadFileBytes(kept), "[S]\r\n") << kept;
        struct stat info {};
        EXPECT_TRUE(::stat(their.c_str(), &info) == 0 && info.st_uid == test::kOtherUser);
        EXPECT_FALSE(fs::exists(theirs / "new.ini"));
        EXPECT_EQ(EntriesIn(theirs), 2u);  // no temporary either
        // The user's own link to the user's own file is followed as ever.
        WriteFileBytes(toOwn, "new");
        EXPECT_TRUE(fs::is_symlink(toOwn));
        EXPECT_EQ(ReadFileBytes(own), "new");
    }
}

TEST(WriteFileBytes, NeverReplacesWhatIsNotARegularFile) {
    TempDir dir;
    // A folder is refused and left as it was.
    fs::create_directory(dir.Path() / "folder");
    EXPECT_NE(Refusal((dir.Path() / "folder").string(), "x").find("это папка"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "folder"));

    // A pipe gets the bytes and stays a pipe.
    const std::string fifo = (dir.Path() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    WriteFileBytes(fifo, "through");
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_STREQ(got, "through");
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));

    // Device nodes of their own, so no test ever goes near the system's /dev.
    const std::string null = (dir.Path() / "null").string();
    const std::string full = (dir.Path() / "full").string();
    if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        ::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "no right to make device nodes";
    EXPECT_NO_THROW(WriteFileBytes(null, "gone"));
    EXPECT_TRUE(S_ISCHR(ModeOf(null)));
    // A full device says so, and stays the device it was.
    EXPECT_NE(Refusal(full, "x").find("нет места на диске"), std::string::npos);
    EXPECT_TRUE(S_ISCHR(ModeOf(full)));
    const std::string block = (dir.Path() / "block").string();
    ASSERT_EQ(::mknod(block.c_str(), S_IFBLK | 0600, makedev(7, 0)), 0);
    EXPECT_NE(Refusal(block, "x"), "(written)");
    EXPECT_TRUE(S_ISBLK(ModeOf(block)));
}

TEST(WriteFileBytes, AFullDiskLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    const std::string file = dir.Write("book.lxb", "the old book");
    for (const size_t bytes : {size_t{0}, size_t{5}, size_t{4095}}) {
        test::FailingWriter writer(bytes);
        try {
            WriteFileBytes(file, std::string(5000, 'n'), writer);
            FAIL() << "a failed write reported as done";
        } catch (const UserError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Не удалось записать файл \"" + file + "\": нет места на диске");
        }
        EXPECT_EQ(writer.Written(), bytes);
        EXPECT_EQ(ReadFileBytes(file), "the old book");
        EXPECT_EQ(EntriesIn(dir.Path()), 1u);
    }
}

// A save killed before its rename leaves its temporary; the next save removes it, but never
// the temporary of a writer still running.
TEST(WriteFileBytes, RemovesTheTemporariesOfWritersThatAreGone) {
    TempDir dir;
    const std::string file = dir.Write("Lectorix.ini", "old");
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = TemporaryPrefixFor(file, child) + "a1B2c3";
    const std::string live = TemporaryPrefixFor(file, ::getppid()) + "d4E5f6";
    const std::string mine = TemporaryPrefixFor(file, ::getpid()) + "g7H8i9";
    const std::string other = TemporaryPrefixFor(dir.Write("Other.ini", ""), child) + "j1K2l3";
    for (const std::string& leftover : {dead, live, mine, other})
        dir.Write(fs::path(leftover).filename().string(), std::string(1000, 'x'));
    // A user's file that only looks a little like one is no temporary.
    const std::string lookalike = dir.Write("Lectorix.ini.tmp-notes", "mine");

    WriteFileBytes(file, "new");
    EXPECT_EQ(ReadFileBytes(file), "new");
    EXPECT_FALSE(fs::exists(dead));
    for (const std::string& kept : {live, mine, other, lookalike})
        EXPECT_TRUE(fs::exists(kept)) << kept;
}

}  // namespace
}  // namespace lectorix
