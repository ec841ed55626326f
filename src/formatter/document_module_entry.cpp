// The module the program opens files through: LoadDocumentBytes, its errors handed back as data.
#include <libxml/parser.h>

#include <new>

#include "book/text_loader.h"
#include "formatter/document_loader.h"
#include "formatter/document_module.h"

namespace lectorix {
namespace {

void Load(DocumentOutcome& out, std::string bytes, std::string_view name,
          const ArchiveProgress& archiveProgress, const std::function<void(int, int)>& bookProgress,
          const FirstPart& firstPart) {
    try {
        out.Text =
            LoadDocumentBytes(std::move(bytes), name, archiveProgress, bookProgress, firstPart);
    } catch (const NotTextError& e) {
        out.Error = 2;
        out.Message = e.what();
    } catch (const UserError& e) {
        out.Error = 1;
        out.Message = e.what();
    } catch (const std::bad_alloc&) {
        out.Thrown = std::make_exception_ptr(std::bad_alloc());
    } catch (...) {
        // The caller's own exceptions (a cancelled load) and the standard library's.
        out.Thrown = std::current_exception();
    }
}

// libxml2 keeps a key per thread whose destructor lies in its code: it is released before the
// library goes with the module.
[[gnu::destructor]] void Unloaded() {
    xmlCleanupParser();
}

}  // namespace
}  // namespace lectorix

extern "C" [[gnu::visibility("default")]] lectorix::DocumentModuleEntry lectorix_document_loader() {
    return &lectorix::Load;
}
