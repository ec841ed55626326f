#include "reader/page_painter.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "book/text_search.h"
#include "gui/text_codec.h"

namespace lectorix {
namespace {

// A title line as it is drawn: its runs of blanks closed up to one, except its opening indent.
std::string CollapsedTitle(const std::string& line) {
    std::string out;
    size_t i = 0;
    if (line.starts_with("   ")) {
        out = "   ";
        i = 3;
    }
    bool inRun = false;
    for (; i < line.size(); ++i) {
        const bool blank = line[i] == ' ';
        if (blank && i + 1 < line.size() && line[i + 1] == ' ') {
            if (!inRun) out.push_back(' ');
            inRun = true;
            continue;
        }
        if (blank && inRun) continue;
        inRun = false;
        out.push_back(line[i]);
    }
    return out;
}

QString TitleLine(const std::string& line) {
    return FromCp1251(CollapsedTitle(line));
}

// Walks the page's lines the way the page marks them: a line of exactly two leading blanks
// starts a paragraph and ends a title block; in a book, three leading blanks start a title block.
template <typename Visit>
void ForEachLine(const PageMemo& memo, bool bookMode, Visit visit) {
    bool inTitle = false;
    for (size_t i = 0; i < memo.Lines.size(); ++i) {
        const std::string& line = memo.Lines[i];
        const bool threeBlanks = line.starts_with("   ");
        const bool paragraph = line.starts_with("  ") && !threeBlanks;
        // Four blanks open a line set apart from the prose (verse, an epigraph): it is drawn as
        // it stands, in the text's colour, and ends a title.
        const bool apart = line.starts_with("    ");
        if (paragraph || apart) inTitle = false;
        if (bookMode && threeBlanks && !apart) inTitle = true;
        visit(static_cast<int>(i), line, inTitle, paragraph);
    }
}

// One-pixel edges as filled rectangles: a tick draws them every time, and filling is far
// cheaper than stroking a line.
void Bevel(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

// A rectangle given by its edges, right and bottom exclusive.
QRect Edges(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// Three bytes a pixel: the page and its shutter copy are held for as long as a page is shown,
// and a fourth byte would carry nothing (the page has no transparency). Drawing a strip of it
// onto the window costs no more than from a 32-bit image.
QImage PageImage(int width, int height, qreal dpr) {
    QImage image(qRound(width * dpr), qRound(height * dpr), QImage::Format_RGB888);
    image.setDevicePixelRatio(dpr);
    return image;
}

// The device pixels under a rectangle of page coordinates.
QRect DeviceRect(const QRect& r, qreal dpr) {
    if (dpr == 1) return r;
    const int left = static_cast<int>(std::floor(r.left() * dpr));
    const int top = static_cast<int>(std::floor(r.top() * dpr));
    const int right = static_cast<int>(std::ceil((r.right() + 1) * dpr));
    const int bottom = static_cast<int>(std::ceil((r.bottom() + 1) * dpr));
    return Edges(left, top, right, bottom);
}

}  // namespace

const PagePalette& DayPalette() {
    static const PagePalette day{
        .Page = PageColors::Page,
        .Text = PageColors::Text,
        .Hidden = PageColors::Hidden,
        .CenterLine = PageColors::CenterLine,
        .Shutter = PageColors::Shutter,
        .ShutterText = PageColors::ShutterText,
        .Title = PageColors::Title,
        .ShutterTitle = PageColors::ShutterTitle,
        .Ink = {88, 118, 82},
        .ShutterInk = {146, 160, 142},
        .FrameOuterTopLeft = {128, 128, 128},
        .FrameOuterBottomRight = {243, 243, 243},
        .FrameInnerTopLeft = {56, 56, 56},
        .FrameInnerBottomRight = {206, 206, 206},
        .EdgeTopLeft = {243, 243, 243},
        .EdgeBottomRight = {128, 128, 128},
    };
    return day;
}

const PagePalette& NightPalette() {
    // The hidden letters and the text under the shutters fade towards the ground, as by day
    // they fade towards white; the edges are kept dim so that nothing on the page glares.
    static const PagePalette night{
        .Page = {30, 30, 30},
        .Text = {200, 200, 200},
        .Hidden = {96, 96, 96},
        .CenterLine = {78, 104, 76},
        .Shutter = {14, 14, 14},
        .ShutterText = {84, 84, 84},
        .Title = {214, 122, 114},
        .ShutterTitle = {106, 68, 64},
        .Ink = {120, 142, 116},
        .ShutterInk = {70, 82, 68},
        .FrameOuterTopLeft = {58, 58, 58},
        .FrameOuterBottomRight = {92, 92, 92},
        .FrameInnerTopLeft = {6, 6, 6},
        .FrameInnerBottomRight = {48, 48, 48},
        .EdgeTopLeft = {72, 72, 72},
        .EdgeBottomRight = {40, 40, 40},
    };
    return night;
}

QFont ReadingFont(const QString& family, int pointSize, bool bold) {
    QFont font(family, pointSize > 0 ? pointSize : 10, bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::Monospace, QFont::PreferMatch);
    font.setFixedPitch(true);
    font.setKerning(false);
    if (!QFontInfo(font).fixedPitch()) {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSize(font.pointSize());
        fixed.setBold(bold);
        fixed.setKerning(false);
        return fixed;
    }
    return font;
}

int FontSizeForScreenWidth(int width) {
    if (width >= 800 && width < 1024) return 10;
    if (width >= 1024 && width < 1152) return 14;
    if (width >= 1152 && width < 1280) return 18;
    if (width >= 1280 && width < 1600) return 20;
    if (width >= 1600 && width < 1920) return 24;
    if (width >= 1920 && width < 3000) return 30;
    return 0;
}

void PagePainter::SetGeometry(const UserSettings& s, int size) {
    FontSize = size;
    font_ = ReadingFont(QString::fromStdString(s.FontName), size, s.FontBold);
    const QFontMetrics metrics(font_);
    CharWidth = metrics.horizontalAdvance(QStringLiteral("А"));
    LineHeight = metrics.height();
    // "Пауза!" stands in the top margin: a font too large for it gets a margin as tall as the
    // label, or the label would print over the first line.
    TopMargin = std::max(kTopMargin, kPauseTop + metrics.height());
    BottomMargin = LineHeight / 2 + 22;
    PageWidth = LeftMargin + RightMargin + CharWidth * s.CharsPerLine;
    PageHeight = TopMargin + BottomMargin + LineHeight * s.LinesPerPage;
}

void PagePainter::FitGeometry(const UserSettings& s, int screenWidth, int availableHeight) {
    const int bySize = FontSizeForScreenWidth(screenWidth);
    int size = bySize > 0 ? bySize : s.FontSize;
    SetGeometry(s, size);
    // A page taller than the window would lose its last lines and its lower shutter.
    while (availableHeight > 0 && PageHeight > availableHeight) {
        const int* smaller =
            std::find_if(std::rbegin(kFontSizes), std::rend(kFontSizes), [size](int v) {
                return v < size;
            }).base();
        if (smaller == std::begin(kFontSizes)) break;
        size = *(smaller - 1);
        SetGeometry(s, size);
    }
}

void PagePainter::ApplyDisplaySettings(const UserSettings& s, int screenWidth, int availableHeight,
                                       qreal devicePixelRatio) {
    FitGeometry(s, screenWidth, availableHeight);
    dpr_ = devicePixelRatio > 0 ? devicePixelRatio : 1;
    colors_ = &PaletteOf(s);
    ornaments_.Render(dpr_, colors_->Ink, colors_->ShutterInk);
    for (QImage* image : {&text_, &shutter_}) {
        *image = PageImage(PageWidth, PageHeight, dpr_);
        image->fill(image == &shutter_ ? colors_->Shutter : colors_->Page);
    }
    // Made only while letters are hidden: a page image is a megabyte or more.
    hidden_ = QImage();
    hiding_ = false;
}

void PagePainter::DrawLines(QImage& image, const QColor& color, const QColor& titleColor,
                            const PageMemo& memo, bool bookMode, bool initials) {
    QPainter p(&image);
    p.setFont(font_);
    const int ascent = QFontMetrics(font_).ascent();
    ForEachLine(memo, bookMode, [&](int i, const std::string& line, bool title, bool paragraph) {
        const int y = TopMargin + i * LineHeight + ascent;
        if (title) {
            p.setPen(titleColor);
            p.drawText(LeftMargin, y, TitleLine(line));
            return;
        }
        p.setPen(color);
        p.drawText(LeftMargin, y, FromCp1251(line));
        if (initials && paragraph && line.size() >= 3) {
            // The paragraph's first letter in the title colour.
            const size_t first = line.find_first_not_of(' ', 2);
            if (first != std::string::npos) {
                p.setPen(colors_->Title);
                p.drawText(LeftMargin, y, FromCp1251(std::string_view(line).substr(0, first + 1)));
            }
        }
    });
}

std::vector<QRect> PagePainter::MatchRects(const PageMemo& memo, bool bookMode,
                                           std::string_view needle, int occurrence) const {
    std::vector<std::string> shown;
    ForEachLine(memo, bookMode, [&](int, const std::string& line, bool title, bool) {
        shown.push_back(title ? CollapsedTitle(line) : line);
    });
    std::vector<QRect> rects;
    for (const LineSpan& span : MatchOnLines(shown, needle, occurrence))
        rects.emplace_back(LeftMargin + span.Column * CharWidth, TopMargin + span.Line * LineHeight,
                           span.Length * CharWidth, LineHeight);
    return rects;
}

void PagePainter::DrawHiddenLetters(QImage& image, const PageMemo& memo, const PageState& page,
                                    const UserSettings& s) {
    QPainter p(&image);
    p.setFont(font_);
    const int ascent = QFontMetrics(font_).ascent();
    ForEachLine(memo, page.BookMode, [&](int i, const std::string& raw, bool title, bool) {
        const QString line = title ? TitleLine(raw) : FromCp1251(raw);
        const int y = TopMargin + i * LineHeight + ascent;
        // The cells are painted over first so that the faint letters replace the dark ones.
        auto hide = [&](int fromColumn, const QString& part) {
            if (part.isEmpty()) return;
            const int x = LeftMargin + fromColumn * CharWidth;
            p.fillRect(x, y - ascent, static_cast<int>(part.size()) * CharWidth, LineHeight,
                       colors_->Page);
            p.setPen(colors_->Hidden);
            p.drawText(x, y, part);
        };
        if (s.HideLeft && s.HideLeftCount > 0) hide(0, line.left(s.HideLeftCount));
        if (s.HideRight && s.HideRightCount > 0) {
            const int from = std::max(0, s.CharsPerLine - s.HideRightCount);
            hide(from, line.mid(from));
        }
    });
}

void PagePainter::DrawPageNumber(QImage& image, const QColor& color, int number) {
    QPainter p(&image);
    p.setFont(font_);
    p.setPen(color);
    const QString text = QStringLiteral("-%1-").arg(number);
    const QFontMetrics metrics(font_);
    const int width = metrics.horizontalAdvance(text);
    const int top = PageHeight - BottomMargin + (BottomMargin / 2 - LineHeight / 2);
    p.drawText((PageWidth - width) / 2, top + metrics.ascent(), text);
}

void PagePainter::DrawCenterLine(QImage& image, const QColor& color, const UserSettings& s) {
    if (!s.ShowCenterLine) return;
    QPainter p(&image);
    p.setPen(color);
    const int x = (CharWidth * s.CharsPerLine) / 2 + LeftMargin;
    p.drawLine(x, TopMargin, x, PageHeight - BottomMargin);
}

void PagePainter::DrawDecorations(QImage& image, int first, int chapterEnd, int emptyLines,
                                  const UserSettings& s) {
    QPainter p(&image);
    const int far = kCornerSize + 4;
    const int in = kCornerInset;
    const QPoint at[4] = {{in, in},
                          {PageWidth - far, in},
                          {PageWidth - far, PageHeight - far},
                          {in, PageHeight - far}};
    for (int k = 0; k < 4; ++k)
        p.drawImage(at[k], ornaments_.Corner(first + k));
    if (emptyLines > 0) {
        // The page ends before its last line: the end of a chapter or of the text.
        const int top = (s.LinesPerPage - emptyLines) * LineHeight + TopMargin + LineHeight;
        p.drawImage(QPoint((PageWidth - kChapterEndWidth) / 2, top),
                    ornaments_.ChapterEnd(chapterEnd));
    }
}

void PagePainter::PreparePageLines(const PageMemo& memo, const PageState& page,
                                   const UserSettings& s) {
    if (text_.isNull()) return;
    const PagePalette& c = *colors_;
    text_.fill(c.Page);
    DrawDecorations(text_, 0, 0, page.EmptyLinesOnPage, s);
    DrawLines(text_, c.Text, c.Title, memo, page.BookMode, true);
    DrawPageNumber(text_, c.Title, page.PageNumber);

    hiding_ = s.HideLeft || s.HideRight;
    if (hiding_) {
        hidden_ = text_.copy();
        // The copy already holds the page number; drawing it again would thicken its edges.
        DrawHiddenLetters(hidden_, memo, page, s);
    } else {
        hidden_ = QImage();
    }

    shutter_.fill(c.Shutter);
    DrawDecorations(shutter_, 8, 1, page.EmptyLinesOnPage, s);
    // Lines in the shutter's own colour would be invisible; they are only drawn to show through.
    // Title lines keep the shape they have on the page, or a heading would change under the
    // shutter's edge as it passes.
    if (s.TransparentBar)
        DrawLines(shutter_, c.ShutterText, c.ShutterTitle, memo, page.BookMode, false);
    DrawPageNumber(shutter_, c.ShutterText, page.PageNumber);
    if (s.TransparentBar) DrawCenterLine(shutter_, c.Hidden, s);
}

int PagePainter::PauseLabelLeft() const {
    // Clear of the corner ornament beside it.
    return std::max(LeftMargin, kCornerInset + kCornerSize + 3);
}

int PagePainter::TopShutterBottom(const EngineState& e, const UserSettings& s) const {
    int v = e.ShutterPos - s.OpenLines * LineHeight + TopMargin;
    if (v < 3) v = 4;
    if (v >= PageHeight) v = PageHeight;
    return v;
}

int PagePainter::BottomShutterHeight(const EngineState& e) const {
    const int v = PageHeight - e.ShutterPos - TopMargin;
    return v < 1 ? 0 : v;
}

std::vector<QRect> PagePainter::Compose(bool full, const EngineState& e, const UserSettings& s) {
    if (text_.isNull()) return {};
    const int tsb = TopShutterBottom(e, s);
    const int bsh = BottomShutterHeight(e);
    const int pw = PageWidth, ph = PageHeight;
    PageView v;
    v.Stopped = e.IsStopped;
    v.Paused = e.IsPaused;
    v.Running = e.IsRunning;
    v.TopBar = s.ShowTopBar;
    v.BottomBar = s.ShowBottomBar;
    v.TopShutter = Edges(2, 2, pw - 2, tsb - 2);
    v.BottomShutter = Edges(2, ph - bsh - 2, pw - 2, ph - 2);
    if (e.IsRunning && s.ShowCenterLine) {
        // Only where no shutter lies over it, so that a partial paint leaves the same page as a
        // full one.
        const int from = std::max(TopMargin, s.ShowTopBar ? tsb - 2 : 0);
        const int to = std::min(PageHeight - BottomMargin, s.ShowBottomBar ? ph - bsh - 3 : ph);
        if (from <= to)
            v.CenterLine =
                QRect((CharWidth * s.CharsPerLine) / 2 + LeftMargin, from, 1, to - from + 1);
    }
    view_ = v;
    if (full) return {QRect(0, 0, pw, ph)};
    // A one-pixel step changes the page only where the shutters' edges were and now are.
    std::vector<QRect> changed;
    for (const QRect& r :
         {Edges(2, tsb - 4, pw - 2, tsb - 2), Edges(2, ph - bsh - 4, pw - 2, ph - bsh)})
        if (r.isValid()) changed.push_back(r);
    return changed;
}

void PagePainter::Draw(QPainter& p, QPoint origin, const QRect& pageRect) const {
    const QRect r = pageRect.intersected(QRect(0, 0, PageWidth, PageHeight));
    if (r.isEmpty() || text_.isNull()) return;
    const PageView& v = view_;
    const PagePalette& c = *colors_;
    p.save();
    p.translate(origin);
    p.setClipRect(r);
    const auto copy = [&](const QImage& from, const QRect& part) {
        const QRect at = part.intersected(r);
        if (!at.isEmpty()) p.drawImage(at, from, DeviceRect(at, dpr_));
    };
    // Stopped: an empty page. Paused: the page without its hidden letters, whatever else.
    const bool empty = v.Stopped && !v.Paused;
    if (empty)
        p.fillRect(r, c.Page);
    else
        copy(hiding_ && !hidden_.isNull() && !v.Paused ? hidden_ : text_, r);
    if (empty || v.Paused) {
        p.setFont(font_);
        p.setPen(c.Text);
        const int ascent = QFontMetrics(font_).ascent();
        if (empty)
            p.drawText(LeftMargin, BottomMargin + ascent, QStringLiteral("Остановлено!"));
        else
            p.drawText(PauseLabelLeft(), kPauseTop + ascent, QStringLiteral("Пауза!"));
    }
    if (v.Running) {
        if (!v.CenterLine.isEmpty()) p.fillRect(v.CenterLine, c.CenterLine);
        // The edge goes round the whole shutter, so that the page stays whole and the edge a
        // step leaves behind lies inside the next strip.
        const auto shutter = [&](bool shown, const QRect& whole) {
            if (!shown || whole.height() <= 0) return;
            copy(shutter_, whole);
            Bevel(p, whole, c.EdgeTopLeft, c.EdgeBottomRight);
        };
        shutter(v.TopBar, v.TopShutter);
        shutter(v.BottomBar, v.BottomShutter);
    }
    // A sunken frame around the whole page.
    const QRect outer(0, 0, PageWidth, PageHeight);
    Bevel(p, outer, c.FrameOuterTopLeft, c.FrameOuterBottomRight);
    Bevel(p, outer.adjusted(1, 1, -1, -1), c.FrameInnerTopLeft, c.FrameInnerBottomRight);
    p.restore();
}

QImage PagePainter::Composed() const {
    if (text_.isNull()) return {};
    QImage image = PageImage(PageWidth, PageHeight, dpr_);
    QPainter p(&image);
    Draw(p, QPoint(), image.rect());
    return image;
}

}  // namespace lectorix
