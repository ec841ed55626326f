#include "formatter/document_loader.h"

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

}  // namespace

std::string LoadDocumentBytes(std::string bytes, std::string_view name,
                              const ArchiveProgress& archiveProgress,
                              const std::function<void(int, int)>& bookProgress) {
    // An EPUB is a zip too: it is asked first.
    if (LooksLikeEpub(bytes))
        return Converted(name, [&] { return EpubToBook(bytes, bookProgress); });
    if (LooksLikeFb2(bytes)) return Converted(name, [&] { return Fb2ToBook(bytes, bookProgress); });
    if (auto inner =
            ReadFirstArchiveBytes(bytes, std::string(name), kArchiveTextCap, archiveProgress)) {
        if (LooksLikeFb2(*inner))
            return Converted(name, [&] { return Fb2ToBook(*inner, bookProgress); });
        return DecodeFileBytes(std::move(*inner), name, "в архиве ");
    }
    return DecodeFileBytes(std::move(bytes), name);
}

std::string LoadDocument(const std::string& path, const ArchiveProgress& archiveProgress,
                         const std::function<void(int, int)>& bookProgress) {
    return LoadDocumentBytes(ReadFileBytes(path), EscapedFileName(path), archiveProgress,
                             bookProgress);
}

}  // namespace lectorix
