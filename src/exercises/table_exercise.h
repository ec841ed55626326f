// The number table exercise without its window: the 5 x 5 arrangement of 1 to 24 around an
// empty centre, its shuffle, the layout of the cells in the window, and the time of a table
// against the minute it is given.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace lectorix {

inline constexpr int kTableCells = 5;
inline constexpr int kTableCentre = 2;  // row and column of the empty cell
inline constexpr int kMinTableSize = 5;
inline constexpr int kMaxTableSize = 20;
inline constexpr int kOpeningTableSize = 8;
inline constexpr double kTableLimitMs = 60000;

// The numbers as text, row by row; the centre stays empty.
using TableNumbers = std::array<std::array<std::string, kTableCells>, kTableCells>;

// 1 to 24 in reading order, skipping the centre.
TableNumbers InitialTableNumbers();

// A uniform integer in 0 .. n - 1 from the program's random generator.
using UniformDraw = std::function<int(int n)>;

// 200 rounds of four draws a, b, c, d (0 to 4, in this order); each exchanges the numbers of
// cells (a, c) and (b, d) unless one of them is the centre. Skipped rounds still use their draws.
void ShuffleTable(TableNumbers& numbers, const UniformDraw& draw);

struct TableRect {
    int X = 0, Y = 0, W = 0, H = 0;
    bool operator==(const TableRect&) const = default;
};

// Where everything stands for a table size in a client area: cell (i, j) at
// (Left + j * (W - 1), Top + i * (H - 1)), W x H, neighbours sharing their one-pixel border.
struct TableLayout {
    int CellW = 0, CellH = 0;
    int Left = 0, Top = 0;
    int FontPoints = 0;  // of the numbers
    TableRect GreenPoint;
    TableRect LabelTime;  // its size as given, centred on the green point
    TableRect TwoZone;
    TableRect Cell(int row, int column) const {
        return {Left + column * (CellW - 1), Top + row * (CellH - 1), CellW, CellH};
    }
};

// A size outside 5 to 20 is pulled back to the bound and changes nothing else: returns false
// then, and `layout` stays as it was. `tableSize` is the size kept.
bool LayoutTable(int size, int clientW, int clientH, int labelTimeW, int labelTimeH, int& tableSize,
                 TableLayout& layout);

// "Превышение лимита времени." from a minute on, else "Потрачено времени 0:00:37" (UTF-8).
std::string TableReport(double elapsedMs);
// The window's caption and status line with a report.
std::string TableCaption(const std::string& report);
std::string TableStatusLine(const std::string& report);

// Why a new table comes.
enum class NewTableCause { Opening, User, Limit };

// One table's time: started when it was shown, on the window's monotonic clock (ms).
class TableTimer {
  public:
    // Tables renewed sooner than this are taken as skipped, not as finished.
    static constexpr double kShortestFinishMs = 3000;

    void Start(double nowMs) { startMs_ = nowMs; }
    double ElapsedMs(double nowMs) const { return nowMs - startMs_; }
    bool LimitReached(double nowMs) const;
    // The seconds counter on the green point.
    int WholeSeconds(double nowMs) const;
    // A table the user renewed within the minute counts as finished.
    bool Finished(double nowMs, NewTableCause cause) const;

  private:
    double startMs_ = 0;
};

}  // namespace lectorix
