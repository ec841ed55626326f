#include "exercises/table_exercise.h"

#include "book/duration.h"
#include "book/text_helpers.h"

namespace lectorix {

namespace {

constexpr int kShuffleRounds = 200;

int Nearest(double x) {
    return static_cast<int>(RoundHalfEven(x));
}

// A rectangle of `w` x `h` centred on the middle of the table.
TableRect Centred(int w, int h, const TableLayout& l) {
    const int left = Nearest(5.0 * (l.CellW - 1) / 2 - w / 2.0 + l.Left);
    const int top = Nearest(5.0 * (l.CellH - 1) / 2 - h / 2.0 + l.Top);
    return {left, top, w, h};
}

}  // namespace

TableNumbers InitialTableNumbers() {
    TableNumbers numbers;
    int next = 1;
    for (int i = 0; i < kTableCells; ++i)
        for (int j = 0; j < kTableCells; ++j)
            if (i != kTableCentre || j != kTableCentre) numbers[i][j] = std::to_string(next++);
    return numbers;
}

void ShuffleTable(TableNumbers& numbers, const UniformDraw& draw) {
    auto centre = [](int row, int column) { return row == kTableCentre && column == kTableCentre; };
    for (int round = 0; round < kShuffleRounds; ++round) {
        // In this order, whatever the compiler would make of four calls in one expression.
        const int a = draw(kTableCells);
        const int b = draw(kTableCells);
        const int c = draw(kTableCells);
        const int d = draw(kTableCells);
        if (!centre(a, c) && !centre(b, d)) std::swap(numbers[a][c], numbers[b][d]);
    }
}

bool LayoutTable(int size, int clientW, int clientH, int labelTimeW, int labelTimeH, int& tableSize,
                 TableLayout& layout) {
    if (size < kMinTableSize || size > kMaxTableSize) {
        tableSize = size < kMinTableSize ? kMinTableSize : kMaxTableSize;
        return false;
    }
    tableSize = size;
    TableLayout l;
    l.CellW = clientW / size;
    l.CellH = Nearest(l.CellW / 4.0 * 3);
    l.Top = (clientH - 5 * l.CellH) / 2;
    l.Left = (clientW - 5 * l.CellW) / 2;
    l.FontPoints = l.CellH / 2;
    l.GreenPoint = Centred(Nearest(5.0 * l.CellW / 24), Nearest(5.0 * l.CellH / 24), l);
    l.LabelTime = Centred(labelTimeW, labelTimeH, l);
    l.TwoZone = Centred(Nearest(5.0 * l.CellW / 2.34), Nearest(5.0 * l.CellH / 2.34), l);
    layout = l;
    return true;
}

std::string TableReport(double elapsedMs) {
    const std::int64_t ms = RoundHalfEven(elapsedMs);
    if (ms >= kTableLimitMs) return "Превышение лимита времени.";
    return "Потрачено времени " + FormatDuration(MsToDuration(ms));
}

std::string TableCaption(const std::string& report) {
    return "Упражнение таблицы Тарвина. " + report;
}

std::string TableStatusLine(const std::string& report) {
    return "Обновить (Enter, Пробел), Закрыть (Esc), Размер (Up/Down). " + TableCaption(report);
}

bool TableTimer::LimitReached(double nowMs) const {
    return RoundHalfEven(ElapsedMs(nowMs)) >= kTableLimitMs;
}

int TableTimer::WholeSeconds(double nowMs) const {
    const double ms = ElapsedMs(nowMs);
    return ms <= 0 ? 0 : static_cast<int>(ms / 1000);
}

bool TableTimer::Finished(double nowMs, NewTableCause cause) const {
    return cause == NewTableCause::User && !LimitReached(nowMs) &&
           ElapsedMs(nowMs) >= kShortestFinishMs;
}

}  // namespace lectorix
