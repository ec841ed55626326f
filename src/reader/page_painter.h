// Draws the reading page: the lines in a monospaced font, the shutters, the hidden letters,
// the centre line and the page number. Four page-sized images are rebuilt once per page; a tick
// only copies two thin strips.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

#include "book/page_builder.h"
#include "reader/reading_engine.h"
#include "settings/user_settings.h"

namespace lectorix {

struct PageColors {
    static inline const QColor Page{160, 184, 156};
    static inline const QColor Text{0, 0, 0};
    static inline const QColor Hidden{192, 192, 192};
    static inline const QColor CenterLine{122, 155, 117};
    static inline const QColor Shutter{181, 199, 177};
    static inline const QColor ShutterText{170, 170, 170};
    static inline const QColor Title{128, 0, 0};
};

// The reading font: the settings' font when the system has a fixed-pitch face for it, otherwise
// the system's fixed-pitch font, since the layout counts columns.
QFont ReadingFont(const QString& family, int pointSize, bool bold);

// Font size for a screen width; 0 when the settings' size stays.
int FontSizeForScreenWidth(int width);

class PagePainter {
  public:
    int CharWidth = 0, LineHeight = 0;
    int LeftMargin = 30, RightMargin = 30, TopMargin = 20, BottomMargin = 0;
    int PageWidth = 0, PageHeight = 0;

    // Font and geometry from the settings and the screen width.
    void ApplyDisplaySettings(const UserSettings& settings, int screenWidth);
    const QFont& Font() const { return font_; }

    // Renders the text, hidden-letter and shutter images from the page's lines.
    void PreparePageLines(const PageMemo& memo, const PageState& page, const UserSettings& s);

    // Composes the page for the engine's state. Returns the page rectangles that changed:
    // the whole page, or the strips that a one-pixel step changes.
    std::vector<QRect> Compose(bool full, const EngineState& engine, const UserSettings& s);
    const QImage& Composed() const { return compose_; }

    int TopShutterBottom(const EngineState& e, const UserSettings& s) const;
    int BottomShutterHeight(const EngineState& e) const;

  private:
    void DrawLines(QImage& image, const QColor& color, const PageMemo& memo, bool bookMode);
    void DrawHiddenLetters(QImage& image, const PageMemo& memo, const PageState& page,
                           const UserSettings& s);
    void DrawPageNumber(QImage& image, int number);
    void DrawCenterLine(QImage& image, const QColor& color, const UserSettings& s);
    void DrawDecorations(QImage& image, bool shutter, int emptyLines, const UserSettings& s);

    QFont font_;
    QImage text_, hidden_, shutter_, compose_;
    bool hiding_ = false;
};

}  // namespace lectorix
