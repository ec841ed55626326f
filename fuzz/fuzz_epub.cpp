// Converts any bytes as an EPUB book. Bytes that start as a ZIP are the EPUB itself; any other
// input is split at "\n====\n" into the package, nav, NCX and two content documents of an EPUB
// packed here, so the fuzzer reaches the XML without having to keep a ZIP's checksums right.
// Input that cannot be converted may be refused with a message; whatever is converted must be a
// book the reader accepts, starting at its first character.
#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "book/text_loader.h"
#include "converted_book_checks.h"
#include "formatter/epub_book.h"

using namespace lectorix;

namespace {

std::string Pack(std::string_view input) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         "<container><rootfiles><rootfile full-path=\"OEBPS/content.opf\"/></rootfiles>"
         "</container>"}};
    const char* names[] = {"OEBPS/content.opf", "OEBPS/nav.xhtml", "OEBPS/toc.ncx", "OEBPS/a.xhtml",
                           "OEBPS/b.xhtml"};
    for (const char* name : names) {
        const size_t end = input.find("\n====\n");
        files.emplace_back(name, std::string(input.substr(0, end)));
        if (end == std::string_view::npos) break;
        input.remove_prefix(end + 6);
    }
    size_t size = 0;
    for (const auto& f : files)
        size += f.first.size() + f.second.size() + 256;
    std::string out(size + 1024, '\0');
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_set_options(a, "zip:compression=store");
    archive_write_open_memory(a, out.data(), out.size(), &used);
    for (const auto& [name, bytes] : files) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    out.resize(used);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string packed = bytes.starts_with("PK") ? std::string() : Pack(bytes);
    if (!packed.empty()) bytes = packed;
    std::string text;
    try {
        text = EpubToBook(bytes);
    } catch (const UserError&) {
        return 0;
    }
    CheckConvertedBook(std::move(text));
    return 0;
}
