// A writer that takes the first N bytes of a save and then fails as a full disk does.
#pragma once

#include "book/file_save.h"

namespace lectorix::test {

class FailingWriter : public FileWriter {
  public:
    explicit FailingWriter(size_t bytesBeforeFailing) : left_(bytesBeforeFailing) {}
    ssize_t Write(int fd, const char* data, size_t size) override;
    // The bytes that reached the file.
    size_t Written() const { return written_; }

  private:
    size_t left_;
    size_t written_ = 0;
};

}  // namespace lectorix::test
