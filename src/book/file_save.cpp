#include "book/file_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
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

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a chain of symbolic links ends at (which need not exist yet), or 0 and the errno of a
// loop or an unreadable link.
int FollowLinksOf(std::string& path) {
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
        if (hops == 40) return ELOOP;
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return errno;
        target.resize(static_cast<size_t>(n));
        // A relative link is relative to the folder it stands in.
        path = target.starts_with('/') ? target : FolderOf(path) + "/" + target;
    }
}

// The mode a file created now gets: 0666 less the umask, read without changing it.
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("Umask:")) continue;
        unsigned mask = 0;
        const std::string_view digits =
            std::string_view(line).substr(line.find_first_of("01234567"));
        if (std::from_chars(digits.data(), digits.data() + digits.size(), mask, 8).ec ==
            std::errc())
            return static_cast<mode_t>(0666 & ~mask);
    }
    return 0644;
}

// Removes "<name>.tmp<pid>.XXXXXX" beside the file when process <pid> is gone: a writer killed
// before its rename. A running writer's temporary (this process's included) stays.
void RemoveDeadTemporaries(const std::string& target) {
    const std::string folder = FolderOf(target);
    const size_t slash = target.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix)) continue;
        const std::string_view rest = name.substr(prefix.size());
        pid_t pid = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (ec != std::errc() || pid <= 0 || end + 7 != rest.data() + rest.size() || *end != '.')
            continue;
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
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
int WriteInPlace(FileWriter& writer, const std::string& target, std::string_view bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = WriteAll(writer, fd, bytes);
    if (::close(fd) != 0 && err == 0) err = errno;
    return err;
}

int ReplaceAtomically(FileWriter& writer, const std::string& target, const struct stat* old,
                      std::string_view bytes) {
    RemoveDeadTemporaries(target);
    std::string temp = TemporaryPrefixFor(target, ::getpid()) + "XXXXXX";
    // Only the owner can read the temporary until it has the old file's mode.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    int err = WriteAll(writer, fd, bytes);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (err == 0 && old != nullptr && (old->st_uid != ::geteuid() || old->st_gid != ::getegid())) {
        // Giving the file away takes privileges; the group alone may still be ours to give.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) (void)::fchown(fd, -1, old->st_gid);
    }
    if (err == 0 && ::fchmod(fd, old != nullptr ? old->st_mode & 07777 : NewFileMode()) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && std::rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return err;
    }
    // The rename itself is durable once the folder is flushed.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return 0;
}

}  // namespace

FileWriter& SystemFileWriter() {
    static SystemWriter writer;
    return writer;
}

std::string FollowLinks(std::string path) {
    (void)FollowLinksOf(path);
    return path;
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
        default:
            return std::strerror(err);
    }
}

void WriteFileBytes(const std::string& path, std::string_view bytes, FileWriter& writer) {
    const auto fail = [&](int err, const std::string& reason = {}) {
        return UserError("Не удалось записать файл \"" + path +
                         "\": " + (reason.empty() ? DescribeFileError(err) : reason));
    };
    std::string target = path;
    int err = FollowLinksOf(target);
    if (err != 0) throw fail(err);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno != ENOENT) throw fail(errno);
        err = ReplaceAtomically(writer, target, nullptr, bytes);
    } else if (S_ISREG(info.st_mode)) {
        err = ReplaceAtomically(writer, target, &info, bytes);
    } else if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) {
        err = WriteInPlace(writer, target, bytes);
    } else if (S_ISDIR(info.st_mode)) {
        throw fail(EISDIR);
    } else {
        throw fail(0, "это не обычный файл, а устройство или сокет");
    }
    if (err != 0) throw fail(err);
}

}  // namespace lectorix
