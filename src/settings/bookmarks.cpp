#include "settings/bookmarks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>

#include "book/text_helpers.h"

namespace lectorix {
namespace {

// Splits at "|": every field, the last one too, ends with one.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    for (size_t bar; (bar = line.find('|')) != line.npos; line.remove_prefix(bar + 1))
        out.push_back(line.substr(0, bar));
    return out;
}

template <typename T>
bool Read(std::string_view field, T& value) {
    const auto v = ParseWholeNumber<T>(field);
    if (!v) return false;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(*v)) return false;  // no nan or inf times
    }
    value = *v;
    return true;
}

// The key of a line: its caption and its book name.
std::pair<std::string_view, std::string_view> CaptionAndBook(std::string_view line) {
    const auto f = Fields(line);
    return {f.size() > 0 ? f[0] : std::string_view(), f.size() > 1 ? f[1] : std::string_view()};
}

}  // namespace

std::string BookmarkFloat(double x) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general);
    std::string s(buffer, result.ptr);
    const size_t e = s.find('e');
    if (e == s.npos) return s;
    // 1.2e-05 -> 1.2E-5
    std::string exponent = s.substr(e + 1);
    const bool negative = exponent.front() == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    return s.substr(0, e) + "E" + (negative ? "-" : "") + (exponent.empty() ? "0" : exponent);
}

std::string FormatBookmark(const BookmarkRecord& r) {
    std::string out;
    auto add = [&](const std::string& field) {
        out += field;
        out += '|';
    };
    auto num = [&](std::int64_t v) { add(std::to_string(v)); };
    auto flt = [&](double v) { add(BookmarkFloat(v)); };
    add(r.Caption);
    add(r.BookName);
    add(r.FilePath);
    num(r.Reserved);
    num(r.LettersBefore);
    flt(r.TextTime);
    flt(r.TimeLeft);
    flt(r.PageStartTime);
    num(r.PageSpeed);
    num(r.TextSpeed);
    num(r.LettersOnPage);
    num(r.PageNumber);
    num(r.PagesLeft);
    num(r.TotalLetters);
    num(r.SpeedCpm);
    num(r.LettersToRead);
    num(r.TextPos);
    num(r.PageStart);
    num(r.PageDelayTicks);
    num(r.PageRepeatsLeft);
    num(0);
    flt(r.OverheadSum);
    num(r.SpeedBonus);
    flt(r.AutoIncreaseRate);
    flt(r.StepPenaltyRate);
    num(r.OverheadSamples);
    return out;
}

std::optional<BookmarkRecord> ParseBookmark(std::string_view line) {
    const auto f = Fields(line);
    if (f.size() < 26) return std::nullopt;
    BookmarkRecord r;
    r.Caption = f[0];
    r.BookName = f[1];
    r.FilePath = f[2];
    std::int64_t ignored = 0;
    const bool ok =
        Read(f[3], r.Reserved) && Read(f[4], r.LettersBefore) && Read(f[5], r.TextTime) &&
        Read(f[6], r.TimeLeft) && Read(f[7], r.PageStartTime) && Read(f[8], r.PageSpeed) &&
        Read(f[9], r.TextSpeed) && Read(f[10], r.LettersOnPage) && Read(f[11], r.PageNumber) &&
        Read(f[12], r.PagesLeft) && Read(f[13], r.TotalLetters) && Read(f[14], r.SpeedCpm) &&
        Read(f[15], r.LettersToRead) && Read(f[16], r.TextPos) && Read(f[17], r.PageStart) &&
        Read(f[18], r.PageDelayTicks) && Read(f[19], r.PageRepeatsLeft) && Read(f[20], ignored) &&
        Read(f[21], r.OverheadSum) && Read(f[22], r.SpeedBonus) &&
        Read(f[23], r.AutoIncreaseRate) && Read(f[24], r.StepPenaltyRate) &&
        Read(f[25], r.OverheadSamples);
    if (!ok) return std::nullopt;
    return r;
}

std::string BookmarkBookName(bool bookMode, const std::string& lastName, const std::string& title,
                             const std::string& filePath) {
    if (bookMode) return lastName + ". " + title + ".";
    const size_t slash = filePath.find_last_of('/');
    return slash == filePath.npos ? filePath : filePath.substr(slash + 1);
}

void AddBookmarkLine(std::vector<std::string>& list, const std::string& line) {
    // Every older line of the same page goes (a hand-edited list may hold more than one).
    const auto key = CaptionAndBook(line);
    std::erase_if(list, [&](const std::string& l) { return CaptionAndBook(l) == key; });
    list.insert(list.begin(), line);

    // The limits: rows of book names, each with its count of bookmarks.
    std::vector<std::pair<std::string, int>> rows;
    for (size_t j = 0; j < list.size();) {
        const std::string book(CaptionAndBook(list[j]).second);
        auto row =
            std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.first == book; });
        if (row == rows.end() && rows.size() == kBookmarkBooks) {
            // A book past the 20th loses every line; the scan goes on at the line now at j.
            std::erase_if(list,
                          [&](const std::string& l) { return CaptionAndBook(l).second == book; });
            continue;
        }
        if (row == rows.end()) row = rows.insert(rows.end(), {book, 0});
        if (row->second == kBookmarksPerBook) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(j));
            continue;
        }
        ++row->second;
        ++j;
    }
}

bool DropDeadBookmarks(std::vector<std::string>& list,
                       const std::function<bool(const std::string& path)>& fileExists) {
    return std::erase_if(list, [&](const std::string& line) {
               const auto r = ParseBookmark(line);
               return !r || !fileExists(r->FilePath);
           }) > 0;
}

std::vector<BookmarkMenuGroup> BookmarkMenu(const std::vector<std::string>& list) {
    std::vector<BookmarkMenuGroup> groups;
    for (size_t i = 0; i < list.size(); ++i) {
        const auto r = ParseBookmark(list[i]);
        if (!r) continue;
        auto g = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& x) { return x.BookName == r->BookName; });
        if (g == groups.end()) g = groups.insert(groups.end(), {r->BookName, {}});
        g->Items.push_back({r->Caption, static_cast<int>(i)});
    }
    return groups;
}

}  // namespace lectorix
