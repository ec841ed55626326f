// Books packed in archives: RAR 4 and 5, ZIP, 7z, tar (plain or compressed) and single
// gzip/bzip2/xz files, read in memory through libarchive. Nothing is ever extracted to disk.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

// Called with the share of the archive read so far, 0 to 100.
using ArchiveProgress = std::function<void(int percent)>;

// The most text an archive may give: a zip bomb or an entry that claims a huge size stops here.
inline constexpr std::size_t kArchiveTextCap = 64u << 20;

// The bytes of the first regular file with data in the archive at `path` (directories, links
// and empty entries skipped). std::nullopt when the file is not an archive, judged by its bytes,
// not its name. Throws NotTextError naming the file and the reason when it is an archive that
// cannot give a text: encrypted, damaged, holding no file with data, or over `cap` bytes.
std::optional<std::string> ReadFirstArchiveFile(const std::string& path,
                                                const ArchiveProgress& progress = {},
                                                std::size_t cap = kArchiveTextCap);

// The same for an archive already in memory; `name` stands for the file in messages.
std::optional<std::string> ReadFirstArchiveBytes(std::string_view bytes, const std::string& name,
                                                 std::size_t cap = kArchiveTextCap,
                                                 const ArchiveProgress& progress = {});

// A ZIP archive (an EPUB, a zipped book) under a single-file compression (gzip, bzip2, xz, lzma,
// zstd): its bytes uncompressed, to be judged as a file on its own. libarchive would open the
// ZIP itself and give its first file. std::nullopt for anything else; throws as
// ReadFirstArchiveBytes does when the compressed data are damaged or over `cap`.
std::optional<std::string> CompressedZip(std::string_view bytes, const std::string& name,
                                         std::size_t cap = kArchiveTextCap,
                                         const ArchiveProgress& progress = {});

// The regular files of an archive in memory whose names `want` accepts, by name.
struct ArchiveFiles {
    std::map<std::string, std::string> Files;
    std::vector<std::string> Encrypted;  // wanted files held encrypted, left unread
    bool Complete = false;               // false when the bytes are no archive or it broke off
};

// The most entries ReadArchiveFiles goes through.
inline constexpr std::size_t kMaxArchiveEntries = 65536;

// Reads the wanted files of the archive in `bytes`; a damaged archive gives the files read before
// the damage. Throws UserError saying why (in words that name no archive) when the wanted files
// add up to more than `cap` bytes unpacked, one of them alone to more than `fileCap`, or the
// archive holds more than kMaxArchiveEntries entries.
ArchiveFiles ReadArchiveFiles(std::string_view bytes,
                              const std::function<bool(const std::string&)>& want,
                              std::size_t cap = kArchiveTextCap,
                              std::size_t fileCap = kArchiveTextCap);

// ReadFirstArchiveFile followed by DecodeText into `text`; false (and `text` untouched) when the
// file is not an archive.
bool LoadFromArchive(const std::string& path, std::string& text,
                     const ArchiveProgress& progress = {});

}  // namespace lectorix
