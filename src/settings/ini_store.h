// The settings store: an ini document in CP1251 kept in a file, either the ini file beside the
// program or the per-user file that stands in for the registry key.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "book/file_save.h"

namespace lectorix {

// An ini document in memory. Section and key names compare without regard to letter case, as
// ini readers do; values are kept as the file holds them (quotes included). The document keeps
// the file's text and finds sections and keys in it when asked, with an index of 4 bytes a
// header line (and of a large section's lines once one is looked into), so that a file of any
// shape, a million sections say, costs little more than its own size.
class IniDocument {
  public:
    // Reads file bytes: CR LF, LF or lone CR line ends, a UTF-8 byte-order mark dropped, UTF-8
    // holding non-ASCII bytes converted to CP1251 (the file was edited with a UTF-8 editor).
    // "[name]" opens a section, "key=value" is an entry (both sides trimmed); any other line,
    // an entry before the first section and a later duplicate of a key are dropped, a repeated
    // section continues the first one. Text past 2 GB is dropped.
    static IniDocument Parse(std::string bytes);
    // CP1251 with CR LF, a blank line between sections; an empty document is an empty file.
    std::string Serialize() const;

    // The value, valid until the document next changes; nothing when the key is missing.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    // Replaces the value in place, or appends the key at the end of its section (the section at
    // the end of the document when it is new).
    void Set(std::string_view section, std::string_view key, std::string_view value);
    void EraseSection(std::string_view section);
    bool HasSection(std::string_view section) const;
    // The keys of a section in file order, each once; none when it is missing.
    void ForEachKey(std::string_view section,
                    const std::function<void(std::string_view key)>& visit) const;
    size_t SectionCount() const;

  private:
    static constexpr uint32_t kNone = UINT32_MAX;
    static constexpr uint32_t kRepeat = 1u << 31;  // in headers_: a header seen before
    struct Entry {
        std::string Key;
        std::string Value;
    };
    // Keys set by the program, in the order set.
    struct Keys {
        std::vector<Entry> Entries;
        std::unordered_map<std::string, size_t> Index;  // by lower-case key
        const Entry* Find(std::string_view key) const;
        void Set(std::string_view key, std::string_view value);
    };
    struct Added {
        std::string Name;
        Keys Values;
    };

    std::string_view HeaderName(uint32_t header) const;
    uint32_t NextRun(uint32_t header) const;
    // The first header of the section when it stands in the text and is not erased.
    uint32_t FindRaw(std::string_view section) const;
    const Added* FindAdded(std::string_view section) const;
    // visit(line start, key, value) for every entry line of a section of the text, in order,
    // duplicates included, while it returns true.
    template <class Visit>
    void ForEachEntry(uint32_t first, Visit&& visit) const;
    // The start of the line of the first entry of `key`, or kNone.
    uint32_t FindRawKey(uint32_t first, std::string_view key) const;
    const std::vector<uint32_t>* KeyIndex(uint32_t first) const;

    std::string text_;
    std::vector<uint32_t> headers_;  // the start of every "[name]" line, in file order
    std::vector<uint32_t> nextRun_;  // the next header of the same section, or kNone; empty
                                     // while no section is repeated
    std::vector<uint32_t> slots_;    // 1 + first header, by the hash of its lower-case name
    std::unordered_map<uint32_t, Keys> changed_;  // what was set in sections of the text
    std::unordered_set<uint32_t> erased_;         // sections of the text erased
    std::vector<Added> added_;                    // sections not in the text, in the order made
    mutable std::unordered_map<uint32_t, std::vector<uint32_t>> keyIndex_;  // large sections
};

// What the form storages read and write through.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The value as the program sees it, or nothing when the key is missing.
    virtual std::optional<std::string> Read(std::string_view section,
                                            std::string_view key) const = 0;
    virtual void Write(std::string_view section, std::string_view key, std::string_view value) = 0;
    virtual void EraseSection(std::string_view section) = 0;
    virtual bool HasSection(std::string_view section) const = 0;
    // The keys of a section in file order, each once; none when it is missing.
    virtual void ForEachKey(std::string_view section,
                            const std::function<void(std::string_view key)>& visit) const = 0;
    // Replaces the file with the document atomically. Throws UserError naming the file.
    virtual void Save() const = 0;
    virtual const std::string& Path() const = 0;
};

// Whether file bytes can be a settings file: text in CP1251 or UTF-8 (no NUL byte, as UTF-16
// has, not mostly control characters either) in the ini layout (a section, unless it is blank).
bool IsSettingsText(std::string_view bytes);

// The largest settings file read. Ten years of the reading diary take about 110 KB; a file
// larger than this is damage (or not settings at all) and is set aside unread.
inline constexpr size_t kMaxSettingsFileSize = size_t{16} << 20;

// When the file at `path` exists but is no settings file (not settings text, or larger than
// kMaxSettingsFileSize), or is a link that a save may not follow (ResolveSaveTarget), renames
// it "<name>.damaged", so that the next save starts a fresh one without overwriting what was
// there, and returns what to tell the user; empty otherwise. A link is set aside itself: the
// file it leads to is never renamed, read or written.
std::string SetAsideDamagedSettings(const std::string& path);

