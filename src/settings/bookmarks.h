// Bookmarks: the whole reading state of an open file at its current page, one "|"-separated
// line each, newest first; at most 20 books with at most 20 bookmarks each.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectorix {

inline constexpr int kBookmarkBooks = 20;
inline constexpr int kBookmarksPerBook = 20;

// The 26 fields of a bookmark line, in their order.
struct BookmarkRecord {
    std::string Caption;   // "Страница " and the page number
    std::string BookName;  // "Author. Title." of a book, else the file's name
    std::string FilePath;
    std::int64_t Reserved = -100;  // written as it is, read and otherwise unused
    std::int64_t LettersBefore = 0;
    double TextTime = 0;
    double TimeLeft = 0;
    double PageStartTime = 0;
    int PageSpeed = 0;
    int TextSpeed = 0;
    std::int64_t LettersOnPage = 0;
    int PageNumber = 0;
    int PagesLeft = 0;
    std::int64_t TotalLetters = 0;
    int SpeedCpm = 0;
    std::int64_t LettersToRead = 0;
    std::int64_t TextPos = 0;
    std::int64_t PageStart = 0;
    int PageDelayTicks = 0;
    int PageRepeatsLeft = 0;
    // field 21 is always 0 and ignored when read
    double OverheadSum = 0;
    int SpeedBonus = 0;
    double AutoIncreaseRate = 0.005;
    double StepPenaltyRate = 0.025;
    int OverheadSamples = 0;

    bool operator==(const BookmarkRecord&) const = default;
};

// A double as bookmarks write it: the shortest decimal text that reads back as the same value
// (general format, "." as separator, an exponent as "1.2E-5").
std::string BookmarkFloat(double x);

std::string FormatBookmark(const BookmarkRecord& r);
// nullopt for a line with fewer than 26 fields or a number that does not read: such a line is
// left out of the menu and dropped at the next save.
std::optional<BookmarkRecord> ParseBookmark(std::string_view line);

// The book name of the open text: in book mode "LastName. Title." (". ." without them), else the
// file's name without its folder.
std::string BookmarkBookName(bool bookMode, const std::string& lastName, const std::string& title,
                             const std::string& filePath);

// Puts `line` at the top of `list`, replacing the line of the same caption and book, and keeps
// 20 books of 20 bookmarks: a book's oldest bookmarks past 20 go, and so does every line of a
// book past the 20th.
void AddBookmarkLine(std::vector<std::string>& list, const std::string& line);

// Drops the lines that do not read and those whose file no longer exists. True when it changed.
bool DropDeadBookmarks(std::vector<std::string>& list,
                       const std::function<bool(const std::string& path)>& fileExists);

// The "Закладка" menu: one submenu per book name in first-seen order, its items newest first.
struct BookmarkMenuItem {
    std::string Caption;
    int Index = 0;  // the line in the list
};
struct BookmarkMenuGroup {
    std::string BookName;
    std::vector<BookmarkMenuItem> Items;
};
std::vector<BookmarkMenuGroup> BookmarkMenu(const std::vector<std::string>& list);

}  // namespace lectorix
