#include "settings/ini_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
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

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!Cp1251EqualNoCase(a[i], b[i])) return false;
    return true;
}

// FNV-1a over the lower case, mixed so that its high bits pick the slot.
uint32_t HashNoCase(std::string_view s) {
    uint32_t h = 2166136261u;
    for (const char c : s)
        h = (h ^ static_cast<unsigned char>(Cp1251Lower(c))) * 16777619u;
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    return h ^ (h >> 16);
}

size_t SlotOf(uint32_t hash, size_t slots) {
    return static_cast<size_t>((uint64_t{hash} * slots) >> 32);
}

// Room for `n` names at two thirds full at most.
size_t SlotsFor(size_t n) {
    return n + n / 2 + 1;
}

bool QuotedBothEnds(std::string_view v) {
    return v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'');
}

// visit(start, trimmed line) for each line of text[begin, end) that is not blank, while it
// returns true. CR, LF and CR LF all end a line; blank lines mean nothing to an ini file.
template <class Visit>
void ForEachLine(std::string_view text, size_t begin, size_t end, Visit&& visit) {
    size_t i = begin;
    while (i < end) {
        size_t j = i;
        while (j < end && text[j] != '\r' && text[j] != '\n')
            ++j;
        const std::string_view line = Trim(text.substr(i, j - i));
        if (!line.empty() && !visit(i, line)) return;
        i = j + 1;
    }
}

bool IsHeader(std::string_view line) {
    return line.starts_with('[') && line.find(']') != std::string_view::npos;
}

// The key and value of an entry line, both trimmed; false for any other line.
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& value) {
    if (line.starts_with('[')) return false;  // a broken header is no entry either
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

// The line that starts at `at`, trimmed.
std::string_view LineAt(std::string_view text, size_t at) {
    size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
        ++end;
    return Trim(text.substr(at, end - at));
}

// A section is looked into by a scan of its lines while it is this small; a larger one gets an
// index of its keys the first time.
constexpr size_t kIndexSectionsFrom = 4096;

}  // namespace

const IniDocument::Entry* IniDocument::Keys::Find(std::string_view key) const {
    if (Entries.empty()) return nullptr;
    const auto it = Index.find(Lower(key));
    return it != Index.end() ? &Entries[it->second] : nullptr;
}

void IniDocument::Keys::Set(std::string_view key, std::string_view value) {
    const auto [it, added] = Index.emplace(Lower(key), Entries.size());
    if (added)
        Entries.push_back({std::string(key), std::string(value)});
    else
        Entries[it->second].Value = value;
}