// Why the file at `path` cannot be used as settings as it is (the reasons of
// SetAsideDamagedSettings, in words), or empty when it can or is missing. Throws UserError
// naming the file when it cannot be read. Changes nothing.
std::string SettingsFileProblem(const std::string& path);

// Shared by both files: the document and where it lives.
class FileStoreBase : public SettingsStore {
  public:
    // A missing file is an empty document. With `quiet`, an unreadable or damaged file (or a
    // link a save may not follow) is one as well (restoring falls back to the current values)
    // and nothing is changed on disk.
    // Otherwise an unreadable file throws UserError, so a save never overwrites a file it could
    // not read, and a damaged one is set aside (SetAsideDamagedSettings) and the save that
    // follows throws the notice after it has written the fresh file.
    FileStoreBase(std::string path, bool quiet);
    void EraseSection(std::string_view section) override { doc_.EraseSection(section); }
    bool HasSection(std::string_view section) const override { return doc_.HasSection(section); }
    void ForEachKey(std::string_view section,
                    const std::function<void(std::string_view key)>& visit) const override {
        doc_.ForEachKey(section, visit);
    }
    void Save() const override;
    const std::string& Path() const override { return path_; }
    const IniDocument& Document() const { return doc_; }
    // Stands in for the file's contents, for replaying bytes without a file.
    void SetDocument(IniDocument doc) { doc_ = std::move(doc); }
    // Where Save's bytes go; tests put in one that fails.
    void SetWriter(FileWriter& writer) { writer_ = &writer; }

  protected:
    std::string path_;
    IniDocument doc_;

  private:
    FileWriter* writer_ = &SystemFileWriter();
    std::string setAside_;  // the notice of a damaged file set aside on opening
};

// The ini file: a value that begins and ends with the same quote gets one more pair of double
// quotes on writing; reading removes one enclosing pair and returns at most 2047 characters.
// A value with a blank at either end is quoted as well, or reading would trim the blank off.
class IniFileStore : public FileStoreBase {
  public:
    static constexpr size_t kMaxValueLength = 2047;
    using FileStoreBase::FileStoreBase;
    std::optional<std::string> Read(std::string_view section, std::string_view key) const override;
    void Write(std::string_view section, std::string_view key, std::string_view value) override;
};

// The per-user file in place of the registry key: the same layout, values kept unchanged and
// never cut. Saving creates its folder.
//
// A settings file made new is readable by its user only (0600): it holds the reading diary and
// the paths of the books read, and the file beside the program may stand in a folder others can
// read. A file that is there keeps its mode.
class UserFileStore : public FileStoreBase {
  public:
    using FileStoreBase::FileStoreBase;
    std::optional<std::string> Read(std::string_view section, std::string_view key) const override;
    void Write(std::string_view section, std::string_view key, std::string_view value) override;
    void Save() const override;
};

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& iniFileName, bool useRegistry,
                                                 bool quiet);

// An advisory lock on "<store path>.lock", to be held around a restore, change and save, so two
// running copies never lose each other's changes. Re-entrant within one thread (Save and
// Restore take it as well; a reading lock never has a writing one inside it); another thread or
// process waits. A writing lock is exclusive and creates the lock file; where it cannot (a
// read-only folder) the lock is skipped: nothing could be saved there beside it anyway. A
// reading lock is shared and creates nothing: without a lock file no writer is at work.
class StoreLock {
  public:
    enum Access { kRead, kWrite };
    explicit StoreLock(const std::string& storePath, Access access = kWrite);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

  private:
    std::string lockPath_;
};

// Where the settings live.
struct SettingsStoreChoice {
    // The ini file, or in user-file mode the path of the per-user file.
    std::string IniFileName;
    bool UseRegistry = false;
};

// The file system questions of the choice, replaceable in tests (permissions mean nothing to
// root). Empty members use the real file system and environment.
struct StoreProbe {
    std::string UserFilePath;                             // default: DefaultUserFilePath()
    std::function<bool(const std::string&)> IsWritable;   // an existing file or folder
    std::function<bool(const std::string&)> CreateEmpty;  // false when it cannot be created
};

// The executable's path with every ".exe" (any case) replaced by ".ini"; ".ini" appended when
// there is none.
std::string IniFileNameFor(const std::string& executablePath);

// True for a program in the system's own folders (/usr, /bin, /sbin), as a package installs it.
bool IsSystemProgramPath(std::string_view executablePath);

// $XDG_CONFIG_HOME/Quorvel/Lectorix.ini, ~/.config when the variable is unset or empty.
std::string DefaultUserFilePath();

// The user file is used when it exists, is writable and holds the section "UserSetting";
// otherwise the ini file, created empty (0600, never through a link) when missing, unless it
// cannot be created or is read-only. A file counts as writable only when its folder is too: a
// save writes a temporary beside it and renames that over it. A link is followed as a save
// follows it; one a save may not follow is set aside, so then the folder of the link counts.
SettingsStoreChoice ChooseSettingsStore(const std::string& executablePath,
                                        const StoreProbe& probe = {});

}  // namespace lectorix
