// The page images: colours, shutter regions, hidden letters, decorations, the page number and
// the font size chosen for the screen.
#include "reader/page_painter.h"

#include <QGuiApplication>
#include <QTest>

#include "gui/text_codec.h"

namespace lectorix {

namespace {
bool Reddish(QColor c) {
    return c.red() > 90 && c.green() < 60 && c.blue() < 60;
}
bool Dark(QColor c) {
    return c.red() < 60 && c.green() < 60 && c.blue() < 60;
}
auto Is(const QColor& colour) {
    return [colour](QColor c) { return c == colour; };
}
auto Not(const QColor& colour) {
    return [colour](QColor c) { return c != colour; };
}
// Counts the pixels of a rectangle that satisfy `test`.
template <typename Test>
int Count(const QImage& image, const QRect& r, Test test) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(image.pixelColor(x, y))) ++n;
    return n;
}
}  // namespace

class PagePainterTest : public QObject {
    Q_OBJECT

    UserSettings s;
    PageMemo memo;
    PageState page;

    PagePainter Prepared() {
        PagePainter p;
        p.ApplyDisplaySettings(s, 1024);
        p.PreparePageLines(memo, page, s);
        return p;
    }
    QRect LineCells(const PagePainter& p, int line, int fromColumn, int columns) const {
        return QRect(p.LeftMargin + fromColumn * p.CharWidth, p.TopMargin + line * p.LineHeight,
                     columns * p.CharWidth, p.LineHeight);
    }

  private slots:
    void init() {
        s = UserSettings{};
        page = PageState{};
        page.PageNumber = 1;
        memo.Lines.clear();
        for (int i = 0; i < s.LinesPerPage; ++i)
            memo.Lines.push_back(
                ToCp1251(QStringLiteral("строка текста на странице")).substr(0, 22));
    }

    void theFontSizeComesFromTheScreenAndShrinksToFitItsHeight() {
        PagePainter p;
        s.FontSize = 36;
        p.ApplyDisplaySettings(s, 640);  // outside the screen table the settings' size stays
        QCOMPARE(p.FontSize, 36);
        p.ApplyDisplaySettings(s, 1920);  // on a table screen the settings' size does not count
        const int size = p.FontSize;
        s.FontSize = 10;
        p.ApplyDisplaySettings(s, 1920);
        QCOMPARE(p.FontSize, size);
        // That page is taller than a 1080-pixel screen offers less its title bar, menu, tool bar
        // and page offset: a smaller size of the table takes its place.
        const int tall = p.PageHeight, offered = 1080 - 130;
        QVERIFY2(tall > offered, qPrintable(QString::number(tall)));
        p.ApplyDisplaySettings(s, 1920, offered);
        QVERIFY(p.PageHeight <= offered && p.FontSize < size);
        QVERIFY(std::find(std::begin(kFontSizes), std::end(kFontSizes), p.FontSize) !=
                std::end(kFontSizes));
        p.ApplyDisplaySettings(s, 1920, tall);  // a page that fits keeps the table's size
        QCOMPARE(p.FontSize, size);
    }

    void coloursAndHiddenLetters() {
        PagePainter plain = Prepared();
        EngineState e;
        plain.Compose(true, e, s);
        QCOMPARE(plain.Composed().pixelColor(15, plain.PageHeight / 2), PageColors::Page);
        QCOMPARE(plain.ShutterImage().pixelColor(15, plain.PageHeight / 2), PageColors::Shutter);
        // Text in black; through a transparent shutter in the shutter's text grey, else unseen.
        const QRect line = LineCells(plain, 3, 0, 22);
        QVERIFY(Count(plain.TextImage(), line, Dark) > 20);
        QVERIFY(Count(plain.ShutterImage(), line, Is(PageColors::ShutterText)) > 20);
        s.TransparentBar = false;
        plain.PreparePageLines(memo, page, s);
        QCOMPARE(Count(plain.ShutterImage(), line, Not(PageColors::Shutter)), 0);

        // Hiding with a count of 0 changes nothing.
        s.HideLeft = s.HideRight = true;
        PagePainter none = Prepared();
        none.Compose(true, e, s);
        QCOMPARE(none.Composed(), plain.Composed());
        // Three letters at each end turn faint; the middle stays dark.
        s.HideLeftCount = s.HideRightCount = 3;
        PagePainter hiding = Prepared();
        hiding.Compose(true, e, s);
        const QImage& c = hiding.Composed();
        QCOMPARE(Count(c, LineCells(hiding, 0, 0, 3), Dark), 0);
        QVERIFY(Count(c, LineCells(hiding, 0, 0, 3), Is(PageColors::Hidden)) > 5);
        QCOMPARE(Count(c, LineCells(hiding, 0, 19, 3), Dark), 0);
        QVERIFY(Count(c, LineCells(hiding, 0, 5, 10), Dark) > 10);
    }

