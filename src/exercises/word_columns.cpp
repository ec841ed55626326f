#include "exercises/word_columns.h"

namespace lectorix {

namespace {

constexpr int kShortestTimedLength = 6;  // herringbone rows never stay less than six characters

std::string ColumnText(const std::vector<std::string>& rows) {
    std::string text;
    for (const std::string& row : rows)
        text += row + "\r\n";
    return text;
}

}  // namespace

double WordIntervalMs(int speed, int length) {
    return 60000.0 / (static_cast<double>(speed) / length);
}

void WordColumns::Start() {
    RowIndex = 1;
    paused_ = false;
}

WordColumns::Tick WordColumns::QvlThreadTimer2Timer(const WordSettings& s,
                                                    const DictionaryIndex& index,
                                                    const WordPicker& pick) {
    RowCount = s.Standard ? s.Stolbik : s.End - s.Begin + 1;
    if (RowIndex > RowCount) RowIndex = 1;
    const bool column = !s.LineMode;
    // The finished column stays a while longer: a tick of its own, before the new column's
    // first word, so the window never stops answering.
    if (column && RowIndex == 1 && s.Stolbik > 2 && !paused_) {
        paused_ = true;
        return {kColumnPauseMs, true};
    }
    paused_ = false;

    if (RowIndex == 1) {
        RowList.clear();
        // Blank rows until the column's text holds 3 characters a row: RowCount rows.
        for (size_t length = 0; static_cast<int>(length) < 3 * RowCount; length += 3)
            RowList.push_back(" ");
    }
    while (static_cast<int>(RowList.size()) < RowCount)
        RowList.push_back(" ");

    int n = 0;
    double interval = 0;
    if (s.Standard) {
        n = s.Words;
        interval = WordIntervalMs(s.Speed, n);
    } else {
        n = s.Begin + RowIndex - 1;
        interval = WordIntervalMs(s.Speed, n < kShortestTimedLength ? kShortestTimedLength : n);
    }
    // Lengths the dictionary lacks (the settings follow its maxima, so only a column of no
    // rows, "Символов в начале" above "в конце", gets here) show nothing new.
    if (n < 1 || n > index.DictLengthCount || static_cast<size_t>(n) > index.DictFirstLine.size() ||
        static_cast<size_t>(n) > index.DictLastLine.size())
        return {interval, false};
    CurFirstLine = index.DictFirstLine[n - 1];
    CurLastLine = index.DictLastLine[n - 1];

    if (!column) {
        if (labelWord_.empty()) {
            labelWord_ = pick(CurFirstLine, CurLastLine);
            ++RowIndex;
        } else {
            labelWord_.clear();
        }
        return {interval, false};
    }
    if (RowIndex > static_cast<int>(RowList.size())) return {interval, false};
    RowList[RowIndex - 1] = pick(CurFirstLine, CurLastLine);
    labelWord_ = ColumnText(RowList);
    ++RowIndex;
    return {interval, false};
}

void RxSpinEditBeginChange(int& begin, int end, int maxSpan) {
    while (end - begin + 1 > maxSpan)
        ++begin;
}

void RxSpinEditEndChange(int begin, int& end, int maxSpan) {
    while (end - begin + 1 > maxSpan)
        --end;
}

}  // namespace lectorix
