#include "reader/page_painter.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include "app/text_codec.h"

namespace lectorix {
namespace {

// The line as drawn: a title line has its runs of blanks collapsed, except its opening indent.
QString TitleLine(const std::string& line) {
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
    return FromCp1251(out);
}

void Bevel(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// A rectangle given by its edges, right and bottom exclusive.
QRect Edges(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace

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

void PagePainter::ApplyDisplaySettings(const UserSettings& s, int screenWidth) {
    const int bySize = FontSizeForScreenWidth(screenWidth);
    font_ = ReadingFont(QString::fromStdString(s.FontName), bySize > 0 ? bySize : s.FontSize,
                        s.FontBold);
    const QFontMetrics metrics(font_);
    CharWidth = metrics.horizontalAdvance(QStringLiteral("А"));
    LineHeight = metrics.height();
    BottomMargin = LineHeight / 2 + 22;
    PageWidth = LeftMargin + RightMargin + CharWidth * s.CharsPerLine;
    PageHeight = TopMargin + BottomMargin + LineHeight * s.LinesPerPage;
    const QSize size(PageWidth, PageHeight);
    for (QImage* image : {&text_, &hidden_, &shutter_, &compose_}) {
        *image = QImage(size, QImage::Format_RGB32);
        image->fill(PageColors::Page);
    }
}

void PagePainter::DrawLines(QImage& image, const QColor& color, const PageMemo& memo,
                            bool bookMode) {
    QPainter p(&image);
    p.setFont(font_);
    const int ascent = QFontMetrics(font_).ascent();
    bool inTitle = false;
    for (size_t i = 0; i < memo.Lines.size(); ++i) {
        const std::string& line = memo.Lines[i];
        const int y = TopMargin + static_cast<int>(i) * LineHeight + ascent;
        const bool threeBlanks = line.starts_with("   ");
        const bool paragraph = line.starts_with("  ") && !threeBlanks;
        if (paragraph) inTitle = false;
        if (bookMode && threeBlanks) inTitle = true;
        if (inTitle) {
            p.setPen(PageColors::Title);
            p.drawText(LeftMargin, y, TitleLine(line));
            continue;
        }
        p.setPen(color);
        p.drawText(LeftMargin, y, FromCp1251(line));
        if (paragraph && line.size() >= 3 && color == PageColors::Text) {
            // The paragraph's first letter in the title colour.
            const size_t first = line.find_first_not_of(' ', 2);
            if (first != std::string::npos) {
                p.setPen(PageColors::Title);
                p.drawText(LeftMargin, y, FromCp1251(std::string_view(line).substr(0, first + 1)));
            }
        }
    }
}

void PagePainter::DrawHiddenLetters(QImage& image, const PageMemo& memo, const PageState& page,
                                    const UserSettings& s) {
    QPainter p(&image);
    p.setFont(font_);
    const int ascent = QFontMetrics(font_).ascent();
    bool inTitle = false;
    for (size_t i = 0; i < memo.Lines.size(); ++i) {
        const std::string& raw = memo.Lines[i];
        const bool threeBlanks = raw.starts_with("   ");
        if (raw.starts_with("  ") && !threeBlanks) inTitle = false;
        if (page.BookMode && threeBlanks) inTitle = true;
        const QString line = inTitle ? TitleLine(raw) : FromCp1251(raw);
        const int y = TopMargin + static_cast<int>(i) * LineHeight + ascent;
        // Paint the cells over first so that the faint letters replace the dark ones.
        auto hide = [&](int fromColumn, const QString& part) {
            if (part.isEmpty()) return;
            const int x = LeftMargin + fromColumn * CharWidth;
            p.fillRect(x, y - ascent, part.size() * CharWidth, LineHeight, PageColors::Page);
            p.setPen(PageColors::Hidden);
            p.drawText(x, y, part);
        };
        if (s.HideLeft && s.HideLeftCount > 0) hide(0, line.left(s.HideLeftCount));
        if (s.HideRight && s.HideRightCount > 0) {
            const int from = s.CharsPerLine - s.HideRightCount;
            if (from >= 0) hide(from, line.mid(from));
        }
    }
}

void PagePainter::DrawPageNumber(QImage& image, int number) {
    QPainter p(&image);
    p.setFont(font_);
    p.setPen(PageColors::Title);
    const QString text = QStringLiteral("-%1-").arg(number);
    const int width = QFontMetrics(font_).horizontalAdvance(text);
    const int top = PageHeight - BottomMargin + (BottomMargin / 2 - LineHeight / 2);
    p.drawText((PageWidth - width) / 2, top + QFontMetrics(font_).ascent(), text);
}

void PagePainter::DrawCenterLine(QImage& image, const QColor& color, const UserSettings& s) {
    if (!s.ShowCenterLine) return;
    QPainter p(&image);
    p.setPen(color);
    const int x = (CharWidth * s.CharsPerLine) / 2 + LeftMargin;
    p.drawLine(x, TopMargin, x, PageHeight - BottomMargin);
}

void PagePainter::DrawDecorations(QImage& image, bool shutter, int emptyLines,
                                  const UserSettings& s) {
    // Page corners: a small quarter frame 28 pixels square in each corner.
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = shutter ? PageColors::ShutterText : PageColors::CenterLine;
    p.setPen(QPen(ink, 2));
    const int size = 28, in = 3, inFar = 4;
    const QRect corners[4] = {
        QRect(in, in, size, size), QRect(PageWidth - inFar - size, in, size, size),
        QRect(PageWidth - inFar - size, PageHeight - inFar - size, size, size),
        QRect(in, PageHeight - inFar - size, size, size)};
    const int starts[4] = {90, 0, 270, 180};  // arc start angles, in degrees
    for (int k = 0; k < 4; ++k) {
        const QRect& r = corners[k];
        const QPoint c = k == 0   ? r.bottomRight()
                         : k == 1 ? r.bottomLeft()
                         : k == 2 ? r.topLeft()
                                  : r.topRight();
        const QRect arc(c.x() - size + 6, c.y() - size + 6, 2 * (size - 6), 2 * (size - 6));
        p.drawArc(arc, starts[k] * 16, 90 * 16);
    }
    if (emptyLines > 0) {
        // The end of a chapter or text: a short ornament one line below the last line.
        const int top = (s.LinesPerPage - emptyLines) * LineHeight + TopMargin + LineHeight;
        const QRect r((PageWidth - 88) / 2, top, 88, 10);
        p.setPen(QPen(ink, 1.5));
        p.drawLine(r.left(), r.center().y(), r.left() + 34, r.center().y());
        p.drawLine(r.right() - 34, r.center().y(), r.right(), r.center().y());
        p.setBrush(ink);
        p.drawEllipse(r.center(), 4, 4);
    }
}

void PagePainter::PreparePageLines(const PageMemo& memo, const PageState& page,
                                   const UserSettings& s) {
    if (text_.isNull()) return;
    text_.fill(PageColors::Page);
    DrawDecorations(text_, false, page.EmptyLinesOnPage, s);
    DrawLines(text_, PageColors::Text, memo, page.BookMode);
    DrawPageNumber(text_, page.PageNumber);

    hiding_ = s.HideLeft || s.HideRight;
    if (hiding_) {
        hidden_ = text_.copy();
        DrawHiddenLetters(hidden_, memo, page, s);
        DrawPageNumber(hidden_, page.PageNumber);
    }

    shutter_.fill(PageColors::Shutter);
    DrawDecorations(shutter_, true, page.EmptyLinesOnPage, s);
    if (s.TransparentBar) {
        PageMemo plain = memo;  // the shutter shows every line alike
        DrawLines(shutter_, PageColors::ShutterText, plain, false);
    }
    DrawPageNumber(shutter_, page.PageNumber);
    if (s.TransparentBar) DrawCenterLine(shutter_, PageColors::Hidden, s);
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
    if (compose_.isNull() || text_.isNull()) return {};
    const int tsb = TopShutterBottom(e, s);
    const int bsh = BottomShutterHeight(e);
    const int pw = PageWidth, ph = PageHeight;
    const QRect top = full ? Edges(2, 2, pw - 2, tsb - 2) : Edges(2, tsb - 4, pw - 2, tsb - 2);
    const QRect bottom =
        full ? Edges(2, ph - bsh - 2, pw - 2, ph - 2) : Edges(2, ph - bsh - 4, pw - 2, ph - bsh);

    QPainter p(&compose_);
    const QImage& source = hiding_ ? hidden_ : text_;
    if (full) {
        p.drawImage(0, 0, source);
    } else {
        p.drawImage(top.topLeft(), source, top);
        p.drawImage(bottom.topLeft(), source, bottom);
    }
    p.setFont(font_);
    const int ascent = QFontMetrics(font_).ascent();
    if (e.IsStopped) {
        p.fillRect(compose_.rect(), PageColors::Page);
        p.setPen(PageColors::Text);
        p.drawText(LeftMargin, BottomMargin + ascent, QStringLiteral("Остановлено!"));
    }
    if (e.IsPaused) {
        p.drawImage(0, 0, text_);
        p.setPen(PageColors::Text);
        p.drawText(LeftMargin, 3 + ascent, QStringLiteral("Пауза!"));
    }
    std::vector<QRect> changed;
    if (e.IsRunning) {
        if (s.ShowCenterLine) {
            p.setPen(PageColors::CenterLine);
            const int x = (CharWidth * s.CharsPerLine) / 2 + LeftMargin;
            p.drawLine(x, TopMargin, x, PageHeight - BottomMargin);
        }
        const QRect topShutter = full ? top : Edges(2, tsb - 5, pw - 2, tsb - 2);
        const QRect bottomShutter = full ? bottom : Edges(2, ph - bsh - 2, pw - 2, ph - bsh + 5);
        // Copy the strip that moved, then edge the whole shutter; the edge lines a step leaves
        // behind lie inside the next strip.
        auto shutter = [&](const QRect& region, const QRect& whole) {
            if (!whole.isValid()) return;
            p.drawImage(region.topLeft(), shutter_, region.intersected(compose_.rect()));
            Bevel(p, whole, QColor(243, 243, 243), QColor(128, 128, 128));
            changed.push_back(region);
        };
        if (s.ShowTopBar) shutter(topShutter, Edges(2, 2, pw - 2, tsb - 2));
        if (s.ShowBottomBar) shutter(bottomShutter, Edges(2, ph - bsh - 2, pw - 2, ph - 2));
    }
    // A sunken frame around the whole page.
    const QRect outer = compose_.rect();
    Bevel(p, outer, QColor(128, 128, 128), QColor(243, 243, 243));
    Bevel(p, outer.adjusted(1, 1, -1, -1), QColor(56, 56, 56), QColor(206, 206, 206));
    if (full) return {compose_.rect()};
    changed.push_back(top);
    changed.push_back(bottom);
    return changed;
}

}  // namespace lectorix