IniDocument IniDocument::Parse(std::string bytes) {
    if (std::string_view(bytes).starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    Utf8ToCp1251InPlace(bytes);
    // Offsets are kept in 31 bits.
    if (bytes.size() >= kRepeat) bytes.resize(kRepeat - 1);
    IniDocument doc;
    doc.text_ = std::move(bytes);
    const std::string_view text = doc.text_;
    ForEachLine(text, 0, text.size(), [&doc](size_t start, std::string_view line) {
        if (IsHeader(line)) doc.headers_.push_back(static_cast<uint32_t>(start));
        return true;
    });
    const size_t n = doc.headers_.size();
    if (n == 0) return doc;
    doc.slots_.assign(SlotsFor(n), 0);
    // Repeated sections are rare: their links are made only once one turns up.
    std::vector<uint32_t> lastRun;
    for (uint32_t h = 0; h < n; ++h) {
        const std::string_view name = doc.HeaderName(h);
        size_t slot = SlotOf(HashNoCase(name), doc.slots_.size());
        for (;;) {
            const uint32_t taken = doc.slots_[slot];
            if (taken == 0) {
                doc.slots_[slot] = h + 1;
                break;
            }
            if (EqualNoCase(doc.HeaderName(taken - 1), name)) {
                // A repeated section continues the first one.
                if (lastRun.empty()) {
                    doc.nextRun_.assign(n, kNone);
                    lastRun.resize(n);
                    std::iota(lastRun.begin(), lastRun.end(), 0u);
                }
                doc.headers_[h] |= kRepeat;
                doc.nextRun_[lastRun[taken - 1]] = h;
                lastRun[taken - 1] = h;
                break;
            }
            if (++slot == doc.slots_.size()) slot = 0;
        }
    }
    return doc;
}

uint32_t IniDocument::NextRun(uint32_t header) const {
    return nextRun_.empty() ? kNone : nextRun_[header];
}

std::string_view IniDocument::HeaderName(uint32_t header) const {
    // The line was found to be "[name]..." once trimmed.
    const size_t open = text_.find('[', headers_[header] & ~kRepeat);
    const size_t close = text_.find(']', open);
    return std::string_view(text_).substr(open + 1, close - open - 1);
}

uint32_t IniDocument::FindRaw(std::string_view section) const {
    if (slots_.empty()) return kNone;
    for (size_t slot = SlotOf(HashNoCase(section), slots_.size()); slots_[slot] != 0;) {
        const uint32_t h = slots_[slot] - 1;
        if (EqualNoCase(HeaderName(h), section)) return erased_.contains(h) ? kNone : h;
        if (++slot == slots_.size()) slot = 0;
    }
    return kNone;
}

const IniDocument::Added* IniDocument::FindAdded(std::string_view section) const {
    for (const Added& a : added_)
        if (EqualNoCase(a.Name, section)) return &a;
    return nullptr;
}

template <class Visit>
void IniDocument::ForEachEntry(uint32_t first, Visit&& visit) const {
    const std::string_view text = text_;
    for (uint32_t h = first; h != kNone; h = NextRun(h)) {
        const size_t header = headers_[h] & ~kRepeat;
        const size_t begin = text.find_first_of("\r\n", header);
        if (begin == std::string_view::npos) return;
        const size_t end = h + 1 < headers_.size() ? headers_[h + 1] & ~kRepeat : text.size();
        bool more = true;
        ForEachLine(text, begin, end, [&](size_t start, std::string_view line) {
            std::string_view key, value;
            if (SplitEntry(line, key, value))
                more = visit(static_cast<uint32_t>(start), key, value);
            return more;
        });
        if (!more) return;
    }
}

const std::vector<uint32_t>* IniDocument::KeyIndex(uint32_t first) const {
    if (const auto it = keyIndex_.find(first); it != keyIndex_.end()) return &it->second;
    size_t bytes = 0;
    for (uint32_t h = first; h != kNone && bytes < kIndexSectionsFrom; h = NextRun(h)) {
        const size_t end = h + 1 < headers_.size() ? headers_[h + 1] & ~kRepeat : text_.size();
        bytes += end - (headers_[h] & ~kRepeat);
    }
    if (bytes < kIndexSectionsFrom) return nullptr;
    size_t entries = 0;
    ForEachEntry(first, [&entries](uint32_t, std::string_view, std::string_view) {
        ++entries;
        return true;
    });
    std::vector<uint32_t>& slots = keyIndex_[first];
    slots.assign(SlotsFor(entries), 0);
    const std::string_view text = text_;
    ForEachEntry(first, [&](uint32_t line, std::string_view key, std::string_view) {
        for (size_t slot = SlotOf(HashNoCase(key), slots.size());;) {
            if (slots[slot] == 0) {
                slots[slot] = line + 1;
                break;
            }
            std::string_view k, v;
            SplitEntry(LineAt(text, slots[slot] - 1), k, v);
            if (EqualNoCase(k, key)) break;  // the first of two equal keys stays
            if (++slot == slots.size()) slot = 0;
        }
        return true;
    });
    return &slots;
}

uint32_t IniDocument::FindRawKey(uint32_t first, std::string_view key) const {
    if (const std::vector<uint32_t>* slots = KeyIndex(first)) {
        for (size_t slot = SlotOf(HashNoCase(key), slots->size()); (*slots)[slot] != 0;) {
            const uint32_t line = (*slots)[slot] - 1;
            std::string_view k, v;
            SplitEntry(LineAt(text_, line), k, v);
            if (EqualNoCase(k, key)) return line;
            if (++slot == slots->size()) slot = 0;
        }
        return kNone;
    }
    uint32_t found = kNone;
    ForEachEntry(first, [&](uint32_t line, std::string_view k, std::string_view) {
        if (!EqualNoCase(k, key)) return true;
        found = line;
        return false;
    });
    return found;
}

std::string IniDocument::Serialize() const {
    std::string out;
    // Line ends may grow to CR LF and blank lines come between sections: room for all of it
    // at once, of which only what is written takes memory.
    out.reserve(2 * text_.size() + 64);
    bool first = true;
    const auto header = [&](std::string_view name) {
        if (!first) out += "\r\n";
        first = false;
        out += '[';
        out += name;
        out += "]\r\n";
    };
    const auto entry = [&out](std::string_view key, std::string_view value) {
        out += key;
        out += '=';
        out += value;
        out += "\r\n";
    };
    for (uint32_t h = 0; h < headers_.size(); ++h) {
        if ((headers_[h] & kRepeat) != 0 || erased_.contains(h)) continue;
        header(HeaderName(h));
        const auto c = changed_.find(h);
        const Keys* changes = c != changed_.end() ? &c->second : nullptr;
        ForEachEntry(h, [&](uint32_t line, std::string_view key, std::string_view value) {
            if (FindRawKey(h, key) != line) return true;  // a later duplicate
            const Entry* changed = changes != nullptr ? changes->Find(key) : nullptr;
            entry(key, changed != nullptr ? std::string_view(changed->Value) : value);
            return true;
        });
        if (changes != nullptr)
            for (const Entry& e : changes->Entries)
                if (FindRawKey(h, e.Key) == kNone) entry(e.Key, e.Value);
    }
    for (const Added& a : added_) {
        header(a.Name);
        for (const Entry& e : a.Values.Entries)
            entry(e.Key, e.Value);
    }
    return out;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const uint32_t first = FindRaw(section);
    const Keys* keys = nullptr;
    if (first != kNone) {
        if (const auto c = changed_.find(first); c != changed_.end()) keys = &c->second;
    } else if (const Added* a = FindAdded(section)) {
        keys = &a->Values;
    }
    if (keys != nullptr)
        if (const Entry* e = keys->Find(key)) return e->Value;
    if (first == kNone) return std::nullopt;
    const uint32_t line = FindRawKey(first, key);
    if (line == kNone) return std::nullopt;
    std::string_view k, value;
    SplitEntry(LineAt(text_, line), k, value);
    return value;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    const uint32_t first = FindRaw(section);
    if (first != kNone) {
        changed_[first].Set(key, value);
        return;
    }
    auto* added = const_cast<Added*>(FindAdded(section));
    if (added == nullptr) added = &added_.emplace_back(Added{std::string(section), {}});
    added->Values.Set(key, value);
}

void IniDocument::EraseSection(std::string_view section) {
    if (const uint32_t first = FindRaw(section); first != kNone) {
        erased_.insert(first);
        changed_.erase(first);
        keyIndex_.erase(first);
        return;
    }
    std::erase_if(added_, [section](const Added& a) { return EqualNoCase(a.Name, section); });
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindRaw(section) != kNone || FindAdded(section) != nullptr;
}

void IniDocument::ForEachKey(std::string_view section,
                             const std::function<void(std::string_view key)>& visit) const {
    const uint32_t first = FindRaw(section);
    if (first == kNone) {
        if (const Added* a = FindAdded(section))
            for (const Entry& e : a->Values.Entries)
                visit(e.Key);
        return;
    }
    ForEachEntry(first, [&](uint32_t line, std::string_view key, std::string_view) {
        if (FindRawKey(first, key) == line) visit(key);
        return true;
    });
    if (const auto c = changed_.find(first); c != changed_.end())
        for (const Entry& e : c->second.Entries)
            if (FindRawKey(first, e.Key) == kNone) visit(e.Key);
}

size_t IniDocument::SectionCount() const {
    size_t n = added_.size();
    for (uint32_t h = 0; h < headers_.size(); ++h)
        n += (headers_[h] & kRepeat) == 0 && !erased_.contains(h);
    return n;
}

bool IsSettingsText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (bytes.find('\0') != std::string_view::npos) return false;
    size_t controls = 0;
    bool blank = true;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        controls += b < 0x20 && b != '\t' && b != '\r' && b != '\n';
        blank = blank && IsWhite(c);
    }
    if (controls * 2 > bytes.size()) return false;
    bool header = false;
    ForEachLine(bytes, 0, bytes.size(), [&header](size_t, std::string_view line) {
        header = IsHeader(line);
        return !header;
    });
    return blank || header;
}

