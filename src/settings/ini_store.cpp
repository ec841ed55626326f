#include "settings/ini_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"

namespace lectorix {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = Cp1251Lower(c);
    return out;
}

bool HasHighByte(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

bool QuotedBothEnds(std::string_view v) {
    return v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'');
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::string converted;
    if (HasHighByte(bytes) && TryUtf8ToCp1251(bytes, converted)) bytes = converted;

    IniDocument doc;
    Section* current = nullptr;
    size_t currentIndex = 0;
    for (const std::string& raw : SplitLines(bytes)) {
        const std::string_view line = Trim(raw);
        if (line.starts_with('[')) {
            const size_t close = line.find(']');
            if (close == std::string_view::npos) continue;  // a broken header opens nothing
            current = &doc.SectionFor(line.substr(1, close - 1));
            currentIndex = static_cast<size_t>(current - doc.sections_.data());
            continue;
        }
        const size_t eq = line.find('=');
        if (current == nullptr || eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        // The first of two equal keys is the one ini readers find.
        if (doc.keyIndex_[currentIndex].keys.emplace(Lower(key), current->Entries.size()).second)
            current->Entries.push_back({std::string(key), std::string(Trim(line.substr(eq + 1)))});
    }
    return doc;
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (size_t s = 0; s < sections_.size(); ++s) {
        if (s > 0) out += "\r\n";
        out += '[';
        out += sections_[s].Name;
        out += "]\r\n";
        for (const Entry& e : sections_[s].Entries) {
            out += e.Key;
            out += '=';
            out += e.Value;
            out += "\r\n";
        }
    }
    return out;
}

IniDocument::Section& IniDocument::SectionFor(std::string_view name) {
    const auto [it, added] = sectionIndex_.emplace(Lower(name), sections_.size());
    if (added) {
        sections_.push_back({std::string(name), {}});
        keyIndex_.emplace_back();
    }
    return sections_[it->second];
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
    const auto s = sectionIndex_.find(Lower(section));
    if (s == sectionIndex_.end()) return nullptr;
    const auto& keys = keyIndex_[s->second].keys;
    const auto k = keys.find(Lower(key));
    if (k == keys.end()) return nullptr;
    return &sections_[s->second].Entries[k->second].Value;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    Section& sec = SectionFor(section);
    auto& keys = keyIndex_[static_cast<size_t>(&sec - sections_.data())].keys;
    const auto [it, added] = keys.emplace(Lower(key), sec.Entries.size());
    if (added)
        sec.Entries.push_back({std::string(key), std::string(value)});
    else
        sec.Entries[it->second].Value = value;
}

void IniDocument::EraseSection(std::string_view section) {
    const auto it = sectionIndex_.find(Lower(section));
    if (it == sectionIndex_.end()) return;
    const size_t at = it->second;
    sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(at));
    keyIndex_.erase(keyIndex_.begin() + static_cast<std::ptrdiff_t>(at));
    sectionIndex_.erase(it);
    for (auto& [name, index] : sectionIndex_)
        if (index > at) --index;
}

const IniDocument::Section* IniDocument::FindSection(std::string_view section) const {
    const auto it = sectionIndex_.find(Lower(section));
    return it != sectionIndex_.end() ? &sections_[it->second] : nullptr;
}

bool IniDocument::HasSection(std::string_view section) const {
    return sectionIndex_.contains(Lower(section));
}

bool IsSettingsText(std::string_view bytes) {
    if (bytes.find('\0') != std::string_view::npos) return false;
    size_t controls = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        controls += b < 0x20 && b != '\t' && b != '\r' && b != '\n';
    }
    if (controls * 2 > bytes.size()) return false;
    const bool blank = std::all_of(bytes.begin(), bytes.end(), [](char c) { return IsWhite(c); });
    return blank || !IniDocument::Parse(bytes).Sections().empty();
}

std::string SetAsideDamagedSettings(const std::string& path) {
    // The file a link leads to is what is damaged; the link then leads to the fresh one.
    const std::string real = FollowLinks(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(real, ec)) return {};
    std::string bytes;
    try {
        bytes = ReadFileBytes(real);
    } catch (const UserError&) {
        return {};  // unreadable is another matter: saves refuse to overwrite it
    }
    if (IsSettingsText(bytes)) return {};
    const std::string damaged = real + ".damaged";
    if (std::rename(real.c_str(), damaged.c_str()) != 0)
        throw UserError("Файл настроек «" + path +
                        "» повреждён, и его не удалось переименовать в «" + damaged +
                        "»: " + DescribeFileError(errno));
    return "Файл настроек «" + path + "» повреждён: в нём не текст настроек. Он сохранён как «" +
           damaged + "», настройки начаты заново.";
}

FileStoreBase::FileStoreBase(std::string path, bool quiet) : path_(std::move(path)) {
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec)) return;
    if (!quiet) setAside_ = SetAsideDamagedSettings(path_);
    if (!setAside_.empty()) return;
    try {
        std::string bytes = ReadFileBytes(path_);
        if (IsSettingsText(bytes)) doc_ = IniDocument::Parse(bytes);
    } catch (const UserError&) {
        if (!quiet) throw;
    }
}

