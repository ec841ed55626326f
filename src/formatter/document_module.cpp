#include "formatter/document_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "book/text_loader.h"

#ifndef LECTORIX_MODULE_DIR
#define LECTORIX_MODULE_DIR "lib/lectorix"
#endif

namespace lectorix {
namespace {

// Closed when the load is over, whatever way it ends; the library itself counts the loads
// under way, so one still reading keeps the module open.
struct Module {
    void* handle = nullptr;
    ~Module() {
        if (handle) ::dlclose(handle);
    }
};

}  // namespace

std::string ThisProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

std::string ModulePath(const std::string& programPath, std::string_view file) {
    namespace fs = std::filesystem;
    if (programPath.empty()) return {};
    const fs::path folder = fs::path(programPath).parent_path();
    std::error_code ec;
    for (const fs::path& candidate :
         {folder / file, folder.parent_path() / LECTORIX_MODULE_DIR / file})
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
    return {};
}

OpenedModule OpenModule(const std::string& path, int flags, const char* symbol) {
    OpenedModule m;
    if (!path.empty()) m.Handle = ::dlopen(path.c_str(), flags);
    if (!m.Handle) {
        const char* why = path.empty() ? nullptr : ::dlerror();
        m.Why = why ? why : "не найден";
    } else if (!(m.Entry = ::dlsym(m.Handle, symbol))) {
        m.Why = "не той версии";
    }
    return m;
}

std::string LoadDocumentBytesFromModule(std::string bytes, std::string_view name,
                                        const ArchiveProgress& archiveProgress,
                                        const std::function<void(int, int)>& bookProgress,
                                        const FirstPart& firstPart) {
    static const std::string path = ModulePath(ThisProgramPath(), kDocumentModuleFile);
    return LoadDocumentBytesThrough(path, std::move(bytes), name, archiveProgress, bookProgress,
                                    firstPart);
}

std::string LoadDocumentBytesThrough(const std::string& path, std::string bytes,
                                     std::string_view name, const ArchiveProgress& archiveProgress,
                                     const std::function<void(int, int)>& bookProgress,
                                     const FirstPart& firstPart) {
    DocumentOutcome out;
    {
        const OpenedModule opened = OpenModule(path, RTLD_NOW | RTLD_LOCAL, kDocumentModuleSymbol);
        Module module;
        module.handle = opened.Handle;
        if (!opened.Handle)
            throw UserError(
                "Файл " + std::string(name) + " не прочитан: нет модуля чтения файлов " +
                (path.empty() ? std::string(kDocumentModuleFile) : "(" + opened.Why + ")") +
                ". Переустановите программу.");
        if (!opened.Entry)
            throw UserError("Файл " + std::string(name) + " не прочитан: модуль " + path +
                            " не той версии. Переустановите программу.");
        const auto entry = reinterpret_cast<DocumentModuleEntry (*)()>(opened.Entry);
        entry()(out, std::move(bytes), name, archiveProgress, bookProgress, firstPart);
    }
    if (out.Thrown) std::rethrow_exception(out.Thrown);
    if (out.Error == 2) throw NotTextError(out.Message);
    if (out.Error == 1) throw UserError(out.Message);
    return std::move(out.Text);
}

void PrepareDocumentModule() {
    // RAR5 checksums are computed by an OpenMP library whose idle threads would be left in a
    // closed module's code; one thread is all a checksum of a text needs.
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
}

}  // namespace lectorix
