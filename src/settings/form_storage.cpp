#include "settings/form_storage.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "book/cp1251.h"
#include "book/text_helpers.h"

namespace lectorix {

namespace {

std::string KeyOf(std::string_view property) {
    std::string key(property);
    std::replace(key.begin(), key.end(), '.', '_');
    return key;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!Cp1251EqualNoCase(a[i], b[i])) return false;
    return true;
}

// A decimal number with "." and nothing else around it (blanks already trimmed).
std::optional<double> ParseNumber(std::string_view text) {
    const auto number = ParseWholeNumber<double>(text, PlusSign::Allowed);
    if (!number || !std::isfinite(*number)) return std::nullopt;
    return number;
}

// "Count" as ini readers take an integer: the whole text or nothing, 0 then.
int ParseCount(std::string_view text) {
    return ParseWholeNumber<int>(text, PlusSign::Allowed).value_or(0);
}

// The line index of a key "Item<n>", or -1.
int ItemIndex(std::string_view key) {
    if (key.size() < 5 || !EqualNoCase(key.substr(0, 4), "Item")) return -1;
    const std::string_view digits = key.substr(4);
    const int n = ParseWholeNumber<int>(digits).value_or(-1);
    if (n < 0) return -1;
    if (digits.size() > 1 && digits.front() == '0') return -1;  // "Item01" is not line 1
    return n;
}

}  // namespace

std::string Scramble(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c ^ kScrambleKey);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string Unscramble(std::string_view hex) {
    std::string out;
    out.reserve(hex.size() / 2 + 1);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const std::string_view pair = hex.substr(i, 2);
        int value = 0;
        for (const char c : pair) {
            const int d = HexDigit(c);
            if (d < 0) {
                value = -1;
                break;
            }
            value = value * 16 + d;
        }
        if (value < 0) value = 32;
        out += static_cast<char>(static_cast<char>(value) ^ kScrambleKey);
    }
    return out;
}

TFormStorage::TFormStorage(std::string section) : section_(std::move(section)) {}

void TFormStorage::AddBoolean(std::string property, std::function<bool()> get,
                              std::function<void(bool)> set) {
    Property p{KeyOf(property), StoredKind::Boolean, nullptr, nullptr, nullptr, nullptr};
    p.Get = [get = std::move(get)] { return std::string(get() ? "True" : "False"); };
    p.Set = [set = std::move(set)](std::string_view text) {
        // Anything but the two names leaves the check box as it is.
        if (EqualNoCase(text, "True"))
            set(true);
        else if (EqualNoCase(text, "False"))
            set(false);
        return true;
    };
    AddProperty(std::move(p));
}

void TFormStorage::AddBoolean(std::string property, bool& value) {
    AddBoolean(
        std::move(property), [&value] { return value; }, [&value](bool v) { value = v; });
}

void TFormStorage::AddSpin(std::string property, std::function<double()> get,
                           std::function<void(double)> set, double min, double max) {
    Property p{KeyOf(property), StoredKind::Spin, nullptr, nullptr, nullptr, nullptr};
    p.Get = [get = std::move(get)] { return ShortestDecimal(get()); };
    p.Set = [set = std::move(set), min, max](std::string_view text) {
        const auto number = ParseNumber(text);
        if (!number) return false;
        double x = static_cast<double>(RoundHalfEven(*number));
        if (min != 0 || max != 0) x = std::clamp(x, min, max);
        set(x);
        return true;
    };
    AddProperty(std::move(p));
}

void TFormStorage::AddSpin(std::string property, int& value, double min, double max) {
    AddSpin(
        std::move(property), [&value] { return static_cast<double>(value); },
        [&value](double v) {
            value = static_cast<int>(std::clamp(v, double{INT_MIN}, double{INT_MAX}));
        },
        min, max);
}

void TFormStorage::AddSpin(std::string property, double& value, double min, double max) {
    AddSpin(
        std::move(property), [&value] { return value; }, [&value](double v) { value = v; }, min,
        max);
}

void TFormStorage::AddText(std::string property, std::function<std::string()> get,
                           std::function<void(std::string)> set) {
    Property p{KeyOf(property), StoredKind::Text, nullptr, nullptr, nullptr, nullptr};
    p.Get = [get = std::move(get)] { return std::string(Trim(get())); };
    p.Set = [set = std::move(set)](std::string_view text) {
        set(std::string(text));
        return true;
    };
    AddProperty(std::move(p));
}

void TFormStorage::AddText(std::string property, std::string& value) {
    AddText(
        std::move(property), [&value] { return value; },
        [&value](std::string v) { value = std::move(v); });
}

void TFormStorage::AddStringList(std::string property,
                                 std::function<std::vector<std::string>()> get,
                                 std::function<void(std::vector<std::string>)> set) {
    AddProperty({KeyOf(property), StoredKind::StringList, nullptr, nullptr, std::move(get),
                 std::move(set)});
}

