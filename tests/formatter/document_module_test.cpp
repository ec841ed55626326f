// The program reads every file through its module: the same text as the linked reader, the same
// refusals, the caller's own exceptions passed through, and the module closed once the file is
// read (this program links the reader's libraries itself, so only the module can be seen to go).
#include "formatter/document_module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "book/text_loader.h"
#include "formatter/document_loader.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

const std::string kModule = LECTORIX_DOCUMENT_MODULE;

const std::string kFb2 =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><description><title-info>"
    "<book-title>Хамелеон</book-title></title-info></description><body>"
    "<section><title><p>Хамелеон</p></title><p>Через базарную площадь идет надзиратель.</p>"
    "</section></body></FictionBook>\n";

std::string Maps() {
    std::ifstream in("/proc/self/maps");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Through(std::string bytes, const FirstPart& firstPart = {},
                    const std::function<void(int, int)>& progress = {}) {
    return LoadDocumentBytesThrough(kModule, std::move(bytes), "\"x\"", {}, progress, firstPart);
}

TEST(DocumentModule, ReadsAsTheLinkedReaderAndLeavesNothingMapped) {
    const std::string zipped = test::Zip({{"story.fb2", kFb2}});
    for (const std::string& bytes : {kFb2, zipped, std::string("Просто текст.\n")}) {
        EXPECT_EQ(Through(bytes, [](std::string) {}),
                  LoadDocumentBytes(bytes, "\"x\"", {}, {}, {}));
        EXPECT_EQ(Maps().find("lectorix-documents"), std::string::npos);
    }
}

TEST(DocumentModule, RefusalsAndTheCallersExceptionsComeBackAsThemselves) {
    // A binary file: NotTextError, whose message names the file.
    try {
        Through(
            std::string("\x7F"
                        "ELF\0\0\0",
                        7));
        ADD_FAILURE() << "no refusal";
    } catch (const NotTextError& e) {
        EXPECT_NE(std::string(e.what()).find("\"x\""), std::string::npos) << e.what();
    }
    // An FB2 without text: a UserError reworded as NotTextError by the loader, as linked.
    const std::string empty =
        "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><body/></FictionBook>";
    EXPECT_THROW(Through(empty), NotTextError);
    // A load cancelled from its progress: the caller's own exception, unchanged.
    struct Cancelled {
        int Code;
    };
    try {
        Through(kFb2, {}, [](int, int) { throw Cancelled{7}; });
        ADD_FAILURE() << "not cancelled";
    } catch (const Cancelled& c) {
        EXPECT_EQ(c.Code, 7);
    }
    EXPECT_EQ(Maps().find("lectorix-documents"), std::string::npos);
}

TEST(DocumentModule, BothModulesOpenWithEverySymbolResolvedAndGiveTheirEntry) {
    // As the program opens them: a symbol missing from a module's link shows here, not when a
    // user first opens a file or the statistics. The charts stay open, as in the program (Qt
    // keeps what they register).
    struct Module {
        std::string path;
        const char* symbol;
        int flags;
    };
    for (const auto& [path, symbol, flags] :
         {Module{kModule, kDocumentModuleSymbol, 0},
          Module{LECTORIX_CHARTS_MODULE, "lectorix_statistic_window", RTLD_NODELETE}}) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | flags);
        ASSERT_NE(handle, nullptr) << ::dlerror();
        const auto entry = reinterpret_cast<void* (*)()>(::dlsym(handle, symbol));
        ASSERT_NE(entry, nullptr) << symbol;
        EXPECT_NE(entry(), nullptr);
        // Nothing but the entry is exported: the module's copies of the program's code cannot
        // stand in for the program's own.
        EXPECT_EQ(
            ::dlsym(handle, "_ZN8lectorix11FromCp1251ESt17basic_string_viewIcSt11char_traitsIcEE"),
            nullptr);
        ::dlclose(handle);
    }
}

TEST(DocumentModule, IsFoundBesideTheProgramOrInItsLibraryFolderAndAMissingOneIsAnError) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    const fs::path bin = dir.Path() / "bin", lib = dir.Path() / LECTORIX_MODULE_DIR;
    fs::create_directories(bin);
    fs::create_directories(lib);
    const std::string program = (bin / "lectorix").string();
    EXPECT_EQ(ModulePath(program, kDocumentModuleFile), "");
    dir.Write(std::string(LECTORIX_MODULE_DIR) + "/" + kDocumentModuleFile, "x");
    EXPECT_EQ(ModulePath(program, kDocumentModuleFile), (lib / kDocumentModuleFile).string());
    dir.Write(std::string("bin/") + kDocumentModuleFile, "x");
    EXPECT_EQ(ModulePath(program, kDocumentModuleFile), (bin / kDocumentModuleFile).string());
    // Not a module at all: a UserError that says to reinstall, not a crash.
    try {
        LoadDocumentBytesThrough((bin / kDocumentModuleFile).string(), kFb2, "\"x\"", {}, {}, {});
        ADD_FAILURE() << "read without a module";
    } catch (const NotTextError&) {
        ADD_FAILURE() << "a broken installation is not the file's fault";
    } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find("Переустановите"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace lectorix
