#include "book/file_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <fstream>

#include "book/text_loader.h"

namespace lectorix {

namespace {

class SystemWriter : public FileWriter {
  public:
    ssize_t Write(int fd, const char* data, size_t size) override {
        return ::write(fd, data, size);
    }
};

// A descriptor closed when it goes.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ForeignFolder(const std::string& folder) {
    return "ссылка ведёт в папку другого пользователя «" + folder + "»";
}

std::string ForeignFile(const std::string& file) {
    return "ссылка ведёт к файлу другого пользователя «" + file + "»";
}

// The mode a file created now gets: `wanted` less the umask, read without changing it.
mode_t NewFileMode(mode_t wanted) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("Umask:")) continue;
        unsigned mask = 0;
        const std::string_view digits =
            std::string_view(line).substr(line.find_first_of("01234567"));
        if (std::from_chars(digits.data(), digits.data() + digits.size(), mask, 8).ec ==
            std::errc())
            return static_cast<mode_t>(wanted & ~mask & 07777);
    }
    return wanted & 0755;
}

// Removes "<name>.tmp<pid>.XXXXXX" in the folder when process <pid> is gone: a writer killed
// before its rename. A running writer's temporary (this process's included) stays.
void RemoveDeadTemporaries(int folder, const std::string& name) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return;
    }
    const std::string prefix = name + ".tmp";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (!entryName.starts_with(prefix)) continue;
        const std::string_view rest = entryName.substr(prefix.size());
        pid_t pid = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (ec != std::errc() || pid <= 0 || end + 7 != rest.data() + rest.size() || *end != '.')
            continue;
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

