// Draws the reading page: the lines in a monospaced font, the shutters, the hidden letters,
// the centre line, the page number and the decorations. The text and the shutters are rendered
// once per page into page-sized images; a tick only copies two thin strips of them to the window.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <string_view>
#include <vector>

#include "book/page_builder.h"
#include "reader/page_ornaments.h"
#include "reader/reading_engine.h"
#include "settings/user_settings.h"

class QPainter;

namespace lectorix {

struct PageColors {
    static inline const QColor Page{160, 184, 156};
    static inline const QColor Text{0, 0, 0};
    static inline const QColor Hidden{192, 192, 192};
    static inline const QColor CenterLine{122, 155, 117};
    static inline const QColor Shutter{181, 199, 177};
    static inline const QColor ShutterText{170, 170, 170};
    static inline const QColor Title{128, 0, 0};
    // The title colour taken as far towards white as ShutterText is from Text.
    static inline const QColor ShutterTitle{213, 170, 170};
};

// The colours of one look of the page: the day page above, or the night page.
struct PagePalette {
    QColor Page, Text, Hidden, CenterLine, Shutter, ShutterText, Title, ShutterTitle;
    QColor Ink, ShutterInk;  // the corner and chapter-end ornaments on the page, on the shutters
    // The sunken frame round the page (outer and inner edge) and the raised edge of a shutter.
    QColor FrameOuterTopLeft, FrameOuterBottomRight, FrameInnerTopLeft, FrameInnerBottomRight;
    QColor EdgeTopLeft, EdgeBottomRight;
};
const PagePalette& DayPalette();
// Light grey text on a near-black page, the titles a muted light red, the shutters darker
// than the page so that what they cover recedes.
const PagePalette& NightPalette();
inline const PagePalette& PaletteOf(const UserSettings& s) {
    return s.NightMode ? NightPalette() : DayPalette();
}

// The font sizes the settings offer.
inline constexpr int kFontSizes[] = {10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36};

// The reading font: the settings' font when the system has a fixed-pitch face for it, otherwise
// the system's fixed-pitch font, since the layout counts columns.
QFont ReadingFont(const QString& family, int pointSize, bool bold);

// Font size for a screen width; 0 when the settings' size stays.
int FontSizeForScreenWidth(int width);

class PagePainter {
  public:
    int FontSize = 10;  // the size in use, which the exercises copy
    int CharWidth = 0, LineHeight = 0;
    static constexpr int kTopMargin = 20;  // the least; a large font gets more
    static constexpr int kPauseTop = 3;    // where "Пауза!" stands
    int LeftMargin = 30, RightMargin = 30, TopMargin = kTopMargin, BottomMargin = 0;
    int PageWidth = 0, PageHeight = 0;

    // Font, geometry and images from the settings. The size comes from the screen width; when
    // `availableHeight` is given and the page would be taller, the smaller sizes of the settings
    // list are tried in turn until the page fits (the smallest is kept if none does).
    void ApplyDisplaySettings(const UserSettings& settings, int screenWidth,
                              int availableHeight = 0, qreal devicePixelRatio = 1);
    // The font and geometry part of it alone, without the images: what a size would give.
    void FitGeometry(const UserSettings& settings, int screenWidth, int availableHeight = 0);
    const QFont& Font() const { return font_; }
    qreal DevicePixelRatio() const { return dpr_; }
    // The colours the page is drawn in, chosen by the settings' night mode.
    const PagePalette& Colors() const { return *colors_; }

    // Renders the text, hidden-letter and shutter images from the page's lines.
    void PreparePageLines(const PageMemo& memo, const PageState& page, const UserSettings& s);

    // Takes the engine's state as the page's to show. Returns the page rectangles that must
    // reach the screen: the whole page, or the two strips that a one-pixel step changes.
    std::vector<QRect> Compose(bool full, const EngineState& engine, const UserSettings& s);
    // Draws the part `pageRect` of the page as composed with the page's corner at `origin`:
    // straight onto the window, since a page image more would only be a copy of it.
    void Draw(QPainter& painter, QPoint origin, const QRect& pageRect) const;
    // The whole page as composed, drawn into an image of its own.
    QImage Composed() const;

    // Where a found text stands on the page: a rectangle for each line it covers, empty when the
    // page does not show match number `occurrence` of `needle` (CP1251).
    std::vector<QRect> MatchRects(const PageMemo& memo, bool bookMode, std::string_view needle,
                                  int occurrence) const;

    const QImage& TextImage() const { return text_; }
    const QImage& HiddenImage() const { return hidden_; }
    const QImage& ShutterImage() const { return shutter_; }

    // Where "Пауза!" starts on the line of its top.
    int PauseLabelLeft() const;
    int TopShutterBottom(const EngineState& e, const UserSettings& s) const;
    int BottomShutterHeight(const EngineState& e) const;

  private:
    void SetGeometry(const UserSettings& s, int size);
    void DrawLines(QImage& image, const QColor& color, const QColor& titleColor,
                   const PageMemo& memo, bool bookMode, bool initials);
    void DrawHiddenLetters(QImage& image, const PageMemo& memo, const PageState& page,
                           const UserSettings& s);
    void DrawPageNumber(QImage& image, const QColor& color, int number);
    void DrawCenterLine(QImage& image, const QColor& color, const UserSettings& s);
    void DrawDecorations(QImage& image, int first, int chapterEnd, int emptyLines,
                         const UserSettings& s);

    QFont font_;
    qreal dpr_ = 1;
    const PagePalette* colors_ = &DayPalette();
    PageOrnaments ornaments_;
    // What the page shows, as the last Compose left it.
    struct PageView {
        bool Stopped = false, Paused = false, Running = false;
        bool TopBar = false, BottomBar = false;
        QRect TopShutter, BottomShutter;  // whole, edges included
        QRect CenterLine;                 // empty when none is drawn
    };

    QImage text_, hidden_, shutter_;
    bool hiding_ = false;
    PageView view_;
};

}  // namespace lectorix