    void theShuttersForEveryCombinationOfBars() {
        for (int bars = 0; bars < 4; ++bars) {
            s.ShowTopBar = bars & 1;
            s.ShowBottomBar = bars & 2;
            PagePainter p = Prepared();
            EngineState e;
            e.IsRunning = true;
            e.ShutterPos = p.LineHeight * 14;
            p.Compose(true, e, s);
            const QImage& c = p.Composed();
            const int tsb = p.TopShutterBottom(e, s), bsh = p.BottomShutterHeight(e);
            QVERIFY2(tsb > 60 && bsh > 60, qPrintable(QString::number(bars)));
            QCOMPARE(c.pixelColor(15, tsb - 8),
                     s.ShowTopBar ? PageColors::Shutter : PageColors::Page);
            QCOMPARE(c.pixelColor(15, p.PageHeight - bsh + 8),
                     s.ShowBottomBar ? PageColors::Shutter : PageColors::Page);
            // The open window between them, and the guide line through it even with no bar.
            const int middle = (tsb + p.PageHeight - bsh) / 2;
            QCOMPARE(c.pixelColor(15, middle), PageColors::Page);
            const int x = p.CharWidth * s.CharsPerLine / 2 + p.LeftMargin;
            QCOMPARE(c.pixelColor(x, middle), PageColors::CenterLine);
        }
        // Idle and paused readers show no shutter; a stopped one an empty page.
        PagePainter p = Prepared();
        EngineState e;
        e.ShutterPos = p.LineHeight * 14;
        for (const bool paused : {false, true}) {
            e.IsPaused = paused;
            p.Compose(true, e, s);
            QCOMPARE(p.Composed().pixelColor(15, 60), PageColors::Page);
        }
        e.IsPaused = false;
        e.IsStopped = true;
        p.Compose(true, e, s);
        QCOMPARE(Count(p.Composed(), LineCells(p, 10, 0, 22), Dark), 0);
    }

    void aPartialPaintChangesOnlyStripsAndMatchesAFullOne() {
        PagePainter p = Prepared();
        EngineState e;
        e.IsRunning = true;
        e.ShutterPos = p.LineHeight * 12;
        p.Compose(true, e, s);
        for (int step = 0; step < 3 * p.LineHeight; ++step) {
            ++e.ShutterPos;
            const QImage before = p.Composed().copy();
            const auto strips = p.Compose(false, e, s);
            QVERIFY(!strips.empty());
            QRegion allowed;
            for (const QRect& r : strips) {
                QVERIFY2(r.height() <= 7, qPrintable(QString::number(r.height())));
                allowed += r;
            }
            // What changed on the page but lies outside the strips would never reach the screen.
            const QImage& after = p.Composed();
            for (int y = 0; y < p.PageHeight; ++y)
                for (int x = 0; x < p.PageWidth; x += 3)
                    if (before.pixel(x, y) != after.pixel(x, y) && !allowed.contains(QPoint(x, y)))
                        QFAIL(qPrintable(
                            QStringLiteral("changed outside the strips at %1,%2").arg(x).arg(y)));
        }
        // After the steps, the page equals a page composed in full.
        const QImage stepped = p.Composed().copy();
        p.Compose(true, e, s);
        QCOMPARE(stepped, p.Composed());
    }