namespace {

// What stands at a settings path, read as the store may read it.
struct SettingsFile {
    enum Kind { kMissing, kSettings, kSetAside, kUnreadable };
    Kind State = kMissing;
    std::string Bytes;       // kSettings
    std::string Why;         // kSetAside: what is wrong, in words; kUnreadable: the message
    std::string LinkTarget;  // where the link leads, when the path is one
    bool Refused = false;    // a link a save may not follow
};

std::string OverTheLimit() {
    return "больше " + std::to_string(kMaxSettingsFileSize >> 20) + " МБ";
}

std::string TooLarge() {
    return "он " + OverTheLimit();
}

SettingsFile ReadSettingsFile(const std::string& path) {
    SettingsFile f;
    const auto unreadable = [&](int err) {
        f.State = SettingsFile::kUnreadable;
        f.Why = "Не удалось прочитать файл \"" + path + "\": " + DescribeFileError(err);
        return f;
    };
    const auto setAside = [&](std::string why) {
        f.State = SettingsFile::kSetAside;
        f.Why = std::move(why);
        return f;
    };
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? f : unreadable(errno);
    std::string real = path;
    if (S_ISLNK(info.st_mode)) {
        const SaveTarget target = ResolveSaveTarget(path);
        f.LinkTarget = target.Path;
        f.Refused = target.Error != 0 || !target.Refusal.empty();
        if (target.Error != 0) return setAside(DescribeFileError(target.Error));
        if (!target.Refusal.empty()) return setAside(target.Refusal);
        real = target.Path;
    }
    // Never through a link that appeared since: what the links led to was checked above.
    const int fd = ::open(real.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // A link to a file not there yet: the first save makes that file.
        if (errno == ENOENT && real != path) return f;
        return unreadable(errno);
    }
    std::string bytes;
    int err = 0;
    if (::fstat(fd, &info) != 0) {
        err = errno;
    } else if (S_ISDIR(info.st_mode)) {
        err = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        err = EINVAL;
    } else if (static_cast<uint64_t>(info.st_size) <= kMaxSettingsFileSize) {
        // One byte more than the limit tells a file that grew meanwhile.
        bytes.resize(static_cast<size_t>(info.st_size) + 1);
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) err = errno;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
            if (got == bytes.size() && got <= kMaxSettingsFileSize)
                bytes.resize(std::min(bytes.size() * 2, kMaxSettingsFileSize + 1));
        }
        bytes.resize(got);
    }
    ::close(fd);
    if (err == EINVAL) {
        f.State = SettingsFile::kUnreadable;
        f.Why = "Не удалось прочитать файл \"" + path + "\": это не обычный файл";
        return f;
    }
    if (err != 0) return unreadable(err);
    if (static_cast<uint64_t>(info.st_size) > kMaxSettingsFileSize ||
        bytes.size() > kMaxSettingsFileSize)
        return setAside(TooLarge());
    if (!IsSettingsText(bytes)) return setAside("в нём не текст настроек");
    f.State = SettingsFile::kSettings;
    f.Bytes = std::move(bytes);
    return f;
}