std::vector<std::string> FileStoreBase::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    if (const IniDocument::Section* s = doc_.FindSection(section))
        for (const IniDocument::Entry& e : s->Entries)
            keys.push_back(e.Key);
    return keys;
}

void FileStoreBase::Save() const {
    try {
        WriteFileBytes(path_, doc_.Serialize(), *writer_);
    } catch (const UserError& e) {
        // Keep the reason of the failed write, say what was being saved.
        const std::string prefix = "Не удалось записать файл \"" + path_ + "\": ";
        std::string reason = e.what();
        if (reason.starts_with(prefix)) reason.erase(0, prefix.size());
        throw UserError("Не удалось сохранить настройки в файл «" + path_ + "»: " + reason);
    }
    // Saved; now the user learns once where the damaged file went.
    if (!setAside_.empty()) throw UserError(setAside_);
}

std::optional<std::string> IniFileStore::Read(std::string_view section,
                                              std::string_view key) const {
    const std::string* v = doc_.Find(section, key);
    if (v == nullptr) return std::nullopt;
    std::string_view value = *v;
    if (QuotedBothEnds(value)) value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValueLength));
}

void IniFileStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (QuotedBothEnds(value) ||
        (!value.empty() && (IsWhite(value.front()) || IsWhite(value.back()))))
        doc_.Set(section, key, "\"" + std::string(value) + "\"");
    else
        doc_.Set(section, key, value);
}

std::optional<std::string> UserFileStore::Read(std::string_view section,
                                               std::string_view key) const {
    const std::string* v = doc_.Find(section, key);
    if (v == nullptr) return std::nullopt;
    return *v;
}

void UserFileStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    doc_.Set(section, key, value);
}

void UserFileStore::Save() const {
    // A failure here shows up as the failed write below, with its reason.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    FileStoreBase::Save();
}

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& iniFileName, bool useRegistry,
                                                 bool quiet) {
    if (useRegistry) return std::make_unique<UserFileStore>(iniFileName, quiet);
    return std::make_unique<IniFileStore>(iniFileName, quiet);
}

namespace {

struct HeldLock {
    int fd = -1;
    int depth = 0;
};

// Locks this thread holds, so that a save inside a held sequence does not wait for itself.
thread_local std::unordered_map<std::string, HeldLock> tHeldLocks;

}  // namespace

StoreLock::StoreLock(const std::string& storePath, Access access) : lockPath_(storePath + ".lock") {
    HeldLock& held = tHeldLocks[lockPath_];
    if (held.depth++ > 0) return;
    held.fd = access == kWrite ? ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)
                               : ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (held.fd < 0) return;
    while (::flock(held.fd, access == kWrite ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
    }
}

StoreLock::~StoreLock() {
    const auto it = tHeldLocks.find(lockPath_);
    if (it == tHeldLocks.end() || --it->second.depth > 0) return;
    if (it->second.fd >= 0) ::close(it->second.fd);  // closing releases the lock
    tHeldLocks.erase(it);
}

std::string IniFileNameFor(const std::string& executablePath) {
    std::string name = executablePath;
    bool replaced = false;
    for (size_t at = FindNoCase(name, ".exe"); at != std::string::npos;
         at = FindNoCase(name, ".exe", at + 4)) {
        name.replace(at, 4, ".ini");
        replaced = true;
    }
    if (!replaced) name += ".ini";
    return name;
}

std::string DefaultUserFilePath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "") + "/.config";
    }
    return base + "/Quorvel/Lectorix.ini";
}

SettingsStoreChoice ChooseSettingsStore(const std::string& executablePath,
                                        const StoreProbe& probe) {
    const auto isWritable = [&](const std::string& path) {
        return probe.IsWritable ? probe.IsWritable(path) : ::access(path.c_str(), W_OK) == 0;
    };
    const auto createEmpty = [&](const std::string& path) {
        if (probe.CreateEmpty) return probe.CreateEmpty(path);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    };
    // The atomic save replaces the file a link leads to, from a temporary in that file's folder.
    const auto canSave = [&](const std::string& path) {
        const std::string real = FollowLinks(path);
        return isWritable(real) && isWritable(FolderOfFile(real));
    };
    const std::string userFile =
        probe.UserFilePath.empty() ? DefaultUserFilePath() : probe.UserFilePath;
    const SettingsStoreChoice user{userFile, true};

    std::error_code ec;
    if (std::filesystem::is_regular_file(userFile, ec) && canSave(userFile) &&
        UserFileStore(userFile, true).HasSection("UserSetting"))
        return user;

    const std::string ini = IniFileNameFor(executablePath);
    if (!std::filesystem::exists(ini, ec)) {
        if (!createEmpty(ini)) return user;
    } else if (!canSave(ini)) {
        return user;
    }
    return {ini, false};
}

}  // namespace lectorix
