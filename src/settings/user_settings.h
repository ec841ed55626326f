// The one settings record of the reader, with its defaults.
#pragma once

#include <string>

#include "book/page_layout.h"

namespace lectorix {

struct UserSettings {
    int SpeedCpm = 1000;  // letters per minute
    int OpenLines = 6;
    int CharsPerLine = 22;
    int LinesPerPage = 25;
    int PageRepeats = 1;
    int PageStartDelayMs = 1000;
    bool ShowTopBar = true;
    bool ShowBottomBar = true;
    bool ShowCenterLine = true;
    bool TransparentBar = true;
    bool AutoSpeedIncrease = true;
    bool RemainByAverage = true;
    bool HideLeft = false;
    bool HideRight = false;
    int HideLeftCount = 0;
    int HideRightCount = 0;
    std::string FontName = "Courier New";
    int FontSize = 10;
    bool FontBold = false;
    bool FormatToolEnabled = false;
    LineParagraphs Paragraphs = LineParagraphs::Auto;
    bool NightMode = false;  // the page in dark colours
};

// The part of the record the pages are laid out by.
inline PageLayout PageLayoutOf(const UserSettings& s) {
    return {s.CharsPerLine, s.LinesPerPage, s.PageRepeats, s.Paragraphs};
}

// Milliseconds per shutter step that the CPU test measured; kept beside the record.
inline constexpr double kDefaultStepOverhead = 0.965;

}  // namespace lectorix