// Creates "<name>.tmp<pid>.XXXXXX" in the folder, readable by its owner only, never through a
// link; returns its descriptor (or -1 with errno) and its name.
int CreateTemporary(int folder, const std::string& name, std::string& temp) {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string prefix = name + ".tmp" + std::to_string(::getpid()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (::getrandom(random, sizeof random, GRND_NONBLOCK) != sizeof random) {
            const auto seed = static_cast<unsigned long>(std::time(nullptr)) + attempt * 7919u;
            for (size_t i = 0; i < sizeof random; ++i)
                random[i] = static_cast<unsigned char>(seed >> (i * 5));
        }
        temp = prefix;
        for (const unsigned char r : random)
            temp += kChars[r % (sizeof kChars - 1)];
        const int fd = ::openat(folder, temp.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes all of `bytes`; returns 0 or the errno of the failure.
int WriteAll(FileWriter& writer, int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = writer.Write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// A device or a pipe takes the bytes as they come; there is nothing to replace.
int WriteInPlace(FileWriter& writer, const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat info {};
    int err = 0;
    // Whatever took its place meanwhile is no longer what was asked to be written into.
    if (::fstat(fd, &info) != 0 || !(S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) err = EAGAIN;
    if (err == 0) err = WriteAll(writer, fd, bytes);
    if (::close(fd) != 0 && err == 0) err = errno;
    return err;
}

// Replaces `name` in the open folder by way of a temporary beside it, all relative to the
// folder's descriptor, so that nothing done to the path meanwhile moves the save elsewhere.
int ReplaceAtomically(FileWriter& writer, int folder, const std::string& name,
                      const struct stat* old, std::string_view bytes, mode_t newFileMode) {
    RemoveDeadTemporaries(folder, name);
    std::string temp;
    const int fd = CreateTemporary(folder, name, temp);
    if (fd < 0) return errno;
    int err = WriteAll(writer, fd, bytes);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (err == 0 && old != nullptr && (old->st_uid != ::geteuid() || old->st_gid != ::getegid())) {
        // Giving the file away takes privileges; the group alone may still be ours to give.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) (void)::fchown(fd, -1, old->st_gid);
    }
    if (err == 0 &&
        ::fchmod(fd, old != nullptr ? old->st_mode & 07777 : NewFileMode(newFileMode)) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::renameat(folder, temp.c_str(), folder, name.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlinkat(folder, temp.c_str(), 0);
        return err;
    }
    // The rename itself is durable once the folder is flushed.
    (void)::fsync(folder);
    return 0;
}

}  // namespace

FileWriter& SystemFileWriter() {
    static SystemWriter writer;
    return writer;
}

SaveTarget ResolveSaveTarget(const std::string& path) {
    SaveTarget t;
    t.Path = path;
    const uid_t me = ::geteuid();
    struct stat info {};
    for (int hops = 0;; ++hops) {
        if (::lstat(t.Path.c_str(), &info) != 0) {
            // Nothing there yet: a link may have it made only in a folder of the user's.
            struct stat folder {};
            const std::string f = FolderOf(t.Path);
            if (t.ThroughLink && ::stat(f.c_str(), &folder) == 0 && folder.st_uid != me)
                t.Refusal = ForeignFolder(f);
            return t;
        }
        if (!S_ISLNK(info.st_mode)) break;
        if (hops == 40) {
            t.Error = ELOOP;
            return t;
        }
        t.ThroughLink = true;
        if (info.st_uid != me && info.st_uid != 0) {
            t.Refusal = "ссылка «" + t.Path + "» принадлежит другому пользователю";
            return t;
        }
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(t.Path.c_str(), target.data(), target.size());
        if (n < 0) {
            t.Error = errno;
            return t;
        }
        target.resize(static_cast<size_t>(n));
        // A relative link is relative to the folder it stands in.
        t.Path = target.starts_with('/') ? target : FolderOf(t.Path) + "/" + target;
    }
    if (t.ThroughLink && S_ISREG(info.st_mode)) {
        struct stat folder {};
        const std::string f = FolderOf(t.Path);
        if (info.st_uid != me)
            t.Refusal = ForeignFile(t.Path);
        else if (::stat(f.c_str(), &folder) == 0 && folder.st_uid != me)
            t.Refusal = ForeignFolder(f);
    }
    return t;
}

std::string FolderOfFile(const std::string& path) {
    return FolderOf(path);
}

std::string TemporaryPrefixFor(const std::string& path, pid_t pid) {
    return path + ".tmp" + std::to_string(pid) + ".";
}

std::string DescribeFileError(int err) {
    switch (err) {
        case ENOENT:
            return "файл не найден";
        case EACCES:
        case EPERM:
            return "нет доступа";
        case EISDIR:
            return "это папка, а не файл";
        case ENOMEM:
            return "не хватает памяти";
        case ENOSPC:
            return "нет места на диске";
        case EROFS:
            return "диск только для чтения";
        case ENOTDIR:
            return "путь проходит через файл, а не папку";
        case ELOOP:
            return "ссылки ведут по кругу";
        case EAGAIN:
            return "файл подменили во время записи";
        default:
            return std::strerror(err);
    }
}

void WriteFileBytes(const std::string& path, std::string_view bytes, FileWriter& writer,
                    mode_t newFileMode) {
    const auto fail = [&](int err, const std::string& reason = {}) {
        return UserError("Не удалось записать файл \"" + path +
                         "\": " + (reason.empty() ? DescribeFileError(err) : reason));
    };
    const SaveTarget target = ResolveSaveTarget(path);
    if (target.Error != 0) throw fail(target.Error);
    if (!target.Refusal.empty()) throw fail(0, target.Refusal);

    // The kernel's own following, which also knows /proc's links to pipes (/dev/stdout).
    struct stat info {};
    const bool there = ::stat(path.c_str(), &info) == 0;
    if (!there && errno != ENOENT) throw fail(errno);
    if (there && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) throw fail(EISDIR);
        if (!S_ISCHR(info.st_mode) && !S_ISFIFO(info.st_mode))
            throw fail(0, "это не обычный файл, а устройство или сокет");
        if (const int err = WriteInPlace(writer, path, bytes); err != 0) throw fail(err);
        return;
    }

    // From here on everything is relative to the folder as it is opened now, and what the
    // links promised is checked again on what was opened.
    const std::string folder = FolderOf(target.Path);
    Descriptor dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0 && errno == EACCES)
        dir.fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd < 0) throw fail(errno);
    const uid_t me = ::geteuid();
    struct stat folderInfo {};
    if (::fstat(dir.fd, &folderInfo) != 0) throw fail(errno);
    if (target.ThroughLink && folderInfo.st_uid != me) throw fail(0, ForeignFolder(folder));
    const std::string name = NameOf(target.Path);
    struct stat old {};
    const bool exists = ::fstatat(dir.fd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) throw fail(errno);
    if (exists && S_ISDIR(old.st_mode)) throw fail(EISDIR);
    if (exists && !S_ISREG(old.st_mode)) throw fail(EAGAIN);
    if (exists && target.ThroughLink && old.st_uid != me) throw fail(0, ForeignFile(target.Path));
    if (const int err =
            ReplaceAtomically(writer, dir.fd, name, exists ? &old : nullptr, bytes, newFileMode);
        err != 0)
        throw fail(err);
}

}  // namespace lectorix
