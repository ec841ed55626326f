// The program's way to the code that reads archives, FB2 and EPUB (LoadDocumentBytes): a module
// opened for each file and closed after it, so that libarchive, libxml2 and what they bring
// take no memory while a book is read. Either way the same code turns the bytes into the text.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "book/archive_reader.h"
#include "formatter/first_part.h"

namespace lectorix {

// LoadDocumentBytes' signature: the bytes of a file, its name for messages, the progress of an
// archive's unpacking and of a book's counting, and the book's first chapters.
using DocumentBytesLoader = std::string (*)(std::string bytes, std::string_view name,
                                            const ArchiveProgress& archiveProgress,
                                            const std::function<void(int, int)>& bookProgress,
                                            const FirstPart& firstPart);

// What the module gives: the loader, behind a wall that no exception of the module's own crosses
// (its vtables go when it is closed). `Error` is 0, or 1 for a UserError and 2 for a
// NotTextError with their `Message`; anything else thrown (the caller's own cancelling, a lack
// of memory) comes back in `Thrown`.
struct DocumentOutcome {
    std::string Text;
    int Error = 0;
    std::string Message;
    std::exception_ptr Thrown;
};
using DocumentModuleEntry = void (*)(DocumentOutcome& out, std::string bytes, std::string_view name,
                                     const ArchiveProgress& archiveProgress,
                                     const std::function<void(int, int)>& bookProgress,
                                     const FirstPart& firstPart);
// The entry's name; it returns the DocumentModuleEntry.
inline constexpr const char* kDocumentModuleSymbol = "lectorix_document_loader";
inline constexpr const char* kDocumentModuleFile = "lectorix-documents.so";

// Where the program's module `file` is: beside the program (a build), else in the program's
// library folder below the program's prefix (an installed program). Empty when neither holds it.
std::string ModulePath(const std::string& programPath, std::string_view file);
// The running program's file.
std::string ThisProgramPath();

// A module opened with dlopen `flags` and its entry `symbol`. With no handle or no entry, `Why`
// says what went wrong for a message ("не найден", the loader's error, "не той версии"); a
// module opened without its entry is left open for the caller to close.
struct OpenedModule {
    void* Handle = nullptr;
    void* Entry = nullptr;
    std::string Why;
};
OpenedModule OpenModule(const std::string& path, int flags, const char* symbol);

// A DocumentBytesLoader through the module ModulePath finds beside this program. Throws
// UserError when the module cannot be opened (a broken installation).
std::string LoadDocumentBytesFromModule(std::string bytes, std::string_view name,
                                        const ArchiveProgress& archiveProgress,
                                        const std::function<void(int, int)>& bookProgress,
                                        const FirstPart& firstPart);

// The same through the module at `modulePath`.
std::string LoadDocumentBytesThrough(const std::string& modulePath, std::string bytes,
                                     std::string_view name, const ArchiveProgress& archiveProgress,
                                     const std::function<void(int, int)>& bookProgress,
                                     const FirstPart& firstPart);

// Called once at the start, before any thread: the module's archive checksums run on the
// reading thread alone, so no helper thread of theirs outlives a closed module.
void PrepareDocumentModule();

}  // namespace lectorix
