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

// Saves `bytes` as the file at `path`:
// - a symbolic link is followed and the file it leads to is saved (the link stays a link);
// - a regular file (or none yet) is replaced atomically: a temporary file beside it is written,
//   flushed, given the old file's mode and owner (the owner where permitted) and renamed over
//   it, so a failed write (a full disk) leaves the old file whole;
// - a character device or a pipe is written to directly (/dev/null, /dev/stdout);
// - a folder, a block device or a socket is refused.
// Before it writes, the save removes the temporaries beside the file that writers which are no
// longer running left behind. Throws UserError naming the file and the reason.
void WriteFileBytes(const std::string& path, std::string_view bytes,
                    FileWriter& writer = SystemFileWriter());

// The file a chain of symbolic links at `path` ends at (which need not exist); `path` itself
// when it is no link or the chain cannot be followed.
std::string FollowLinks(std::string path);
// The folder part of a path: "." for a bare name, "/" for a file at the root.
std::string FolderOfFile(const std::string& path);

// The temporary a save of `path` by process `pid` writes: "<path>.tmp<pid>.XXXXXX", the last
// six characters made unique.
std::string TemporaryPrefixFor(const std::string& path, pid_t pid);

// The reason for an errno value, in words for the user.
std::string DescribeFileError(int err);

}  // namespace lectorix
