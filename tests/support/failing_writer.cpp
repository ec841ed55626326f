#include "support/failing_writer.h"

#include <algorithm>
#include <cerrno>

namespace lectorix::test {

ssize_t FailingWriter::Write(int fd, const char* data, size_t size) {
    if (left_ == 0) {
        errno = ENOSPC;
        return -1;
    }
    // A short write first, as the system gives when the disk fills mid-way.
    const ssize_t n = SystemFileWriter().Write(fd, data, std::min(size, left_));
    if (n > 0) {
        left_ -= static_cast<size_t>(n);
        written_ += static_cast<size_t>(n);
    }
    return n;
}

}  // namespace lectorix::test
