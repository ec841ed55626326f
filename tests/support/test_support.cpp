#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include "book/cp1251.h"
#include "book/text_loader.h"

namespace lectorix::test {

TempDir::TempDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("lectorix-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, std::string_view bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

std::string DataPath(const std::string& relative) {
    return std::string(LECTORIX_TEST_DATA) + "/" + relative;
}

std::string DataFile(const std::string& relative) {
    return ReadFileBytes(DataPath(relative));
}

std::string SharedDataPath(const std::string& relative) {
    std::string root = LECTORIX_SHARED_TESTDATA;
    if (const char* env = std::getenv("LECTORIX_SHARED_TESTDATA")) root = env;
    const std::string path = root + "/" + relative;
    return std::filesystem::exists(path) ? path : std::string();
}

std::string Cp(std::string_view utf8) {
    return Utf8ToCp1251(utf8);
}
std::string Utf(std::string_view cp1251) {
    return Cp1251ToUtf8(cp1251);
}

std::string Story(int paragraphs) {
    const std::string paragraph =
        Cp("Жили-были старик со старухой у самого синего моря; они жили в ветхой землянке ровно "
           "тридцать лет и три года.\r\n");
    std::string text;
    for (int i = 0; i < paragraphs; ++i)
        text += paragraph;
    return text;
}

}  // namespace lectorix::test