// Renames the file, or the link itself (never what it leads to), "<name>.damaged".
std::string SetAside(const std::string& path, const SettingsFile& f) {
    const std::string damaged = path + ".damaged";
    if (std::rename(path.c_str(), damaged.c_str()) != 0)
        throw UserError("Файл настроек «" + path +
                        "» повреждён, и его не удалось переименовать в «" + damaged +
                        "»: " + DescribeFileError(errno));
    if (f.Refused)
        return "Файл настроек «" + path + "» — ссылка, по которой программа не пишет: " + f.Why +
               ". Ссылка сохранена как «" + damaged + "», настройки начаты заново.";
    if (!f.LinkTarget.empty())
        return "Файл настроек «" + path + "» — ссылка на повреждённый файл «" + f.LinkTarget +
               "»: " + f.Why + ". Ссылка сохранена как «" + damaged + "», а файл «" + f.LinkTarget +
               "» не тронут; настройки начаты заново.";
    return "Файл настроек «" + path + "» повреждён: " + f.Why + ". Он сохранён как «" + damaged +
           "», настройки начаты заново.";
}

// A settings file made new is its user's only: it holds the diary and the paths of the books.
constexpr mode_t kSettingsFileMode = 0600;

}  // namespace

std::string SetAsideDamagedSettings(const std::string& path) {
    const SettingsFile f = ReadSettingsFile(path);
    return f.State == SettingsFile::kSetAside ? SetAside(path, f) : std::string();
}

