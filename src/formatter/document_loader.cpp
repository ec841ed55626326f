#include "formatter/document_loader.h"

#include "book/text_loader.h"
#include "formatter/epub_book.h"
#include "formatter/fb2_book.h"

namespace lectorix {
namespace {

// A book that gives no text is refused like any file without text, naming the file.
template <typename Convert>
std::string Converted(const std::string& path, Convert convert) {
    try {
        return convert();
    } catch (const NotTextError&) {
        throw;
    } catch (const UserError& e) {
        throw NotTextError("Файл \"" + path + "\": " + e.what());
    }
}

}  // namespace

std::string LoadDocument(const std::string& path, const ArchiveProgress& archiveProgress,
                         const std::function<void(int, int)>& bookProgress) {
    std::string bytes = ReadFileBytes(path);
    // An EPUB is a zip too: it is asked first.
    if (LooksLikeEpub(bytes))
        return Converted(path, [&] { return EpubToBook(bytes, bookProgress); });
    if (LooksLikeFb2(bytes)) return Converted(path, [&] { return Fb2ToBook(bytes, bookProgress); });
    if (auto inner = ReadFirstArchiveBytes(bytes, path, kArchiveTextCap, archiveProgress)) {
        if (LooksLikeFb2(*inner))
            return Converted(path, [&] { return Fb2ToBook(*inner, bookProgress); });
        if (IsBinaryData(*inner))
            throw NotTextError("Не удалось открыть файл \"" + path +
                               "\": в архиве не текстовый файл");
        return DecodeText(std::move(*inner));
    }
    if (IsBinaryData(bytes))
        throw NotTextError("Не удалось открыть файл \"" + path + "\": не текстовый файл");
    return DecodeText(std::move(bytes));
}

}  // namespace lectorix
