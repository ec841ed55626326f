// The word exercise without its window: what each tick of its clock shows, and for how long.
// Words come singly, alternating with an empty screen ("Строка"), or fill a column row by row;
// on the herringbone tab each row is one character longer than the row above.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "exercises/word_dictionary.h"  // DictionaryIndex

namespace lectorix {

// The settings as the tick reads them: the spin edits, the active tab and the output mode.
struct WordSettings {
    int Speed = 1500;         // RxSpinEditSpeed, characters a minute
    bool Standard = true;     // TabSheetStandart is the active tab, else TabSheetPhyramid
    bool LineMode = true;     // RadioGroup1's first item, "Строка"
    int Words = 6;            // RxSpinEditWords, the word length of the standard tab
    int Stolbik = 10;         // RxSpinEditStolbik, rows of a standard column
    int Begin = 1, End = 16;  // RxSpinEditBegin, RxSpinEditEnd: the herringbone's first and last
};

inline constexpr int kMaxRowSpan = 22;
// The time a finished column of more than two rows stays on screen beyond its last word's.
inline constexpr double kColumnPauseMs = 300;

// A word of the line range, lower-cased (PickWord on the dictionary in use).
using WordPicker = std::function<std::string(std::int32_t first, std::int32_t last)>;

class WordColumns {
  public:
    struct Tick {
        double IntervalMs = 0;  // until the next tick, unrounded
        bool Pause = false;     // the column pause: nothing new shown
    };

    // A new start begins a new column.
    void Start();
    // One tick: what LabelWord shows next and the time until the next tick. The pause before a
    // new column is a tick of its own that shows nothing new, so no tick ever waits.
    Tick QvlThreadTimer2Timer(const WordSettings& s, const DictionaryIndex& index,
                              const WordPicker& pick);

    // LabelWord's text: a word, nothing, or the column's rows each followed by CR LF (CP1251).
    const std::string& LabelWord() const { return labelWord_; }
    void ClearLabel() { labelWord_.clear(); }

    int RowIndex = 1;  // the row the next tick fills, from 1; 1 starts a new column
    int RowCount = 0;
    std::vector<std::string> RowList;
    std::int32_t CurFirstLine = 0, CurLastLine = 0;
    int MaxRowSpan = kMaxRowSpan;

  private:
    std::string labelWord_;
    bool paused_ = false;  // the pause before the column that starts at the next tick is over
};

// The time `length` characters stay at `speed` characters a minute.
double WordIntervalMs(int speed, int length);

// The span rules of the herringbone: "Символов в начале" changed pulls itself up, "Символов в
// конце" changed pulls itself down, until End - Begin + 1 is at most `maxSpan`.
void RxSpinEditBeginChange(int& begin, int end, int maxSpan);
void RxSpinEditEndChange(int begin, int& end, int maxSpan);

}  // namespace lectorix
