// Helpers shared by the tests: temporary folders, fixture files, CP1251 literals.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct archive;  // libarchive's

namespace lectorix::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` to a file in the folder and returns its full path.
    std::string Write(const std::string& name, std::string_view bytes) const;

  private:
    std::filesystem::path path_;
};

// Users for the tests of links and owners, which make files of other users (as root only).
inline constexpr uid_t kOtherUser = 4321;  // whoever else has files on the machine
inline constexpr uid_t kPlainUser = 4322;  // an ordinary user running the program

// While it lives, the user the system checks (the effective user and group) is `uid`; the
// test's files stay whose they were. Root only; for root itself it changes nothing.
class AsUser {
  public:
    explicit AsUser(uid_t uid);
    ~AsUser();
    AsUser(const AsUser&) = delete;
    AsUser& operator=(const AsUser&) = delete;

  private:
    uid_t uid_;
};

// Gives `path` itself (a link, not what it leads to) to `uid` and the group of that number.
void GiveTo(const std::filesystem::path& path, uid_t uid);

// Reads a file of tests/data.
std::string DataFile(const std::string& relative);
std::string DataPath(const std::string& relative);

// Path of a file of the shared test texts, or empty when they are not beside the repository.
std::string SharedDataPath(const std::string& relative);

// An archive of (name, bytes) files made in memory by libarchive's writer: `format` and
// `filter` are its archive_write_set_format_* and archive_write_add_filter_* functions.
using ArchiveSetter = int (*)(::archive*);
std::string Archive(const std::vector<std::pair<std::string, std::string>>& files,
                    ArchiveSetter format, ArchiveSetter filter = nullptr);
// The same as a ZIP.
std::string Zip(const std::vector<std::pair<std::string, std::string>>& files);

// A UTF-8 literal in the reader's CP1251, so tests can be written in readable Russian.
std::string Cp(std::string_view utf8);
// And back, for messages of failed expectations.
std::string Utf(std::string_view cp1251);

// `text` as other editors save it (KOI8-R, UTF-16LE...), recoded by iconv from `from`.
std::string Recode(const std::string& text, const char* to, const char* from = "UTF-8");

// A short Russian story of `paragraphs` equal paragraphs, in CP1251 with CR LF: a page of the
// default layout holds about three of them.
std::string Story(int paragraphs);

// A book with line counts of `chapters` chapters ("Глава 1"...) of Story(12) each: three pages
// a chapter at the default layout.
std::string StoryBook(int chapters);

}  // namespace lectorix::test
