// A form storage: one section of the settings store holding chosen properties of a window's
// controls and a few named values. It saves and restores only when asked.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_store.h"

namespace lectorix {

enum class StoredKind { Boolean, Spin, Text, StringList };

class TFormStorage {
  public:
    // `section` is CP1251, as it stands in the file.
    explicit TFormStorage(std::string section);

    std::string IniFileName;
    bool UseRegistry = false;
    void SetStore(const SettingsStoreChoice& store) {
        IniFileName = store.IniFileName;
        UseRegistry = store.UseRegistry;
    }

    const std::string& Section() const { return section_; }
    static constexpr int kVersion = 0;

    // Properties are named "Component.Property" and stored under "Component_Property".
    void AddBoolean(std::string property, std::function<bool()> get, std::function<void(bool)> set);
    void AddBoolean(std::string property, bool& value);
    // A spin edit's value: restored as a whole number clamped to [min, max] unless both are 0.
    void AddSpin(std::string property, std::function<double()> get, std::function<void(double)> set,
                 double min, double max);
    void AddSpin(std::string property, int& value, double min, double max);
    void AddSpin(std::string property, double& value, double min, double max);
    void AddText(std::string property, std::function<std::string()> get,
                 std::function<void(std::string)> set);
    void AddText(std::string property, std::string& value);
    // Kept in a section of its own, "<section>.<Component>_<Property>", as "Count" and
    // "Item0".."Item<Count-1>". A Count above 0 replaces the list with its lines (a missing
    // one reads as empty, those after the last present are dropped); otherwise it stays.
    void AddStringList(std::string property, std::function<std::vector<std::string>()> get,
                       std::function<void(std::vector<std::string>)> set);
    void AddStringList(std::string property, std::vector<std::string>& value);

    // Named values; names compare without regard to letter case.
    void AddNamedValue(std::string name, std::string value, bool scrambled = false);
    // Empty when there is no value of that name.
    std::string ReadValue(std::string_view name) const;
    // Creates the value when it is missing.
    void WriteValue(std::string_view name, std::string value);

    // Open the store, write or read the section, close it. Properties and named values are
    // written in the order they were added. Save throws UserError when the file cannot be
    // written; Restore of an unreadable file restores nothing.
    void Save() const;
    void Restore();
    void SaveTo(SettingsStore& store) const;
    void RestoreFrom(const SettingsStore& store);

    // A list restores min(Count, the last line present + 1) lines when that is within this cap,
    // and only the lines present (up to the cap) when it is not.
    static constexpr int kMaxListLines = 100000;

  private:
    struct Property {
        std::string Key;  // "Component_Property"
        StoredKind Kind;
        std::function<std::string()> Get;  // Boolean, Spin and Text, as stored text
        std::function<bool(std::string_view)> Set;
        std::function<std::vector<std::string>()> GetList;
        std::function<void(std::vector<std::string>)> SetList;
        size_t ValuesBefore = 0;  // named values added before it, which are written before it
    };
    void AddProperty(Property p);
    struct NamedValue {
        std::string Name;
        std::string Value;
        bool Scrambled;
    };
    NamedValue* FindValue(std::string_view name);
    const NamedValue* FindValue(std::string_view name) const;

    std::string section_;
    std::vector<Property> properties_;
    std::vector<NamedValue> values_;
};

// The key character "Access" is combined with by exclusive-or.
inline constexpr char kScrambleKey = 0x5A;

// Each byte XOR the key, as two lower-case hex digits.
std::string Scramble(std::string_view text);
// Back again; a pair that is not hex counts as 32, a lone last digit as a pair of its own.
std::string Unscramble(std::string_view hex);

}  // namespace lectorix
