// Saving a file so that a failure never leaves it half written, and so that the user's file
// stays what it was: the same links, the same mode and owner.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace lectorix {

// Where the bytes of a save go. The system's write by default; tests put in one that fails.
class FileWriter {
  public:
    virtual ~FileWriter() = default;
    // As write(2): the number of bytes written, or -1 with errno set.
    virtual ssize_t Write(int fd, const char* data, size_t size) = 0;
};

// write(2) itself.
FileWriter& SystemFileWriter();

// The mode a new file asks for (less the umask), as any program's new file.
inline constexpr mode_t kUsualFileMode = 0666;

// Saves `bytes` as the file at `path`:
// - a symbolic link is followed and the file it leads to is saved (the link stays a link), as
//   far as ResolveSaveTarget allows; otherwise the save is refused and nothing is written;
// - a regular file (or none yet) is replaced atomically: a temporary file beside it is written,
//   flushed, given the old file's mode and owner (the owner where permitted) and renamed over
//   it, so a failed write (a full disk) leaves the old file whole; a new file gets
//   `newFileMode` less the umask;
// - a character device or a pipe is written to directly (/dev/null, /dev/stdout);
// - a folder, a block device or a socket is refused.
// Before it writes, the save removes the temporaries beside the file that writers which are no
// longer running left behind. Throws UserError naming the file and the reason.
void WriteFileBytes(const std::string& path, std::string_view bytes,
                    FileWriter& writer = SystemFileWriter(), mode_t newFileMode = kUsualFileMode);

// Where a save of `path` goes once its links are followed.
struct SaveTarget {
    std::string Path;          // `path` itself, or the end of its chain of links
    bool ThroughLink = false;  // `path` is a link
    int Error = 0;             // errno of a loop or of a link that cannot be read
    std::string Refusal;       // why the links may not be followed; empty when they may
};

// Follows the chain of symbolic links at `path` as a save may, so that nobody's link can turn
// the user's save into a write over a file the user did not mean, and no save made by root
// through a link lands in another user's file:
// - every link must belong to the user running the program, or to root (the system's own,
//   such as /dev/stdout);
// - a regular file it leads to must belong to that user, and so must the folder it stands in
//   (the temporary of the save is made there); a file not there yet is created only in a
//   folder of that user;
// - a device or a pipe it leads to is written in place, whoever owns it (nothing is made).
// A path that is no link is the user's own choice and is saved whoever owns it.
SaveTarget ResolveSaveTarget(const std::string& path);

// The folder part of a path: "." for a bare name, "/" for a file at the root.
std::string FolderOfFile(const std::string& path);

// The temporary a save of `path` by process `pid` writes: "<path>.tmp<pid>.XXXXXX", the last
// six characters made unique.
std::string TemporaryPrefixFor(const std::string& path, pid_t pid);

// The reason for an errno value, in words for the user.
std::string DescribeFileError(int err);

}  // namespace lectorix
