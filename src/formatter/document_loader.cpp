#include "formatter/document_loader.h"

#include <optional>

#include "book/text_loader.h"
#include "formatter/epub_book.h"
#include "formatter/fb2_book.h"

namespace lectorix {
namespace {

// A book that gives no text is refused like any file without text, naming the file.
template <typename Convert>
std::string Converted(std::string_view name, Convert convert) {
    try {
        return convert();
    } catch (const NotTextError&) {
        throw;
    } catch (const UserError& e) {
        throw NotTextError("Файл \"" + std::string(name) + "\": " + e.what());
    }
}

// The book an FB2 or EPUB converts to; nothing for any other file. An EPUB is a zip too: it is
// asked first.
std::optional<std::string> BookOf(const std::string& bytes, std::string_view name,
                                  const std::function<void(int, int)>& progress,
                                  const FirstPart& firstPart) {
    if (LooksLikeEpub(bytes))
        return Converted(name, [&] { return EpubToBook(bytes, progress, firstPart); });
    if (LooksLikeFb2(bytes))
        return Converted(name, [&] { return Fb2ToBook(bytes, progress, firstPart); });
    return std::nullopt;
}

}  // namespace

std::string LoadDocumentBytes(std::string bytes, std::string_view name,
                              const ArchiveProgress& archiveProgress,
                              const std::function<void(int, int)>& bookProgress,
                              const FirstPart& firstPart) {
    if (std::optional<std::string> zip =
            CompressedZip(bytes, std::string(name), kArchiveTextCap, archiveProgress))
        bytes = std::move(*zip);
    if (std::optional<std::string> book = BookOf(bytes, name, bookProgress, firstPart))
        return *book;
    if (auto inner =
            ReadFirstArchiveBytes(bytes, std::string(name), kArchiveTextCap, archiveProgress)) {
        // The archive's file is judged as a file on its own would be, once: an archive inside
        // it is not unpacked in turn, so nesting costs nothing beyond the first level.
        std::string().swap(bytes);
        if (std::optional<std::string> book = BookOf(*inner, name, bookProgress, firstPart))
            return *book;
        return DecodeFileBytes(std::move(*inner), name, "в архиве ");
    }
    return DecodeFileBytes(std::move(bytes), name);
}

std::string LoadDocument(const std::string& path, const ArchiveProgress& archiveProgress,
                         const std::function<void(int, int)>& bookProgress,
                         const FirstPart& firstPart) {
    return LoadDocumentBytes(ReadFileBytes(path), EscapedFileName(path), archiveProgress,
                             bookProgress, firstPart);
}

}  // namespace lectorix