    void titleLinesInitialsAndThePageNumber() {
        memo.Lines = {ToCp1251(QStringLiteral("   Глава   первая")),
                      ToCp1251(QStringLiteral("  Текст абзаца")),
                      ToCp1251(QStringLiteral("дальше")),
                      ToCp1251(QStringLiteral("   Эпиграф")),
                      ToCp1251(QStringLiteral("    И жить   торопится")),
                      ToCp1251(QStringLiteral("и чувствовать"))};
        page.BookMode = true;
        s.ShowCenterLine = false;  // the shutter image's own
        PagePainter p = Prepared();
        const QImage& t = p.TextImage();
        QVERIFY(Count(t, LineCells(p, 0, 0, 22), Reddish) > 10);
        QCOMPARE(Count(t, LineCells(p, 0, 0, 22), Dark), 0);
        // The paragraph's initial (column 2) red, the rest of its line black.
        QVERIFY(Count(t, LineCells(p, 1, 2, 1), Reddish) > 3);
        QCOMPARE(Count(t, LineCells(p, 1, 2, 1), Dark), 0);
        QVERIFY(Count(t, LineCells(p, 1, 3, 10), Reddish) <= 2);  // the initial's edge
        QVERIFY(Count(t, LineCells(p, 1, 3, 10), Dark) > 10);
        QCOMPARE(Count(t, LineCells(p, 2, 0, 10), Reddish), 0);
        // The title's inner run of blanks is drawn as one: "первая" starts at column 9.
        QVERIFY(Count(t, LineCells(p, 0, 9, 1), Reddish) > 3);
        // A verse line after a heading was drawn as part of the heading: red, its blanks closed.
        for (const int line : {4, 5})
            QCOMPARE(Count(t, LineCells(p, line, 0, 22), Reddish), 0);
        QCOMPARE(Count(t, LineCells(p, 4, 0, 4), Dark), 0);   // its indent kept
        QVERIFY(Count(t, LineCells(p, 4, 13, 1), Dark) > 3);  // "торопится" where it stands

        // "-1-" in the title colour, centred in the margin below the lines.
        QRect number;
        for (int y = p.PageHeight - p.BottomMargin; y < p.PageHeight; ++y)
            for (int x = 0; x < p.PageWidth; ++x)
                if (Reddish(t.pixelColor(x, y))) number |= QRect(x, y, 1, 1);
        QVERIFY(number.width() > p.CharWidth && number.width() <= 3 * p.CharWidth);
        QVERIFY(qAbs(number.left() + number.right() - p.PageWidth) <= p.CharWidth);

        // Under the shutters the justified heading used to be drawn as it stands, so it changed
        // its letters' places and its colour whenever a shutter edge passed over it.
        const auto inked = [&](const QImage& image, const QColor& ground, int line) {
            QString cells;
            for (int column = 0; column < s.CharsPerLine; ++column)
                cells += Count(image, LineCells(p, line, column, 1), Not(ground)) > 0
                             ? QLatin1Char('#')
                             : QLatin1Char('.');
            return cells;
        };
        for (int line = 0; line < 3; ++line)
            QCOMPARE(inked(p.ShutterImage(), PageColors::Shutter, line),
                     inked(t, PageColors::Page, line));
        // Dimmed like the rest of the text, but still in the title's own colour.
        const QRect heading = LineCells(p, 0, 0, 22);
        QVERIFY(Count(p.ShutterImage(), heading, Is(PageColors::ShutterTitle)) > 10);
        QCOMPARE(Count(p.ShutterImage(), heading, Is(PageColors::ShutterText)), 0);
        QVERIFY(Count(p.ShutterImage(), LineCells(p, 2, 0, 6), Is(PageColors::ShutterText)) > 10);
    }

    void theChapterEndSitsOneLineBelowTheLastLine() {
        memo.Lines.resize(20);
        page.EmptyLinesOnPage = 5;
        PagePainter p = Prepared();
        const QRect image((p.PageWidth - 88) / 2, 21 * p.LineHeight + p.TopMargin, 88, 10);
        QVERIFY(Count(p.TextImage(), image, Not(PageColors::Page)) > 40);
        QVERIFY(Count(p.ShutterImage(), image, Not(PageColors::Shutter)) > 40);
        // Nothing on the line between the last line and the image, nor on the line below.
        for (const int line : {20, 22})
            QCOMPARE(Count(p.TextImage(),
                           QRect(image.left(), line * p.LineHeight + p.TopMargin, 88, p.LineHeight),
                           Not(PageColors::Page)),
                     0);
        page.EmptyLinesOnPage = 0;
        p.PreparePageLines(memo, page, s);
        QCOMPARE(Count(p.TextImage(), image, Not(PageColors::Page)), 0);
    }

    // Full screen at 1920 "Пауза!" printed over the first line; at 1366 it touched the corner.
    void thePauseLabelStandsOnBarePage() {
        for (const int screen : {800, 1366, 1920}) {
            PagePainter p;
            p.ApplyDisplaySettings(s, screen);
            p.PreparePageLines(memo, page, s);
            EngineState e;
            p.Compose(true, e, s);
            const QImage idle = p.Composed().copy();
            e.IsPaused = true;
            p.Compose(true, e, s);
            const QImage& paused = p.Composed();
            // Every pixel of the label, and each one's neighbours, was bare page before.
            int label = 0, over = 0;
            for (int y = 1; y + 1 < idle.height(); ++y)
                for (int x = 1; x + 1 < idle.width(); ++x) {
                    if (paused.pixel(x, y) == idle.pixel(x, y)) continue;
                    ++label;
                    if (Count(idle, QRect(x - 1, y - 1, 3, 3), Not(PageColors::Page)) > 0) ++over;
                }
            QVERIFY2(label > 20 && over == 0,
                     qPrintable(
                         QStringLiteral("%1 px: %2 of %3 over").arg(screen).arg(over).arg(label)));
            // Where the label fits above the first line the page keeps its margin.
            if (screen == 800) QCOMPARE(p.TopMargin, 20);
        }
    }

