// Opening any file the program reads: FB2 and EPUB books (inside an archive too)
// converted into the book format, other archives unpacked to their first file, anything else
// read as a text.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "book/archive_reader.h"
#include "formatter/first_part.h"

namespace lectorix {

// The reader's text of the file at `path` (CP1251, CR LF), judged by its bytes, not its name:
// ReadFileBytes (a regular file only, within the size limit), then LoadDocumentBytes.
// `archiveProgress` follows an archive's unpacking, `bookProgress` (done, total) the writing of
// a converted book. Throws UserError naming the file when it cannot be read, NotTextError naming
// it when it holds no text (a binary or empty file, an archive or a book that gives none).
// `firstPart` gets a converted book's first chapters before the rest is counted.
std::string LoadDocument(const std::string& path, const ArchiveProgress& archiveProgress = {},
                         const std::function<void(int, int)>& bookProgress = {},
                         const FirstPart& firstPart = {});

// The same for a file's bytes already read; `name` stands for the file in messages, between
// their double quotes (EscapedFileName of its path).
std::string LoadDocumentBytes(std::string bytes, std::string_view name,
                              const ArchiveProgress& archiveProgress = {},
                              const std::function<void(int, int)>& bookProgress = {},
                              const FirstPart& firstPart = {});

}  // namespace lectorix