std::string SettingsFileProblem(const std::string& path) {
    const SettingsFile f = ReadSettingsFile(path);
    if (f.State == SettingsFile::kUnreadable) throw UserError(f.Why);
    return f.State == SettingsFile::kSetAside ? f.Why : std::string();
}

FileStoreBase::FileStoreBase(std::string path, bool quiet) : path_(std::move(path)) {
    SettingsFile f = ReadSettingsFile(path_);
    switch (f.State) {
        case SettingsFile::kMissing:
            return;
        case SettingsFile::kSettings:
            doc_ = IniDocument::Parse(std::move(f.Bytes));
            return;
        case SettingsFile::kSetAside:
            if (!quiet) setAside_ = SetAside(path_, f);
            return;
        case SettingsFile::kUnreadable:
            // A save never overwrites a file it could not read.
            if (!quiet) throw UserError(f.Why);
            return;
    }
}

void FileStoreBase::Save() const {
    const std::string text = doc_.Serialize();
    // Written past the limit, the file would be set aside at the next start: keep it as it is.
    // Only what the program does not write itself takes so much (its lists are capped), and a
    // file of LF ends or without blank lines grows when written anew.
    if (text.size() > kMaxSettingsFileSize)
        throw UserError("Не удалось сохранить настройки в файл «" + path_ + "»: они заняли бы " +
                        OverTheLimit() + "; файл оставлен как был.");
    try {
        WriteFileBytes(path_, text, *writer_, kSettingsFileMode);
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
    const std::optional<std::string_view> v = doc_.Find(section, key);
    if (!v) return std::nullopt;
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
    const std::optional<std::string_view> v = doc_.Find(section, key);
    if (!v) return std::nullopt;
    return std::string(*v);
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
    // Never through a link: it could make root create a file anywhere.
    held.fd = access == kWrite
                  ? ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644)
                  : ::open(lockPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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

bool IsSystemProgramPath(std::string_view executablePath) {
    for (const std::string_view folder : {"/usr/", "/bin/", "/sbin/"})
        if (executablePath.starts_with(folder)) return true;
    return false;
}

SettingsStoreChoice ChooseSettingsStore(const std::string& executablePath,
                                        const StoreProbe& probe) {
    const auto isWritable = [&](const std::string& path) {
        return probe.IsWritable ? probe.IsWritable(path) : ::access(path.c_str(), W_OK) == 0;
    };
    const auto createEmpty = [&](const std::string& path) {
        if (probe.CreateEmpty) return probe.CreateEmpty(path);
        // Never through a link; one that appeared meanwhile is looked at like any other.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              kSettingsFileMode);
        if (fd < 0) return errno == EEXIST;
        ::close(fd);
        return true;
    };
    // The atomic save replaces the file a link leads to, from a temporary in that file's folder;
    // a link it may not follow is set aside and a fresh file made in its place.
    const auto canSave = [&](const std::string& path) {
        const SaveTarget target = ResolveSaveTarget(path);
        if (target.Error != 0 || !target.Refusal.empty()) return isWritable(FolderOfFile(path));
        struct stat info {};
        const bool there = ::lstat(target.Path.c_str(), &info) == 0;
        return (!there || isWritable(target.Path)) && isWritable(FolderOfFile(target.Path));
    };
    const std::string userFile =
        probe.UserFilePath.empty() ? DefaultUserFilePath() : probe.UserFilePath;
    const SettingsStoreChoice user{userFile, true};

    std::error_code ec;
    if (std::filesystem::is_regular_file(userFile, ec) && canSave(userFile) &&
        UserFileStore(userFile, true).HasSection("UserSetting"))
        return user;

    // A program installed into the system's folders (a package's /usr/bin) keeps its settings per
    // user, root included: nothing is ever made beside it there.
    if (IsSystemProgramPath(executablePath)) return user;
    const std::string ini = IniFileNameFor(executablePath);
    struct stat info {};
    if (::lstat(ini.c_str(), &info) != 0) {  // not even a link there
        if (!createEmpty(ini)) return user;
    } else if (!canSave(ini)) {
        return user;
    }
    return {ini, false};
}

}  // namespace lectorix