    // The night page: light letters on a near-black ground, titles and the page number a light
    // red, ornaments seen, and the shutters darker than the open lines, transparent or not.
    void theNightPageIsLightOnDarkUnderDarkerShutters() {
        const auto gray = [](QColor c) { return qGray(c.rgb()); };
        const auto light = [&](QColor c) { return gray(c) > 150; };
        const auto lightRed = [](QColor c) { return c.red() > 150 && c.red() > c.green() + 50; };
        const auto mean = [&](const QImage& image, const QRect& r) {
            long long sum = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    sum += gray(image.pixelColor(x, y));
            return static_cast<double>(sum) / (r.width() * r.height());
        };
        s.NightMode = true;
        memo.Lines[12] = ToCp1251(QStringLiteral("   Глава первая"));
        memo.Lines[13] = ToCp1251(QStringLiteral("  Текст абзаца"));
        page.BookMode = true;
        for (const bool transparent : {true, false}) {
            s.TransparentBar = transparent;
            PagePainter p = Prepared();
            const QImage& t = p.TextImage();
            QVERIFY(gray(t.pixelColor(15, p.PageHeight / 2)) < 40);
            QVERIFY(Count(t, LineCells(p, 3, 0, 22), light) > 20);
            QCOMPARE(Count(t, LineCells(p, 3, 0, 22), Reddish), 0);
            QVERIFY(Count(t, LineCells(p, 12, 0, 22), lightRed) > 10);
            QVERIFY(Count(t, LineCells(p, 13, 2, 1), lightRed) > 3);  // the initial
            QVERIFY(Count(t, QRect(0, p.PageHeight - p.BottomMargin, p.PageWidth, p.BottomMargin),
                          lightRed) > 5);  // "-1-"
            QVERIFY(Count(t, QRect(3, 3, 28, 28), [&](QColor c) { return gray(c) > 90; }) > 20);

            EngineState e;
            e.IsRunning = true;
            e.ShutterPos = p.LineHeight * 14;
            p.Compose(true, e, s);
            const QImage& c = p.Composed();
            const int tsb = p.TopShutterBottom(e, s), bsh = p.BottomShutterHeight(e);
            const QRect open(p.LeftMargin, tsb + 2, p.CharWidth * 22, p.PageHeight - bsh - tsb - 6);
            const QRect covered(p.LeftMargin, p.TopMargin, p.CharWidth * 22, tsb - p.TopMargin - 4);
            QVERIFY2(mean(c, covered) < mean(c, open) * 0.7,
                     qPrintable(QStringLiteral("%1 %2").arg(mean(c, covered)).arg(mean(c, open))));
            QVERIFY(gray(c.pixelColor(15, tsb - 8)) < gray(c.pixelColor(15, tsb + 8)));
            // Through a transparent shutter the lines still show, dimmed; a solid one hides them.
            const int seen =
                Count(c, LineCells(p, 3, 0, 22), [&](QColor x) { return gray(x) > 40; });
            QVERIFY(transparent ? seen > 20 && Count(c, LineCells(p, 3, 0, 22), light) == 0
                                : seen == 0);
        }
        // The day page keeps the program's own colours.
        s.NightMode = false;
        QCOMPARE(Prepared().TextImage().pixelColor(15, 60), PageColors::Page);
    }

    void decorationsAreAsSharpOnADoubleDensityScreen() {
        PagePainter p;
        p.ApplyDisplaySettings(s, 1024, 0, 2.0);
        p.PreparePageLines(memo, page, s);
        QCOMPARE(p.TextImage().width(), 2 * p.PageWidth);
        QCOMPARE(p.TextImage().devicePixelRatio(), 2.0);
        // The corner's rule covers single device pixels: some pixels of the corner are neither
        // page nor full ink, i.e. it was drawn at the fine resolution, not scaled up.
        const QImage& t = p.TextImage();
        int fine = 0;
        for (int y = 6; y < 60; y += 2)
            for (int x = 6; x < 60; x += 2)
                if (t.pixel(x, y) != t.pixel(x + 1, y)) ++fine;
        QVERIFY(fine > 0);
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::PagePainterTest)
#include "page_painter_test.moc"