void TFormStorage::AddStringList(std::string property, std::vector<std::string>& value) {
    AddStringList(
        std::move(property), [&value] { return value; },
        [&value](std::vector<std::string> v) { value = std::move(v); });
}

void TFormStorage::AddProperty(Property p) {
    p.ValuesBefore = values_.size();
    properties_.push_back(std::move(p));
}

void TFormStorage::AddNamedValue(std::string name, std::string value, bool scrambled) {
    values_.push_back({std::move(name), std::move(value), scrambled});
}

TFormStorage::NamedValue* TFormStorage::FindValue(std::string_view name) {
    for (NamedValue& v : values_)
        if (EqualNoCase(v.Name, name)) return &v;
    return nullptr;
}

const TFormStorage::NamedValue* TFormStorage::FindValue(std::string_view name) const {
    return const_cast<TFormStorage*>(this)->FindValue(name);
}

std::string TFormStorage::ReadValue(std::string_view name) const {
    const NamedValue* v = FindValue(name);
    return v != nullptr ? v->Value : std::string();
}

void TFormStorage::WriteValue(std::string_view name, std::string value) {
    if (NamedValue* v = FindValue(name))
        v->Value = std::move(value);
    else
        values_.push_back({std::string(name), std::move(value), false});
}

void TFormStorage::SaveTo(SettingsStore& store) const {
    store.Write(section_, "FormVersion", std::to_string(kVersion));
    size_t valuesWritten = 0;
    auto writeValues = [&](size_t upTo) {
        for (; valuesWritten < upTo; ++valuesWritten) {
            const NamedValue& v = values_[valuesWritten];
            store.Write(section_, v.Name, v.Scrambled ? Scramble(v.Value) : v.Value);
        }
    };
    for (const Property& p : properties_) {
        writeValues(p.ValuesBefore);
        if (p.Kind != StoredKind::StringList) {
            store.Write(section_, p.Key, p.Get());
            continue;
        }
        // Erased and written anew, so no line of a longer old list survives.
        const std::string listSection = section_ + "." + p.Key;
        store.EraseSection(listSection);
        const std::vector<std::string> lines = p.GetList();
        if (lines.empty()) continue;
        store.Write(listSection, "Count", std::to_string(lines.size()));
        for (size_t i = 0; i < lines.size(); ++i)
            store.Write(listSection, "Item" + std::to_string(i), lines[i]);
    }
    writeValues(values_.size());
}

void TFormStorage::RestoreFrom(const SettingsStore& store) {
    const auto version = store.Read(section_, "FormVersion");
    if (version && ParseCount(Trim(*version)) < kVersion) return;
    for (const Property& p : properties_) {
        if (p.Kind != StoredKind::StringList) {
            if (const auto text = store.Read(section_, p.Key)) p.Set(Trim(*text));
            continue;
        }
        const std::string listSection = section_ + "." + p.Key;
        const int count = ParseCount(Trim(store.Read(listSection, "Count").value_or("0")));
        if (count <= 0) continue;
        // The lines present below Count, in order.
        std::vector<int> present;
        store.ForEachKey(listSection, [&present, count](std::string_view key) {
            if (const int index = ItemIndex(key); index >= 0 && index < count)
                present.push_back(index);
        });
        std::sort(present.begin(), present.end());
        std::vector<std::string> lines;
        // A missing line between them reads as empty, as long as most are there: one line
        // numbered 99999 is damage, not a list of a hundred thousand empty lines to be shown,
        // counted and written back.
        const bool dense = !present.empty() && present.back() < kMaxListLines &&
                           static_cast<size_t>(present.back()) < 2 * present.size() + 64;
        if (dense) {
            lines.resize(static_cast<size_t>(present.back()) + 1);
            for (size_t i = 0; i < lines.size(); ++i)
                lines[i] = store.Read(listSection, "Item" + std::to_string(i)).value_or("");
        } else {
            // Only damage leaves most lines out or puts one past the cap: a Count of two
            // thousand million with one line near its end. Keep the lines there are, never
            // thousands of empty ones.
            if (present.size() > size_t{kMaxListLines}) present.resize(kMaxListLines);
            for (const int index : present)
                lines.push_back(*store.Read(listSection, "Item" + std::to_string(index)));
        }
        p.SetList(std::move(lines));
    }
    for (NamedValue& v : values_) {
        if (const auto text = store.Read(section_, v.Name))
            v.Value = v.Scrambled ? Unscramble(*text) : *text;
    }
}

void TFormStorage::Save() const {
    const StoreLock lock(IniFileName);
    const auto store = OpenSettingsStore(IniFileName, UseRegistry, false);
    SaveTo(*store);
    store->Save();
}

void TFormStorage::Restore() {
    const StoreLock lock(IniFileName, StoreLock::kRead);
    const auto store = OpenSettingsStore(IniFileName, UseRegistry, true);
    RestoreFrom(*store);
}

}  // namespace lectorix
